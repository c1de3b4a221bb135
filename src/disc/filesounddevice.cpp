#include "disc/filesounddevice.h"

#include <algorithm>

FileSoundDevice::FileSoundDevice(const QString& path, const AudioFormat& format, QObject* parent)
    : QIODevice(parent), m_file(path), m_format(format)
{
}

bool FileSoundDevice::open(OpenMode mode)
{
    if (mode != QIODevice::ReadOnly) {
        setErrorString(QStringLiteral("the sound can only be read"));
        return false;
    }
    if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(m_format.dataOffset)) {
        setErrorString(m_file.errorString());
        return false;
    }
    m_left = m_format.sampleFrames * m_format.channels * (m_format.bitsPerSample / 8);
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

void FileSoundDevice::close()
{
    m_file.close();
    QIODevice::close();
}

qint64 FileSoundDevice::readData(char* data, qint64 maxSize)
{
    const qint64 width = qMax(1, m_format.bitsPerSample / 8);
    // Whole samples only, so that each one can be turned around.
    const qint64 wanted = qMin(maxSize, m_left) / width * width;
    if (wanted == 0)
        return 0;
    const qint64 got = m_file.read(data, wanted);
    if (got <= 0) {
        setErrorString(got < 0 ? m_file.errorString() : QStringLiteral("the file ends before its sound does"));
        return -1;
    }
    const qint64 whole = got / width * width;
    if (whole != got)
        m_file.seek(m_file.pos() - (got - whole));
    if (m_format.bigEndian && width > 1) {
        for (char* sample = data; sample < data + whole; sample += width)
            std::reverse(sample, sample + width);
    }
    m_left -= whole;
    return whole;
}
