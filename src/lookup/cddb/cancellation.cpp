#include "lookup/cddb/cancellation.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

Cancellation::Cancellation() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Cancellation::~Cancellation()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Cancellation::cancel()
{
    if (m_cancelled.exchange(true) || m_fd < 0)
        return;
    const std::uint64_t one = 1;
    (void)!::write(m_fd, &one, sizeof one);
}
