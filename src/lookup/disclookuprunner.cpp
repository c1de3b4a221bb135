#include "lookup/disclookuprunner.h"

#include "lookup/lookupfailure.h"
#include "lookup/lookuphost.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace {
// What a worker and the runner's thread share about one lookup's requests.
struct Exchange {
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable answered;
    bool hasAnswer = false;
    int answer = -1;
};

// The host a lookup on a worker sees: the source folder as it was at the start, its table of
// contents read once, and the requests carried over to the runner's thread. Carried requests
// that arrive after a cancel are dropped; the runner outlives its workers, so it is there when
// they arrive.
class WorkerHost : public LookupHost {
public:
    WorkerHost(QObject* runner, LookupHost& host, std::shared_ptr<Exchange> exchange)
        : m_runner(runner), m_host(host), m_exchange(std::move(exchange)), m_folder(host.getChosenCDName())
    {
    }

    QString getChosenCDName() const override { return m_folder; }

    // Read once for every source of the chain, on the worker that first asks.
    std::optional<DiscTOC> discTOC() override
    {
        // The host may know the disc itself (a drive, an image); it answers on this thread.
        std::call_once(m_tocRead, [this] { m_toc = m_host.discTOC(); });
        return m_toc;
    }

    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        carry([title, text](LookupHost& host) { host.runAlertWithTitle(title, text); });
    }

    void lookupFailed(const LookupFailure& failure) override
    {
        carry([failure](LookupHost& host) { host.lookupFailed(failure); });
    }

    void lookupProgress(const QString& line) override
    {
        carry([line](LookupHost& host) { host.lookupProgress(line); });
    }

    int displayMultipleAlbumMatches(const QStringList& matchLines) override
    {
        if (onRunnerThread())
            return m_host.displayMultipleAlbumMatches(matchLines);
        {
            std::lock_guard lock(m_exchange->mutex);
            m_exchange->hasAnswer = false;
        }
        QMetaObject::invokeMethod(
            m_runner,
            [exchange = m_exchange, host = &m_host, matchLines] {
                const int answer =
                    exchange->cancelled.load() ? -1 : host->displayMultipleAlbumMatches(matchLines);
                std::lock_guard lock(exchange->mutex);
                exchange->answer = answer;
                exchange->hasAnswer = true;
                exchange->answered.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(m_exchange->mutex);
        m_exchange->answered.wait(lock,
                                  [this] { return m_exchange->hasAnswer || m_exchange->cancelled.load(); });
        return m_exchange->cancelled.load() ? -1 : m_exchange->answer;
    }

private:
    bool onRunnerThread() const { return QThread::currentThread() == m_runner->thread(); }

    // Hands a request that needs no answer to the host on the runner's thread.
    void carry(std::function<void(LookupHost&)> request)
    {
        if (onRunnerThread()) {
            request(m_host);
            return;
        }
        QMetaObject::invokeMethod(
            m_runner,
            [exchange = m_exchange, host = &m_host, request = std::move(request)] {
                if (!exchange->cancelled.load())
                    request(*host);
            },
            Qt::QueuedConnection);
    }

    QObject* m_runner;
    LookupHost& m_host;
    std::shared_ptr<Exchange> m_exchange;
    const QString m_folder;
    std::once_flag m_tocRead;
    std::optional<DiscTOC> m_toc;
};
} // namespace

struct DiscLookupRunner::Job {
    std::shared_ptr<Exchange> exchange = std::make_shared<Exchange>();
    std::mutex mutex; // guards lookup: cancel() may come while the worker lets it go
    std::unique_ptr<WorkerHost> host;
    std::unique_ptr<DiscLookup> lookup; // made here, run and destroyed on the worker
    std::optional<Album> album;

    void cancel()
    {
        {
            std::lock_guard lock(exchange->mutex);
            exchange->cancelled.store(true);
            exchange->answered.notify_all();
        }
        std::lock_guard lock(mutex);
        if (lookup)
            lookup->cancel();
    }
};

DiscLookupRunner::DiscLookupRunner(LookupHost& host, QObject* parent) : QObject(parent), m_host(host) {}

DiscLookupRunner::~DiscLookupRunner()
{
    cancel();
    for (QThread* worker : m_workers) {
        worker->wait();
        delete worker;
    }
}

bool DiscLookupRunner::start(const DiscLookupFactory& factory, const QString& serverHost)
{
    cancel();
    auto job = std::make_shared<Job>();
    job->host = std::make_unique<WorkerHost>(this, m_host, job->exchange);
    job->lookup = factory ? factory(*job->host) : nullptr;
    if (!job->lookup)
        return false;
    QThread* worker = QThread::create([job, serverHost] {
        job->lookup->lookupCDInformation(serverHost);
        std::optional<Album> album = job->lookup->getAlbumInfo();
        // A lookup's objects belong to the thread it ran on; they go here.
        std::unique_ptr<DiscLookup> done;
        {
            std::lock_guard lock(job->mutex);
            done = std::move(job->lookup);
        }
        done.reset();
        job->album = std::move(album);
    });
    worker->setObjectName(QStringLiteral("disc lookup"));
    connect(worker, &QThread::finished, this, [this, worker, job] { workerEnded(worker, job); });
    m_workers.push_back(worker);
    m_job = job;
    worker->start();
    return true;
}

void DiscLookupRunner::cancel()
{
    if (!m_job)
        return;
    m_job->cancel();
    m_job.reset();
}

void DiscLookupRunner::workerEnded(QThread* worker, const std::shared_ptr<Job>& job)
{
    worker->wait();
    std::erase(m_workers, worker);
    delete worker;
    if (job != m_job)
        return; // cancelled
    m_job.reset();
    Q_EMIT finished(job->album);
}
