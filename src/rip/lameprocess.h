#pragma once

#include "lookup/disclookup.h"
#include "lookup/lookuphost.h"
#include "model/album.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class AlbumChooser;
class EncoderRun;
class Settings;
class SoundPlayer;
class TrackEditor;

// The rip session: prepares a rip from the settings, runs the encoder once per track, one after
// another, shows progress in the settings' status lines and finishes with the release files.
// Stop, Skip and the buttons' states live here too. Everything runs on the main thread.
class LAMEProcess : public QObject, public LookupHost {
    Q_OBJECT
public:
    explicit LAMEProcess(Settings& settings, QObject* parent = nullptr);
    ~LAMEProcess() override;

    // Collaborators; any of them may be absent (no editor: the option is reported and ignored;
    // no chooser: the first match is taken; no lookup: the default album; no sound player: silence).
    void setTrackEditor(TrackEditor* editor) { m_trackInfoController = editor; }
    void setAlbumChooser(AlbumChooser* chooser) { m_freedbAlbumMatchesController = chooser; }
    void setDiscLookupFactory(DiscLookupFactory factory) { m_lookupFactory = std::move(factory); }
    void setSoundPlayer(SoundPlayer* player) { m_soundPlayer = player; }

    // Start, Stop and Skip.
    void runEncoder();
    void stop();
    void skipTrack();
    bool isRunning() const;
    void resetLAMEProcessForNewCD();
    // The main window is closing: a running rip is stopped. Always true.
    bool windowShouldClose();

    bool isStartEnabled() const { return m_startEnabled; }
    bool isStopEnabled() const { return m_stopEnabled; }
    bool isSkipEnabled() const { return m_skipEnabled; }

    // LookupHost
    QString getChosenCDName() const override;
    void runAlertWithTitle(const QString& title, const QString& text) override;
    int displayMultipleAlbumMatches(const QStringList& matchLines) override;

    void setptl(const QString& text);
    void setptf(const QString& text);

Q_SIGNALS:
    void buttonStatesChanged();
    // Track number (1-based, in session order) has started; total is the session's track count.
    void trackStarted(int number, int total);
    // The session has ended (finished, skipped to its end or stopped) and was reset.
    // failedTracks names the tracks whose encoder failed.
    void sessionEnded(const QStringList& failedTracks);

private:
    Settings& m_settings;
    TrackEditor* m_trackInfoController = nullptr;
    AlbumChooser* m_freedbAlbumMatchesController = nullptr;
    SoundPlayer* m_soundPlayer = nullptr;
    DiscLookupFactory m_lookupFactory;
    bool m_startEnabled = true;
    bool m_stopEnabled = false;
    bool m_skipEnabled = false;
};
