#pragma once

#include "disc/disctoc.h"

#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
class DiscImageCopy;

// An audio CD in a drive (/dev/sr0) or a disc image (a cue sheet or cdrdao .toc file), opened
// through libcdio: its table of contents, its tracks' places, CD-Text, ISRCs and catalogue
// number, and the handle its track readers share (CdioSectorReader).
//
// Everything but isrc() and mediaCatalogNumber() is read when the disc opens and never changes,
// so any thread may ask. libcdio's handle is used by one call at a time (a lock in here); a drive
// reads fastest when only one track is read at a time, straight through.
class CdioDisc {
public:
    struct Track {
        int number = 0;
        bool audio = false;
        // Sector addresses as libcdio counts them: 0 is the first sector after the lead-in (the
        // table of contents' frame 150). The last sector is the one before the next track starts
        // (its pregap, INDEX 00, belongs to this track), except before a data track, whose own
        // pregap and an enhanced CD's gap between the sessions are left out.
        qint64 firstSector = 0;
        qint64 lastSector = 0;
        bool preemphasis = false;

        qint64 sectors() const { return lastSector - firstSector + 1; }
    };

    // Opens a drive (any path that is not a .cue or .toc file) or a disc image. Throws DiscError:
    // no drive there, no permission, no disc, no audio track, an image that cannot be opened.
    static std::shared_ptr<CdioDisc> open(const QString& source);
    ~CdioDisc();
    CdioDisc(const CdioDisc&) = delete;
    CdioDisc& operator=(const CdioDisc&) = delete;

    const QString& source() const { return m_source; }
    bool isImage() const { return m_image != nullptr; }
    // The drive's vendor and model as it names itself ("HL-DT-ST DVDRAM GH24NSD1"); empty for an
    // image or a drive that does not say.
    const QString& driveName() const { return m_driveName; }
    // The audio tracks' first sectors and the sector after the last audio track: the disc's
    // place in the AccurateRip database.
    QList<qint64> audioTrackStarts() const;
    qint64 audioLeadout() const;

    // The table of contents as the identifiers want it: every track's start with the 150-frame
    // lead-in, the lead-out; data tracks after the last audio track count as a second session,
    // as DriveTOC shows an enhanced CD.
    const DiscTOC& toc() const { return m_toc; }
    // Every track in disc order, data tracks too.
    const QList<Track>& tracks() const { return m_tracks; }
    // The track with that number, or nothing. Track 0 is the audio before track 1 (its pregap)
    // when there is any and track 1 is audio.
    std::optional<Track> track(int number) const;
    // Track 1's pregap: the sectors before track 1 starts (0 on most discs).
    qint64 pregapSectors() const { return m_tracks.first().firstSector; }
    // Whether the sector holds sound a reader may read: in an audio track or its pregap. Outside
    // (the lead-in, the lead-out, a data track) readers give silence.
    bool isAudioSector(qint64 sector) const;

    // CD-Text in the disc's first language; track 0 for the album. A null string when absent.
    QString title(int track = 0) const;
    QString performer(int track = 0) const;
    // The track's ISRC (12 letters and digits), or a null string. A drive reads it from the
    // disc's subchannel when first asked, which takes it about a second a track.
    QString isrc(int track) const;
    // The disc's 13-digit Media Catalog Number (UPC/EAN), or a null string; slow on a drive too.
    QString mediaCatalogNumber() const;

private:
    friend class CdioSectorReader;

    CdioDisc() = default;
    void readTracks();
    void openReader();
    void readCdText();
    // The last sector of the stretch of audio sectors that starts at sector (an audio sector).
    qint64 audioRunEnd(qint64 sector) const;
    // Why the sound cannot be read any more, or a null string (see DriveCheck, DiscImageCopy).
    QString problemWhileReading() const;
    bool bigEndian() const;

    QString m_source;
    QString m_driveName;
    std::unique_ptr<DiscImageCopy> m_image;
    CdIo_t* m_cdio = nullptr;
    cdrom_drive_t* m_drive = nullptr;
    long (*m_plainRead)(cdrom_drive_t*, void*, qint32, long) = nullptr; // the drive's own read
    DiscTOC m_toc;
    QList<Track> m_tracks;
    QHash<int, QString> m_titles;
    QHash<int, QString> m_performers;

    mutable std::mutex m_mutex; // one libcdio call at a time; guards what follows
    mutable QHash<int, QString> m_isrcs;
    mutable std::optional<QString> m_mcn;
};
