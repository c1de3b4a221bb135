#include "app/gui/ripsessionbinding.h"

#include "app/gui/appcontroller.h"
#include "rip/lameprocess.h"

#include <QAbstractButton>
#include <memory>

RipSessionBinding::RipSessionBinding(AppController& controller, LAMEProcess& session, QObject* parent)
    : QObject(parent)
{
    connect(controller.startButton(), &QAbstractButton::clicked, &session, &LAMEProcess::runEncoder);
    connect(controller.stopButton(), &QAbstractButton::clicked, &session, &LAMEProcess::stop);
    connect(controller.skipButton(), &QAbstractButton::clicked, &session, &LAMEProcess::skipTrack);

    auto showButtons = [&controller, &session] {
        controller.setButtonStates(session.isStartEnabled(), session.isStopEnabled(),
                                   session.isSkipEnabled());
        controller.setRipFieldsEnabled(session.isExpertTextFieldEnabled(), session.isNameStyleTextFieldEnabled());
    };
    showButtons();
    connect(&session, &LAMEProcess::buttonStatesChanged, this, showButtons);
    controller.showStatusLine(session.getptl());
    controller.showTimeRemaining(session.getptf());
    connect(&session, &LAMEProcess::statusLineChanged, this,
            [&controller](const QString& line) { controller.showStatusLine(line); });
    connect(&session, &LAMEProcess::timeRemainingChanged, this,
            [&controller](const QString& line) { controller.showTimeRemaining(line); });
    connect(&session, &LAMEProcess::albumFolderMade, this,
            [&controller](const QString& folder) { controller.showAlbumFolder(folder); });
    connect(&session, &LAMEProcess::progressChanged, this,
            [&controller](int finished, int total) { controller.showTracksFinished(finished, total); });
    connect(&session, &LAMEProcess::ripTimeRemainingChanged, this,
            [&controller](const QString& time) { controller.showRipTimeRemaining(time); });
    connect(&session, &LAMEProcess::coverArtChanged, this,
            [&controller](const QByteArray& image) { controller.showCoverArt(image); });
    connect(&session, &LAMEProcess::sessionReported, this,
            [&controller](const SessionReport& report) { controller.showRipSummary(report); });
    auto summary = std::make_shared<QString>();
    connect(&session, &LAMEProcess::sessionSummary, this, [summary](const QString& text) { *summary = text; });
    connect(&session, &LAMEProcess::sessionEnded, this, [&controller, summary](const QStringList& failed) {
        controller.showSessionEnded(failed, *summary);
        summary->clear();
    });
    controller.setRipSessionHooks([&session] { return session.isRunning(); }, [&session] { session.stop(); });
}
