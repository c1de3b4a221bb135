#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What an AIFF or WAV file's header says about the sound it holds.
struct AudioFormat {
    qint32 sampleRate = 0;
    qint32 bitsPerSample = 0;
    qint32 channels = 0;
    qint64 sampleFrames = 0;
    // Where the sound's first byte is in the file, and whether its samples are big-endian (AIFF).
    qint64 dataOffset = 0;
    bool bigEndian = false;

    // 44.1 kHz, 16-bit, two channels: the only format a track read from an audio CD has.
    bool isCDAudio() const { return sampleRate == 44100 && bitsPerSample == 16 && channels == 2; }
};

// Reads the format and length of uncompressed AIFF, AIFF-C and WAV files by walking their
// chunks: the Mac writes "COMM" before "SSND", gvfs puts a "LIST" chunk before "data", so no
// fixed header size is assumed. A file whose sound data ends past the end of the file is
// truncated and gives nothing, as does anything that is not PCM sound.
class AudioFileHeader {
public:
    // head: the first bytes of the file (at least up to the sound data); fileSize: the whole
    // file's size in bytes.
    static std::optional<AudioFormat> parse(const QByteArray& head, qint64 fileSize);
    // Nothing when the file is no such sound file; problem then says why, in words that follow
    // the file's name ("does not read as an AIFF or WAV file ...", "holds less sound than its
    // header says ...").
    static std::optional<AudioFormat> readFile(const QString& path, QString* problem = nullptr);
};
