#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the packaged LAME encoder as a child process. Standard output and standard error
// arrive merged, chunk by chunk, on the event loop; the end of the output is announced once.
class EncoderRun : public QObject {
    Q_OBJECT
public:
    explicit EncoderRun(QObject* parent = nullptr);
    ~EncoderRun() override;

    // "lame_intel" on little-endian hosts, "lame_ppc" on big-endian ones.
    static QString encoderResourceName();
    // The resource's full path, or a null string when the application does not carry it.
    static QString encoderPath();

    // The environment a run gets: the inherited one, with LC_ALL=C.UTF-8 when the inherited
    // character type is not UTF-8 (cron, services, LC_ALL=C). LAME reads its tag values in the
    // locale's character set, and the values we pass are UTF-8.
    static QProcessEnvironment encoderEnvironment(const QProcessEnvironment& inherited);

    // Starts the encoder with exactly these arguments. False, with failureReason() set, when the
    // encoder is missing or cannot be started; no signal follows then.
    bool start(const QStringList& arguments, const QString& workingDirectory = QString());
    // Stops the run at once; no further signal is emitted. Harmless when it has ended.
    void terminate();
    bool isRunning() const;
    QString failureReason() const { return m_failure; }

Q_SIGNALS:
    void chunkRead(const QByteArray& chunk);
    // The output has ended. succeeded is false when the encoder exited non-zero or died.
    void outputEnded(bool succeeded, const QString& failure);

private:
    void readAvailable();
    void finish(int exitCode, QProcess::ExitStatus status);

    QProcess* m_process = nullptr;
    QString m_failure;
};
