#include "lookup/cancellableloop.h"

#include <QEventLoop>

void CancellableLoop::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_loop)
        QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
}

bool CancellableLoop::run(QEventLoop& loop)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return false;
        m_loop = &loop;
    }
    loop.exec();
    const std::lock_guard lock(m_mutex);
    m_loop = nullptr;
    return !m_cancelled;
}
