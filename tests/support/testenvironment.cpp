#include "testenvironment.h"

#include "common/log.h"
#include "common/resources.h"

#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <id3v2tag.h>
#include <mpegfile.h>

TestEnvironment::TestEnvironment()
    : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")),
      m_oldRuntime(qgetenv("XDG_RUNTIME_DIR"))
{
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/.config")).toUtf8());
    Resources::setResourceDirectory(QStringLiteral(VESK_TEST_RESOURCES_DIR));
}

TestEnvironment::~TestEnvironment()
{
    qputenv("HOME", m_oldHome);
    for (const auto& [name, value] :
         {std::pair{"XDG_CONFIG_HOME", m_oldConfig}, {"XDG_RUNTIME_DIR", m_oldRuntime}}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

LogCapture::LogCapture()
{
    m_previous = setLogSink([this](const QString& line) { m_lines.append(line); });
}

LogCapture::~LogCapture()
{
    setLogSink(m_previous);
}

bool LogCapture::contains(const QString& text) const
{
    for (const QString& line : m_lines)
        if (line.contains(text))
            return true;
    return false;
}

bool makeAiff(const QString& path, double seconds, int frequency)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
               QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), path, QStringLiteral("synth"),
               QString::number(seconds), QStringLiteral("sine"), QString::number(frequency)});
    return sox.waitForFinished(60000) && sox.exitStatus() == QProcess::NormalExit && sox.exitCode() == 0;
}

bool writeCDTrack(const QString& path, qint64 sampleFrames, bool aiff, qint64 cutBytes)
{
    const auto number = [](auto value, bool bigEndian) {
        QByteArray bytes(sizeof(value), Qt::Uninitialized);
        bigEndian ? qToBigEndian(value, bytes.data()) : qToLittleEndian(value, bytes.data());
        return bytes;
    };
    QByteArray sound;
    for (qint64 i = 0; i < sampleFrames * 2; ++i)
        sound += number(qint16(3000 * std::sin(double(i / 2) * 0.0627)), aiff);
    QByteArray body;
    if (aiff) {
        // 44100 as an 80-bit extended float.
        body = "AIFFCOMM" + number(18u, true) + number(quint16(2), true) +
               number(quint32(sampleFrames), true) + number(quint16(16), true) +
               QByteArray("\x40\x0e\xac\x44\0\0\0\0\0\0", 10) + "SSND" +
               number(quint32(sound.size() + 8), true) + QByteArray(8, 0) + sound;
    } else {
        const QByteArray info = "INFOINAM" + number(8u, false) + QByteArray("Track 1\0", 8);
        body = "WAVEfmt " + number(16u, false) + number(quint16(1), false) + number(quint16(2), false) +
               number(44100u, false) + number(176400u, false) + number(quint16(4), false) +
               number(quint16(16), false) + "LIST" + number(quint32(info.size()), false) + info + "data" +
               number(quint32(sound.size()), false) + sound;
    }
    QByteArray bytes = (aiff ? "FORM" : "RIFF") + number(quint32(body.size()), aiff) + body;
    bytes.chop(cutBytes);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QByteArray readTestFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeTestFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray oneSessionTocPlist(const QList<qint64>& starts, qint64 leadout)
{
    QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Sessions</key><array><dict>"
                     "<key>Leadout Block</key><integer>" +
                     QByteArray::number(leadout) + "</integer><key>Track Array</key><array>";
    for (const qint64 start : starts)
        xml += "<dict><key>Start Block</key><integer>" + QByteArray::number(start) + "</integer></dict>";
    return xml + "</array></dict></array></dict></plist>";
}

QString discIdText(quint32 id)
{
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

ScopedPath::ScopedPath(const QString& folder) : m_old(qgetenv("PATH"))
{
    qputenv("PATH", QFile::encodeName(folder));
}

ScopedPath::~ScopedPath()
{
    qputenv("PATH", m_old);
}

bool writeScript(const QString& path, const QByteArray& text)
{
    QFile script(path);
    return script.open(QIODevice::WriteOnly | QIODevice::Truncate) && script.write(text) == text.size() &&
           script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString id3Summary(const QString& path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    const TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
    if (!tag)
        return QStringLiteral("no tag");
    const auto text = [](const TagLib::String& value) { return QString::fromStdString(value.to8Bit(true)); };
    return QStringList{text(tag->title()), text(tag->artist()),          text(tag->album()),
                       text(tag->genre()), QString::number(tag->year()), QString::number(tag->track())}
        .join(u'|');
}
