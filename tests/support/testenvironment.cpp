#include "testenvironment.h"

#include "common/log.h"
#include "common/resources.h"

#include <QProcess>

TestEnvironment::TestEnvironment() : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/.config")).toUtf8());
    Resources::setResourceDirectory(QStringLiteral(VESK_TEST_RESOURCES_DIR));
}

TestEnvironment::~TestEnvironment()
{
    qputenv("HOME", m_oldHome);
    if (m_oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
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
