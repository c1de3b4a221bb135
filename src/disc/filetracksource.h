#pragma once

#include "disc/audiofileheader.h"
#include "disc/tracksource.h"

#include <optional>

// A track that is an AIFF or WAV file on disk, read by the encoder itself unless it is to be read
// once, in disc order, as a disc is (a gvfs CD mount reads every file from the drive). Its length
// comes from the file's header, read when first asked for.
class FileTrackSource : public TrackSource {
public:
    enum class Reading { ByTheEncoder, AsADisc };
    explicit FileTrackSource(QString path, Reading reading = Reading::ByTheEncoder)
        : m_path(std::move(path)), m_reading(reading)
    {
    }

    QString name() const override;
    qint64 sampleFrames() const override;
    QString filePath() const override { return m_reading == Reading::ByTheEncoder ? m_path : QString(); }
    // The file's sound (FileSoundDevice), opened; nothing when it cannot be read.
    std::unique_ptr<QIODevice> openSound() const override;
    // Read from the header: anything that is not an AIFF or WAV file of sound, or that holds less
    // sound than its header says, is no track (the encoder would make noise of it).
    QString problem() const override;
    // What the file's header says of its sound; nothing when it is no sound file.
    std::optional<AudioFormat> format() const
    {
        readHeader();
        return m_format;
    }

private:
    void readHeader() const;

    QString m_path;
    Reading m_reading;
    mutable std::optional<AudioFormat> m_format;
    mutable std::optional<qint64> m_sampleFrames;
    mutable QString m_problem;
};
