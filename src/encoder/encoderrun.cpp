#include "encoder/encoderrun.h"

#include "common/resources.h"

#include <QFileInfo>
#include <cstdint>
#include <cstring>

EncoderRun::EncoderRun(QObject* parent) : QObject(parent) {}

EncoderRun::~EncoderRun()
{
    terminate();
}

QString EncoderRun::encoderResourceName()
{
    const std::uint32_t probe = 0x02000001;
    unsigned char lowest = 0;
    std::memcpy(&lowest, &probe, 1);
    return lowest == 1 ? QStringLiteral("lame_intel") : QStringLiteral("lame_ppc");
}

QString EncoderRun::encoderPath()
{
    return Resources::pathForResource(encoderResourceName(), QString());
}

QProcessEnvironment EncoderRun::encoderEnvironment(const QProcessEnvironment& inherited)
{
    QString characterType;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        characterType = inherited.value(QLatin1String(name));
        if (!characterType.isEmpty())
            break;
    }
    const QString lower = characterType.toLower();
    QProcessEnvironment environment = inherited;
    if (!lower.contains(QStringLiteral("utf-8")) && !lower.contains(QStringLiteral("utf8")))
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

bool EncoderRun::start(const QStringList& arguments, const QString& workingDirectory)
{
    terminate();
    m_failure.clear();
    const QString program = encoderPath();
    if (program.isEmpty()) {
        m_failure = QStringLiteral("The encoder \"%1\" is missing from %2.")
                        .arg(encoderResourceName(), Resources::resourceDirectory());
        return false;
    }
    if (!QFileInfo(program).isExecutable()) {
        m_failure = QStringLiteral("The encoder %1 cannot be run.").arg(program);
        return false;
    }
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setProgram(program);
    m_process->setArguments(arguments);
    m_process->setProcessEnvironment(encoderEnvironment(QProcessEnvironment::systemEnvironment()));
    if (!workingDirectory.isEmpty())
        m_process->setWorkingDirectory(workingDirectory);
    connect(m_process, &QProcess::readyRead, this, &EncoderRun::readAvailable);
    connect(m_process, &QProcess::finished, this, &EncoderRun::finish);
    m_process->start(QIODevice::ReadOnly);
    if (!m_process->waitForStarted()) {
        m_failure =
            QStringLiteral("The encoder %1 could not be started: %2").arg(program, m_process->errorString());
        m_process->disconnect(this);
        delete m_process;
        m_process = nullptr;
        return false;
    }
    return true;
}

void EncoderRun::terminate()
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(2000)) {
            process->kill();
            process->waitForFinished(2000);
        }
    }
    process->deleteLater();
}

bool EncoderRun::isRunning() const
{
    return m_process != nullptr;
}

void EncoderRun::readAvailable()
{
    if (!m_process)
        return;
    const QByteArray chunk = m_process->readAll();
    if (!chunk.isEmpty())
        Q_EMIT chunkRead(chunk);
}

void EncoderRun::finish(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    readAvailable();
    if (!m_process)
        return; // a chunk handler ended the run
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    process->deleteLater();
    const bool succeeded = status == QProcess::NormalExit && exitCode == 0;
    QString failure;
    if (status != QProcess::NormalExit)
        failure = QStringLiteral("the encoder stopped unexpectedly");
    else if (exitCode != 0)
        failure = QStringLiteral("the encoder exited with status %1").arg(exitCode);
    Q_EMIT outputEnded(succeeded, failure);
}
