#include "veskriprun.h"

#include "disc/disctoc.h"
#include "testenvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

RipRun runVeskRip(const QStringList& arguments, const std::function<void(QProcess&)>& prepare)
{
    QProcess process;
    process.setProgram(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"));
    // No run asks the real AccurateRip or Cover Art Archive: only a test's own stand-in, when it
    // names one.
    QStringList all = arguments;
    if (!arguments.contains(QStringLiteral("--accuraterip-url")))
        all.prepend(QStringLiteral("--no-accuraterip"));
    if (!arguments.contains(QStringLiteral("--coverart-url")))
        all.prepend(QStringLiteral("--no-cover-art"));
    process.setArguments(all);
    process.setStandardInputFile(QProcess::nullDevice());
    if (prepare)
        prepare(process);
    if (process.state() == QProcess::NotRunning)
        process.start();
    RipRun run;
    if (process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
               QString::fromUtf8(process.readAllStandardError())};
    return run;
}

::testing::AssertionResult exitedSaying(const RipRun& run, int code, const QStringList& said)
{
    QStringList unsaid;
    for (const QString& text : said)
        if (!run.err.contains(text))
            unsaid << text;
    if (run.exitCode == code && unsaid.isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "exit status " << run.exitCode << " (" << code
           << " expected), not said: " << unsaid.join(u" | ").toStdString() << "\n"
           << run.err.toStdString();
}

std::function<void(QProcess&)> withEnvironment(const QString& name, const QString& value)
{
    return [name, value](QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(name, value);
        process.setProcessEnvironment(environment);
    };
}

QString ownLoopbackAddress()
{
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("127.0.%1.%2").arg((pid >> 8) % 250 + 3).arg(pid % 250 + 3);
}

QString makeTocDisc(const QString& cd, const QList<qint64>& offsets, qint64 leadout)
{
    QDir().mkpath(cd);
    for (qsizetype i = 0; i < offsets.size(); ++i)
        if (!makeAiff(cd + QStringLiteral("/%1 Audio Track.aiff").arg(i + 1), 0.3))
            return {};
    if (!writeTestFile(cd + QStringLiteral("/.TOC.plist"), oneSessionTocPlist(offsets, leadout)))
        return {};
    return discIdText(DiscTOC::fromOffsets(offsets, quint32(leadout)).cddbDiscId());
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds)
{
    for (QDeadlineTimer deadline(milliseconds); !condition(); QThread::msleep(20))
        if (deadline.hasExpired())
            return false;
    return true;
}
