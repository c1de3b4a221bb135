#include "output/replaygain/replaygainvalues.h"

#include <cmath>

// QString::number always formats in the C locale: a decimal point, no group separators.
QString ReplayGainValues::gainText() const
{
    // Rounded first so that -0.004 reads "+0.00 dB", not "-0.00 dB".
    const double rounded = std::round(gainDb * 100.0) / 100.0;
    const QString number = QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 2);
    return (rounded < 0.0 ? number : u'+' + number) + QStringLiteral(" dB");
}

QString ReplayGainValues::peakText() const
{
    return QString::number(peak, 'f', 6);
}
