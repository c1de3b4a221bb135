#pragma once

#include "lookup/disclookup.h"
#include "lookup/lookuphost.h"
#include "model/album.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
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

    // Starts the encoder on the head pair of the session's paths.
    void ripASingleTrack();
    // One chunk of the running encoder's output; an empty chunk marks the end of its output,
    // and no chunk at all ends the run at once (Skip, Stop): then the next track starts or the
    // session finishes.
    void getData(const std::optional<QByteArray>& chunk);
    // Appends the preset's words, "--add-id3v2", "--disptime", "5" to the session's arguments.
    void loadCLArguments();
    // The current track's seven ID3 tag options with values, or nothing when tags are off.
    QStringList loadID3TrackTagArgumentsforCurrentTrack() const;
    // The name style applied to one track, with the session album's title for %l.
    QString createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                           qint32 trackNumber, const QString& trackName) const;

    // Session state, as the tests and front ends see it.
    QStringList trackPairs() const { return m_trackPairs; }
    QStringList arguments() const { return m_arguments; }
    quint32 totalTracks() const { return m_totalTracks; }
    quint32 currentTrack() const { return m_currentTrack; }

Q_SIGNALS:
    void buttonStatesChanged();
    // Track number (1-based, in session order) has started; total is the session's track count.
    void trackStarted(int number, int total);
    // The session has ended (finished, skipped to its end or stopped) and was reset.
    // failedTracks names the tracks whose encoder failed.
    void sessionEnded(const QStringList& failedTracks);

private:
    bool prepareSession();
    std::optional<Album> obtainAlbum(const QStringList& chosen);
    bool editAlbum(Album& album);
    QString createOutputFolder(const Album& album);
    void setButtonStates(bool start, bool stopAndSkip);
    void runEnded(bool succeeded, const QString& failure);
    void finishSession(bool endedByItself);
    void writeReleaseFilesIfAsked();
    void releaseEncoder();

    Settings& m_settings;
    TrackEditor* m_trackInfoController = nullptr;
    AlbumChooser* m_freedbAlbumMatchesController = nullptr;
    SoundPlayer* m_soundPlayer = nullptr;
    DiscLookupFactory m_lookupFactory;
    bool m_startEnabled = true;
    bool m_stopEnabled = false;
    bool m_skipEnabled = false;

    EncoderRun* m_chore = nullptr; // a child of the session, so never left behind
    bool m_preparing = false;
    QStringList m_trackPairs;
    QStringList m_arguments;
    QStringList m_trackNames;
    quint32 m_totalTracks = 0;
    quint32 m_currentTrack = 1;
    std::optional<Album> m_currentAlbum;

    bool m_sessionActive = false;
    QString m_outputPathAtStart;
    QStringList m_failedTracks;
    bool m_reportedNoEditor = false;
    bool m_reportedRefusedGenre = false;
};
