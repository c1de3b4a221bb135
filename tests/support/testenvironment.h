#pragma once

#include "qstringprinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// Points HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR (where gvfs mounts a CD) at a temporary folder and the
// resource folder at the build tree's, for the life of the object; restores everything afterwards.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
    QByteArray m_oldRuntime;
};

// PATH holds only folder while alive: a program the test did not put there is not found.
class ScopedPath {
public:
    explicit ScopedPath(const QString& folder);
    ~ScopedPath();

private:
    QByteArray m_old;
};

// Collects log lines while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const { return m_lines; }
    bool contains(const QString& text) const;

private:
    QStringList m_lines;
    std::function<void(const QString&)> m_previous;
};

// Writes a real 44.1 kHz 16-bit stereo AIFF file of a sine tone (sox). Returns false on failure.
bool makeAiff(const QString& path, double seconds, int frequency = 440);

// Writes a 44.1 kHz 16-bit stereo CD track of a quiet tone byte for byte: a WAV the way gvfs
// writes one (a LIST/INFO chunk before the data) or an AIFF the way the Mac does. cutBytes
// leaves that many bytes off the end, as an interrupted copy does.
bool writeCDTrack(const QString& path, qint64 sampleFrames, bool aiff = false, qint64 cutBytes = 0);

// The names in a folder, hidden ones too, in name order.
QStringList folderEntries(const QString& folder);

// A file's bytes; empty when it cannot be read.
QByteArray readTestFile(const QString& path);

// Writes bytes to path, making its folder first. False on failure.
bool writeTestFile(const QString& path, const QByteArray& bytes);

// A ".TOC.plist" of one session: the tracks' start blocks and the lead-out block.
QByteArray oneSessionTocPlist(const QList<qint64>& starts, qint64 leadout);

// A disc identifier as a CDDB server names its entry files: eight hex digits.
QString discIdText(quint32 id);

// Writes an executable shell script. False on failure.
bool writeScript(const QString& path, const QByteArray& text);

// "title|artist|album|genre|year|track" of an MP3's ID3v2 tag as TagLib reads it; "no tag" without one.
QString id3Summary(const QString& path);

inline QString s(const char* text)
{
    return QString::fromUtf8(text);
}
