#pragma once

#include <QByteArray>
#include <QString>

// A small audio CD the disc tests write as images, the way rippers leave them: three audio
// tracks of noise, each its own (so that a shift by a read offset shows), track 1 after 33
// sectors of hidden audio, track 2 with a pregap (INDEX 00), CD-Text with accents, ISRCs and a
// catalogue number. As a cdrdao .toc it also holds a data track in a second "session" 11400
// sectors after the audio, as an enhanced CD does.
namespace TestDiscImage {
// Sectors from the start of the disc (0 = the first after the lead-in).
constexpr qint64 track1Start = 33;
constexpr qint64 track2Pregap = 250;
constexpr qint64 track2Start = 300;
constexpr qint64 track3Start = 520;
constexpr qint64 audioSectors = 800;
constexpr qint64 dataStart = audioSectors + 11400;
constexpr qint64 dataSectors = 30;
constexpr qint64 sectorBytes = 2352;

// The disc's audio, little-endian, every sector.
QByteArray sound();
// The same sound most significant byte first (a .toc's raw file, a MOTOROLA cue).
QByteArray bigEndianSound();
// The bytes a reader must give for the sectors first..last read offset samples later: the disc's
// sound there, silence beyond it.
QByteArray expectedSound(qint64 firstSector, qint64 lastSector, int offset);

// A cue sheet naming soundFile, in Latin-1, or in UTF-8 with a byte-order mark.
QByteArray cueSheet(const QByteArray& soundFile, bool utf8 = false, const QByteArray& fileType = "BINARY");
// The same disc as cdrdao writes its .toc: CD-Text with octal escapes, a LANGUAGE_MAP block over
// several lines, a SIZE_INFO byte list, a second language, and the data track.
QByteArray tocFile(const QByteArray& soundFile, const QByteArray& dataFile);
// The data track's file for tocFile: dataSectors sectors of 2048 bytes.
QByteArray dataTrack();
} // namespace TestDiscImage
