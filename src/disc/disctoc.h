#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The digit sum of a positive number; 0 for 0 and for negative numbers. The CDDB disc
// identifier is built from the digit sums of the tracks' start times in seconds.
qint32 cddb_sum(qint32 x);

// A disc's table of contents as the ".TOC.plist" file at the root of a mounted audio CD
// describes it, and the CDDB disc identifier computed from it. Positions are frame counts
// (75 to the second) that already include the lead-in.
class DiscTOC {
public:
    // The file at path, or nothing when it is missing, is not a property list whose root is a
    // dictionary, or holds a track without an integer "Start Block".
    static std::optional<DiscTOC> readFromFile(const QString& path);
    // The same for the file's bytes (XML or binary property list).
    static std::optional<DiscTOC> readFromData(const QByteArray& data);
    // A table of contents made from known values (the lead-out of the last session in frames).
    static DiscTOC fromOffsets(const QList<qint64>& trackOffsets, quint32 leadoutBlock,
                               qint32 numSessions = 1, qint32 firstTrack = 1);

    qint32 numTracks() const { return m_numTracks; }
    qint32 numSessions() const { return m_numSessions; }
    // Disc length in whole seconds: the last session's lead-out divided by 75.
    qint32 totalTime() const { return m_totalTime; }
    // Every track's "Start Block" in disc order, over all sessions, exactly as read.
    const QList<qint64>& trackOffsets() const { return m_trackOffsets; }
    // The last session's lead-out in frames, and the number of the first track (1 on nearly
    // every disc): with the offsets they make the disc's MusicBrainz identifier.
    quint32 leadoutBlock() const { return m_leadoutBlock; }
    qint32 firstTrack() const { return m_firstTrack; }

    // The 32-bit CDDB disc identifier. The fields are not masked: more than 255 tracks spill
    // into the length field, exactly as the freedb server computes it.
    quint32 cddbDiscId() const;

private:
    qint32 m_numTracks = 0;
    qint32 m_numSessions = 0;
    qint32 m_totalTime = 0;
    quint32 m_leadoutBlock = 0;
    qint32 m_firstTrack = 1;
    QList<qint64> m_trackOffsets;
};
