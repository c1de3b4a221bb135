#pragma once

#include "disc/accuraterip/accurateripchecksums.h"
#include "disc/accuraterip/accurateripdiscid.h"
#include "lookup/accuraterip/accurateripverdict.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class AccurateRipFetch;

// The AccurateRip check of one rip: the checksums taken from the sound as the spool reads it,
// then, once the reading is done, one request to the database and the verdict on each track.
class AccurateRipCheck : public QObject {
    Q_OBJECT
public:
    struct Disc {
        QList<qint64> audioStarts; // each audio track's first sector (LBA)
        qint64 leadout = 0;        // the sector after the last audio track
        quint32 cddbId = 0;
        // How much later on the disc the checked sound lies than the sound given: the drive's
        // offset for sound read without one (GNOME's CD files), else 0.
        int shift = 0;
        // The read offset the rip was made with, and whether it is the drive's own (set or found
        // before); a match at another offset then means another pressing.
        int readOffset = 0;
        bool offsetKnown = false;
    };

    // Nothing when the disc has no place in the database (no audio track, a table that does not
    // add up).
    static std::unique_ptr<AccurateRipCheck> make(const Disc& disc, QObject* parent = nullptr);
    ~AccurateRipCheck() override;

    // The spool's track at index is the audio track at audioIndex (from 0; -1 for sound before
    // track 1), whose sound begins at sector. Set before the reading starts.
    void placeTrack(int spoolIndex, int audioIndex, qint64 sector);
    // The spool's tap: called on the reading thread, in reading order.
    void tap(int spoolIndex, const char* data, qint64 bytes);

    // Asks the database at baseUrl about the tracks (audio indexes) that were ripped; finished()
    // follows once, on this thread.
    void verify(const QString& baseUrl, const QList<int>& ripped);
    void cancel();

    const AccurateRipDiscId& discId() const { return m_id; }
    const Disc& disc() const { return m_disc; }
    // After finished(): the verdict when the database could be asked (a disc it does not know
    // gives every track "not in the database"), else nothing and problem() says why.
    const std::optional<AccurateRipVerdict>& verdict() const { return m_verdict; }
    QString problem() const { return m_problem; }
    // What a track's result says, "accurately ripped (confidence 12, v2)", "could not check", or
    // a null string for a track not checked.
    QString resultOf(int audioIndex) const;
    // The disc's line: "All 12 tracks accurately ripped.", "Could not check with AccurateRip: ...".
    QString summary() const;
    // Lines for the rip log: the disc id, the address asked, the read offset, per track our
    // checksums and the result.
    QStringList logLines(const QHash<int, int>& trackNumbers) const;

Q_SIGNALS:
    void finished();

private:
    AccurateRipCheck(const Disc& disc, const AccurateRipDiscId& id, QObject* parent);
    void judge(bool known, const QByteArray& data, const QString& problem);

    Disc m_disc;
    AccurateRipDiscId m_id;
    AccurateRipChecksums m_sums;
    struct Placement {
        int audioIndex = -1;
        qint64 samplePosition = 0; // where the next bytes go, in samples
        qint64 pendingBytes = 0;   // bytes given beyond whole samples
    };
    std::vector<Placement> m_placements;
    AccurateRipFetch* m_fetch = nullptr;
    QString m_url;
    QList<int> m_ripped;
    std::optional<AccurateRipVerdict> m_verdict;
    QString m_problem;
    QString m_note; // a reply that was no dBAR file
};
