#pragma once

#include "disc/tracksource.h"

#include <optional>

// A track that is an AIFF or WAV file on disk, read by the encoder itself. Its length comes from
// the file's header, read when first asked for (on a gvfs mount that reads from the disc).
class FileTrackSource : public TrackSource {
public:
    explicit FileTrackSource(QString path) : m_path(std::move(path)) {}

    QString name() const override;
    qint64 sampleFrames() const override;
    QString filePath() const override { return m_path; }
    std::unique_ptr<QIODevice> openSound() const override { return nullptr; }
    // Read from the header: anything that is not an AIFF or WAV file of sound, or that holds less
    // sound than its header says, is no track (the encoder would make noise of it).
    QString problem() const override;

private:
    void readHeader() const;

    QString m_path;
    mutable std::optional<qint64> m_sampleFrames;
    mutable QString m_problem;
};
