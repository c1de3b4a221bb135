#include "testenvironment.h"

#include "common/log.h"
#include "common/resources.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>

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
    QByteArray sound(sampleFrames * 4, Qt::Uninitialized);
    for (qint64 i = 0; i < sampleFrames; ++i) {
        const auto sample = static_cast<qint16>(3000 * std::sin(double(i) * 0.0627));
        for (int channel = 0; channel < 2; ++channel) {
            char* at = sound.data() + i * 4 + channel * 2;
            aiff ? qToBigEndian(sample, at) : qToLittleEndian(sample, at);
        }
    }
    const auto le32 = [](quint32 v) {
        QByteArray b(4, Qt::Uninitialized);
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto be32 = [](quint32 v) {
        QByteArray b(4, Qt::Uninitialized);
        qToBigEndian(v, b.data());
        return b;
    };
    QByteArray bytes;
    if (aiff) {
        const QByteArray comm = QByteArray("\0\x02", 2) + be32(quint32(sampleFrames)) +
                                QByteArray("\0\x10\x40\x0e\xac\x44\0\0\0\0\0\0", 12);
        const QByteArray body = "AIFFCOMM" + be32(18) + comm + "SSND" + be32(quint32(sound.size() + 8)) +
                                be32(0) + be32(0) + sound;
        bytes = "FORM" + be32(quint32(body.size())) + body;
    } else {
        const QByteArray fmt =
            QByteArray("\x01\0\x02\0", 4) + le32(44100) + le32(176400) + QByteArray("\x04\0\x10\0", 4);
        const QByteArray info =
            "INFOINAM" + le32(8) + QByteArray("Track 1\0", 8) + "IART" + le32(6) + QByteArray("Band\0\0", 6);
        const QByteArray body = "WAVEfmt " + le32(16) + fmt + "LIST" + le32(quint32(info.size())) + info +
                                "data" + le32(quint32(sound.size())) + sound;
        bytes = "RIFF" + le32(quint32(body.size())) + body;
    }
    bytes.chop(cutBytes);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
