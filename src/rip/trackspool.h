#pragma once

#include "disc/readreport.h"
#include "disc/tracksource.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Reads the tracks of a disc one after another, in disc order (a drive must not seek between
// tracks), into files of raw CD audio in a folder the session owns, while encoders take the
// tracks already read. At most `ahead` tracks wait read but not yet released, so a long disc
// never fills the disk or the memory. Each file goes when released; the folder goes with the
// spool. Every signal arrives on the thread that made the spool.
class TrackSpool : public QObject {
    Q_OBJECT
public:
    struct Read {
        int index = 0;        // in the list given to start()
        QString path;         // the raw sound (the source's own file when only tapped); empty when not read
        qint64 bytes = 0;
        quint32 crc32 = 0;    // of the sound as read into the spool (0 for a file only tapped)
        QString problem;      // why it could not be read, in words that follow the track's name
        QString isrc;         // the source's ISRC for the track, if any
        // What reading a disc's track met (re-reads, skips, ...); empty for other sources.
        std::optional<ReadReport> report;
    };

    // A new, empty folder for one session's spool under the user's cache folder
    // ($XDG_CACHE_HOME/vesk/rip-PID-XXXXXX); folders left by sessions whose process has gone
    // (killed, crashed) are removed first. Empty, with problem set, when none can be made.
    static QString newFolder(QString* problem = nullptr);

    // folder: an empty folder of the session's, removed with everything in it when the spool goes.
    TrackSpool(QString folder, int ahead, QObject* parent = nullptr);
    // Stops the reading and removes the folder.
    ~TrackSpool() override;

    // Sees every block of sound as it is read, on the reading thread, before the track's
    // trackRead: the sound pass's checksums and measurements. Set before start().
    using Tap = std::function<void(int index, const char* data, qint64 bytes)>;
    void setTap(Tap tap) { m_tap = std::move(tap); }

    // Sources with a file the encoder reads itself are read for the tap only (Read::path is the
    // file); the others are copied into the spool.
    void start(std::vector<std::shared_ptr<const TrackSource>> sources);
    // The session is done with this track's sound: its file goes, and one more track may be read.
    void release(int index);
    // Ends the reading as soon as the current block is read; no signal follows.
    void stop();
    QString folder() const { return m_folder; }

Q_SIGNALS:
    // Reading this track begins.
    void readingStarted(int index);
    // One track has been read (or failed); they come in order.
    void trackRead(const TrackSpool::Read& read);

private:
    void readAll();
    Read readOne(int index, const TrackSource& source);

    QString m_folder;
    int m_ahead;
    std::vector<std::shared_ptr<const TrackSource>> m_sources;
    Tap m_tap;
    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_waiting = 0; // read and not yet released
    bool m_stopped = false;
    std::vector<bool> m_released;
};
