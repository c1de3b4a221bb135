#include "disc/cdiolog.h"

#include "common/log.h"

#include <cdio/logging.h>
#include <mutex>

namespace {
thread_local CdioLog::Capture* t_capture = nullptr;

void handle(cdio_log_level_t level, const char* message)
{
    const QString line = QString::fromLocal8Bit(message).trimmed();
    if (level <= CDIO_LOG_DEBUG || line.isEmpty())
        return;
    if (t_capture)
        t_capture->add(line);
    else if (level >= CDIO_LOG_WARN)
        veskLog(QStringLiteral("libcdio: ") + line);
}
} // namespace

void CdioLog::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The parsers tell why a sheet fails at the "info" level, below libcdio's default.
        cdio_loglevel_default = CDIO_LOG_INFO;
        cdio_log_set_handler(handle);
    });
}

CdioLog::Capture::Capture() : m_outer(t_capture)
{
    t_capture = this;
}

CdioLog::Capture::~Capture()
{
    t_capture = m_outer;
}
