#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

class QIODevice;
class QTimer;

// One run of an encoder program as a child process. Standard output and standard error arrive
// merged, chunk by chunk, on the event loop; the end of the output is announced once. The run
// reads its input from a file named in its arguments, or from sound the run writes to its
// standard input as the program takes it in, a block at a time.
class EncoderRun : public QObject {
    Q_OBJECT
public:
    explicit EncoderRun(QObject* parent = nullptr);
    ~EncoderRun() override;

    // The environment a run gets: the inherited one, with LC_ALL=C.UTF-8 when the inherited
    // character type is not UTF-8 (cron, services, LC_ALL=C). The tag values we pass are UTF-8
    // and encoders read them in the locale's character set.
    static QProcessEnvironment encoderEnvironment(const QProcessEnvironment& inherited);

    // Starts program with exactly these arguments. With sound, its bytes up to the end are
    // written to the program's standard input, which is then closed; the run owns the device.
    // Without, standard input is closed from the start. False, with failureReason() set, when
    // the program is missing or cannot be started; no signal follows then.
    bool start(const QString& program, const QStringList& arguments, const QString& workingDirectory = QString(),
               std::unique_ptr<QIODevice> sound = nullptr);
    // Stops the run at once; no further signal is emitted. Harmless when it has ended.
    void terminate();
    bool isRunning() const;
    QString failureReason() const { return m_failure; }
    // A program that prints nothing for this long has hung (or was stopped with SIGSTOP): it
    // is ended and the run fails. A minute by default; LAME reports every few seconds.
    void setSilenceLimit(int milliseconds);
    // The last few lines the program printed that say something (not its progress), as one
    // line of plain text: an encoder's own words on why it failed.
    QString lastWords() const;

Q_SIGNALS:
    void chunkRead(const QByteArray& chunk);
    // The output has ended. succeeded is false when the encoder exited non-zero or died.
    void outputEnded(bool succeeded, const QString& failure);

private:
    void readAvailable();
    void feedSound();
    void finish(int exitCode, QProcess::ExitStatus status);
    void silent();

    QProcess* m_process = nullptr;
    std::unique_ptr<QIODevice> m_sound;
    QString m_failure;
    QByteArray m_tail; // the end of the output, for lastWords()
    QTimer* m_silence = nullptr;
};
