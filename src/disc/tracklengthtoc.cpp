#include "disc/tracklengthtoc.h"

#include "common/log.h"
#include "disc/audiofileheader.h"

std::optional<DiscTOC> TrackLengthTOC::fromSampleFrames(const QList<qint64>& sampleFrames)
{
    if (sampleFrames.isEmpty())
        return std::nullopt;
    QList<qint64> offsets;
    qint64 position = firstTrackStart;
    for (const qint64 frames : sampleFrames) {
        // An empty track has no sector of its own; the identifier would count it wrongly.
        if (frames <= 0 || frames % samplesPerSector != 0)
            return std::nullopt;
        offsets.append(position);
        position += frames / samplesPerSector;
        if (position > 0x7fffffff)
            return std::nullopt;
    }
    return DiscTOC::fromOffsets(offsets, static_cast<quint32>(position));
}

std::optional<DiscTOC> TrackLengthTOC::fromFiles(const QStringList& paths)
{
    QList<qint64> sampleFrames;
    for (const QString& path : paths) {
        const std::optional<AudioFormat> format = AudioFileHeader::readFile(path);
        QString fault;
        if (!format)
            fault = QStringLiteral("is not a complete AIFF or WAV file");
        else if (!format->isCDAudio())
            fault = QStringLiteral("is not CD audio (44.1 kHz, 16-bit, stereo)");
        else if (format->sampleFrames <= 0 || format->sampleFrames % samplesPerSector != 0)
            fault = QStringLiteral("is not a whole number of CD sectors long");
        if (!fault.isEmpty()) {
            veskNotice(QStringLiteral("The titles are not looked up: %1 %2, so the disc cannot be identified "
                                      "from the tracks' lengths")
                           .arg(path, fault));
            return std::nullopt;
        }
        sampleFrames.append(format->sampleFrames);
    }
    return fromSampleFrames(sampleFrames);
}
