#pragma once

#include "common/crc32.h"
#include "disc/cdiodisc.h"
#include "disc/cdiosectorreader.h"

#include <QByteArray>
#include <QIODevice>
#include <memory>

// One track's sound read from a disc, as a sequential device of raw CD audio (16-bit
// little-endian stereo), shifted by the read offset: the sectors around the track are read and
// cut so that the track starts exactly offset samples later on the disc; beyond the disc's audio
// it is digital silence. Reading blocks on the disc, so it belongs on a worker thread; one
// thread reads it, stop() may come from any.
//
// A read that fails returns -1 with the reason in errorString() and in report().failure; the end
// of the track also returns -1, with report().finished set.
class CdioSoundDevice : public QIODevice {
    Q_OBJECT
public:
    CdioSoundDevice(std::shared_ptr<const CdioDisc> disc, const CdioDisc::Track& track,
                    const ReadOptions& options, QObject* parent = nullptr);

    // The track's length in sample frames, whatever the offset.
    qint64 sampleFrames() const { return m_totalBytes / 4; }
    // How reading went so far; complete (with the CRC-32) once finished.
    const ReadReport& report() const;
    // Makes the next read fail with "stopped".
    void stop() { m_reader.stop(); }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    bool fill();

    CdioSectorReader m_reader;
    qint64 m_skipBytes; // the part of the first sector before the track's first sample
    qint64 m_totalBytes;
    qint64 m_deliveredBytes = 0;
    QByteArray m_buffer; // sectors read and not yet handed on, from m_bufferPosition
    qsizetype m_bufferPosition = 0;
    Crc32 m_crc;
    mutable ReadReport m_report;
    QString m_failure;
};
