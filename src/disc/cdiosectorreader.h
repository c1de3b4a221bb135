#pragma once

#include "disc/readoptions.h"
#include "disc/readreport.h"

#include <QtGlobal>
#include <atomic>
#include <memory>

class CdioDisc;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;
typedef struct cdrom_drive_s cdrom_drive_t;

// Reads a run of a disc's sectors in order, as raw CD audio (2352 bytes a sector, 16-bit
// little-endian stereo): through paranoia one sector a call, or in fast mode many sectors a call.
// Sectors outside the disc's audio (before its start, after its end, in a data track) come as
// digital silence, so a run may reach beyond the audio by a read offset.
//
// One reader is used by one thread at a time; stop() may be called from any thread. Reading
// holds the disc's lock only during each call, so several readers of one disc may take turns.
class CdioSectorReader {
public:
    static constexpr qint64 sectorBytes = 2352;

    CdioSectorReader(std::shared_ptr<const CdioDisc> disc, qint64 firstSector, qint64 lastSector,
                     const ReadOptions& options);
    ~CdioSectorReader();
    CdioSectorReader(const CdioSectorReader&) = delete;
    CdioSectorReader& operator=(const CdioSectorReader&) = delete;

    // Reads the next sectors, up to maxSectors of them, into buffer (room for maxSectors
    // sectors); 0 at the end of the run. Throws DiscError when the disc went away (Removed), a
    // long stretch cannot be read at all (ReadFailed), or stop() was called (Stopped).
    qint64 read(char* buffer, qint64 maxSectors);
    // The counts so far.
    const ReadReport& report() const;
    // Makes the next read throw (Stopped); a read under way ends first.
    void stop() { m_stopped = true; }

    // Stands in for the drive's read function (cdrom_drive_t::read_audio) to count the sectors it
    // delivers to the reader in progress on this thread.
    static long countedRead(cdrom_drive_t* drive, void* buffer, qint32 firstSector, long sectors);

private:
    qint64 readParanoia(char* buffer, qint64 sectors);
    qint64 readFast(char* buffer, qint64 sectors);
    // Throws when the disc's sound is gone; cause is what went wrong on the way.
    void checkStillThere(const QString& cause);
    void countUnreadable(qint64 sector);

    std::shared_ptr<const CdioDisc> m_disc;
    qint64 m_next;
    qint64 m_last;
    ReadOptions m_options;
    mutable ReadReport m_report;
    qint64 m_paranoiaSectors = 0; // sectors paranoia handed on
    cdrom_paranoia_t* m_paranoia = nullptr;
    qint64 m_paranoiaNext = -1; // the sector paranoia hands out next, -1 before it has a range
    qint64 m_unreadableRun = 0; // sectors in a row that could not be read
    qint64 m_sinceImageCheck = 0;
    std::atomic<bool> m_stopped = false;
};
