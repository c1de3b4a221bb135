#pragma once

#include "lookup/disclookup.h"
#include "model/album.h"

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

class LookupHost;
class QThread;

// Runs disc lookups off the main thread so that the window keeps painting and Stop is heard
// while a server takes its time. The lookup's requests of its host (alerts, failures, progress,
// the match chooser) are carried to the host on the thread that owns the runner, and the
// chooser's answer back.
class DiscLookupRunner : public QObject {
    Q_OBJECT
public:
    // host receives the lookups' requests on this object's thread.
    explicit DiscLookupRunner(LookupHost& host, QObject* parent = nullptr);
    // Cancels a running lookup and waits for every worker to end.
    ~DiscLookupRunner() override;

    // Makes the lookup with factory here and now and starts it on a worker thread; finished
    // follows. False (and nothing runs) when the factory makes no lookup.
    bool start(const DiscLookupFactory& factory, const QString& serverHost);
    bool isRunning() const { return m_job != nullptr; }
    // Ends the running lookup: its worker is told to stop, its alerts and questions are
    // dropped, and finished is not emitted for it. The worker ends on its own shortly after.
    void cancel();

Q_SIGNALS:
    // The running lookup has ended with this album, or with none.
    void finished(const std::optional<Album>& album);

private:
    struct Job;
    void workerEnded(QThread* thread, const std::shared_ptr<Job>& job);

    LookupHost& m_host;
    std::shared_ptr<Job> m_job;
    std::vector<QThread*> m_workers;
};
