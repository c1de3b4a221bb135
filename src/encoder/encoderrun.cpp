#include "encoder/encoderrun.h"

#include "common/printabletext.h"

#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QTimer>

namespace {
// How much sound waits in the pipe's buffer at most: the program takes it at its own pace, and
// a whole track is never held in memory.
constexpr qint64 soundBlockSize = 256 * 1024;
constexpr qsizetype tailSize = 4096;
constexpr int lastWordLines = 3;
constexpr qsizetype lastWordsLength = 400;
} // namespace

EncoderRun::EncoderRun(QObject* parent) : QObject(parent), m_silence(new QTimer(this))
{
    m_silence->setSingleShot(true);
    m_silence->setInterval(60 * 1000);
    connect(m_silence, &QTimer::timeout, this, &EncoderRun::silent);
}

void EncoderRun::setSilenceLimit(int milliseconds)
{
    m_silence->setInterval(milliseconds);
}

void EncoderRun::silent()
{
    if (!m_process)
        return;
    const int seconds = m_silence->interval() / 1000;
    terminate();
    Q_EMIT outputEnded(false, QStringLiteral("the encoder printed nothing for %1 seconds and was ended")
                                  .arg(seconds > 0 ? seconds : 1));
}

EncoderRun::~EncoderRun()
{
    terminate();
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

bool EncoderRun::start(const QString& program, const QStringList& arguments, const QString& workingDirectory,
                       std::unique_ptr<QIODevice> sound)
{
    terminate();
    m_failure.clear();
    m_tail.clear();
    if (program.isEmpty()) {
        m_failure = QStringLiteral("The encoder is missing.");
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
    m_sound = std::move(sound);
    if (m_sound)
        connect(m_process, &QProcess::bytesWritten, this, &EncoderRun::feedSound);
    m_process->start(m_sound ? QIODevice::ReadWrite : QIODevice::ReadOnly);
    if (!m_process->waitForStarted()) {
        m_failure =
            QStringLiteral("The encoder %1 could not be started: %2").arg(program, m_process->errorString());
        m_process->disconnect(this);
        delete m_process;
        m_process = nullptr;
        m_sound.reset();
        return false;
    }
    if (m_sound)
        feedSound();
    m_silence->start();
    return true;
}

void EncoderRun::feedSound()
{
    if (!m_process || !m_sound)
        return;
    while (m_process->bytesToWrite() < soundBlockSize) {
        const QByteArray block = m_sound->read(soundBlockSize);
        if (block.isEmpty()) {
            // The end of the sound (or a read that failed): the program sees the end of its input.
            m_sound.reset();
            m_process->closeWriteChannel();
            return;
        }
        m_process->write(block);
    }
}

void EncoderRun::terminate()
{
    m_silence->stop();
    m_sound.reset();
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

QString EncoderRun::lastWords() const
{
    QStringList lines;
    const QString text = QString::fromUtf8(m_tail);
    const QStringList all = text.split(QRegularExpression(QStringLiteral("[\\r\\n]")), Qt::SkipEmptyParts);
    for (auto line = all.crbegin(); line != all.crend() && lines.size() < lastWordLines; ++line) {
        // Progress reports redraw themselves with terminal escapes; what follows the last escape
        // of a line is what the program wrote after its report ("Error writing mp3 output").
        static const QRegularExpression escape(QStringLiteral("\x1b\\[[0-9;]*[A-Za-z]"));
        QString rest = *line;
        if (const qsizetype at = rest.lastIndexOf(escape); at >= 0)
            rest = rest.mid(at).remove(escape);
        QString plain;
        for (QChar c : rest)
            plain += isControlCharacter(c) ? QChar(u' ') : c;
        plain = plain.simplified();
        if (!plain.isEmpty())
            lines.prepend(plain);
    }
    QString words = lines.join(QStringLiteral(" / "));
    if (words.size() > lastWordsLength)
        words = words.left(lastWordsLength) + QStringLiteral("...");
    return words;
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
    if (chunk.isEmpty())
        return;
    m_tail = (m_tail + chunk).right(tailSize);
    m_silence->start();
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
    m_silence->stop();
    m_sound.reset();
    process->disconnect(this);
    process->deleteLater();
    const bool succeeded = status == QProcess::NormalExit && exitCode == 0;
    QString failure;
    if (status != QProcess::NormalExit)
        failure = QStringLiteral("the encoder stopped unexpectedly");
    else if (exitCode != 0)
        failure = QStringLiteral("the encoder exited with status %1").arg(exitCode);
    const QString words = lastWords();
    if (!succeeded && !words.isEmpty())
        failure += QStringLiteral(": ") + words;
    Q_EMIT outputEnded(succeeded, failure);
}
