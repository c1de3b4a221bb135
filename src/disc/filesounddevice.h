#pragma once

#include "disc/audiofileheader.h"

#include <QFile>
#include <QIODevice>

// The sound of an AIFF or WAV file as a sequential device of little-endian samples, in the
// file's own rate, width and channels (for CD audio: raw CD audio as a drive gives it). AIFF's
// big-endian samples are turned around on the way.
class FileSoundDevice : public QIODevice {
    Q_OBJECT
public:
    FileSoundDevice(const QString& path, const AudioFormat& format, QObject* parent = nullptr);

    // Opens the file and finds the sound; false with errorString() set when it cannot.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_left == 0; }
    const AudioFormat& format() const { return m_format; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile m_file;
    AudioFormat m_format;
    qint64 m_left = 0;
};
