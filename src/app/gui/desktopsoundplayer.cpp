#include "app/gui/desktopsoundplayer.h"

#include "common/log.h"

#include <QApplication>
#include <canberra.h>

namespace {
using CreateFunction = int (*)(ca_context**);
using DestroyFunction = int (*)(ca_context*);
using PlayFunction = int (*)(ca_context*, uint32_t, ...);
} // namespace

DesktopSoundPlayer::DesktopSoundPlayer() : m_library(QStringLiteral("canberra"), 0) {}

DesktopSoundPlayer::~DesktopSoundPlayer()
{
    if (m_context) {
        if (auto destroy = reinterpret_cast<DestroyFunction>(m_library.resolve("ca_context_destroy")))
            destroy(static_cast<ca_context*>(m_context));
    }
    // The library stays loaded: its sound threads may outlive the context by a moment.
}

bool DesktopSoundPlayer::open()
{
    if (m_tried)
        return m_context != nullptr;
    m_tried = true;
    if (!m_library.load())
        return false;
    auto create = reinterpret_cast<CreateFunction>(m_library.resolve("ca_context_create"));
    if (!create)
        return false;
    ca_context* context = nullptr;
    if (create(&context) != CA_SUCCESS)
        return false;
    m_context = context;
    return true;
}

void DesktopSoundPlayer::playFinishedSound()
{
    if (open()) {
        auto play = reinterpret_cast<PlayFunction>(m_library.resolve("ca_context_play"));
        if (play && play(static_cast<ca_context*>(m_context), 0, CA_PROP_EVENT_ID, "complete",
                         CA_PROP_EVENT_DESCRIPTION, "Rip finished", CA_PROP_APPLICATION_NAME, "Vesk",
                         static_cast<const char*>(nullptr)) == CA_SUCCESS)
            return;
    }
    QApplication::beep();
}
