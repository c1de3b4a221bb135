#pragma once

#include "lookup/disclookup.h"
#include "lookup/lookuphost.h"
#include "model/album.h"
#include "encoder/lame/encoderestimate.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class AlbumChooser;
class DiscLookupRunner;
class EncoderRun;
class Settings;
class SoundPlayer;
class TrackEditor;

// The rip session: prepares a rip from the settings, runs the encoder once per track, several
// at once when the settings ask for more than one encoder and the source is not a CD, shows
// progress in the settings' status lines and finishes with the release files. Stop, Skip and
// the buttons' states live here too. Everything runs on the main thread but the disc lookup,
// which runs on a worker while the window goes on; Stop ends it.
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

    // Start, Stop and Skip. With a lookup the preparation goes on once it has ended.
    void runEncoder();
    void stop();
    void skipTrack();
    bool isRunning() const;
    bool isLookingUp() const;
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
    // The status line of one track of the session (numbered from 1), as a single run shows it:
    // "Processing: title     (3 of 12)".
    QString trackLine(int number) const;
    static QString processing() { return QStringLiteral("Processing: "); }
    void setptf(const QString& text);

    // Starts encoders on the head pairs of the session's paths, in track order, until as many
    // run as the session may have at once.
    void ripASingleTrack();
    // One chunk of the oldest running encoder's output; an empty chunk marks the end of its
    // output, and no chunk at all ends that run at once (Skip): then the next track starts or,
    // after the last run, the session finishes.
    void getData(const std::optional<QByteArray>& chunk);
    // A folder with a disc's table of contents or a gvfs CD mount: read by one encoder at a time.
    static bool isCDSource(const QString& source);
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
    // How many of the session's total tracks are done: encoded, failed or skipped.
    void progressChanged(int finished, int total);
    // The session has ended (finished, skipped to its end or stopped) and was reset.
    // failedTracks names the tracks whose encoder failed.
    void sessionEnded(const QStringList& failedTracks);
    // A session that went on after its lookup ended before its first track (Stop during the
    // lookup, the editor cancelled): nothing was made.
    void sessionAbandoned();

private:
    // The checks before anything is looked up or made; false when no session is to start.
    bool checkSession();
    // Everything after the album is known up to the first encoder run. False when no run is to start.
    bool prepareSession(std::optional<Album> lookedUp);
    void lookupEnded(const std::optional<Album>& album);
    void stopLookup();
    // The album of the session, made from what the lookup found (if anything) and the chosen tracks.
    Album obtainAlbum(const QStringList& chosen, std::optional<Album> album);
    bool editAlbum(Album& album);
    QString createOutputFolder(const Album& album);
    void setButtonStates(bool start, bool stopAndSkip);
    struct Run {
        EncoderRun* encoder; // a child of the session, so never left behind
        qsizetype index;     // the track's session position, from 0
        QString outputPath;
        std::optional<EncoderEstimate> estimate; // the latest one the run reported
    };
    void startRun();
    Run* runOf(const EncoderRun* encoder);
    void removeRun(EncoderRun* encoder);
    QString trackTitle(qsizetype index) const;
    void showTracksInProgress();
    void showEstimate(Run& run, const QByteArray& chunk);
    void showLongestEstimate();
    void noteFailure(const Run& run, const QString& failure);
    void runEnded(EncoderRun* encoder, bool succeeded, const QString& failure);
    void endRun(EncoderRun* encoder, bool endedByItself);
    void finishSession(bool endedByItself);
    void writeReleaseFilesIfAsked();
    void releaseEncoders();

    Settings& m_settings;
    TrackEditor* m_trackInfoController = nullptr;
    AlbumChooser* m_freedbAlbumMatchesController = nullptr;
    SoundPlayer* m_soundPlayer = nullptr;
    DiscLookupFactory m_lookupFactory;
    std::unique_ptr<DiscLookupRunner> m_lookupRunner;
    QString m_preparedSource;
    QStringList m_preparedTracks;
    bool m_startEnabled = true;
    bool m_stopEnabled = false;
    bool m_skipEnabled = false;

    std::vector<Run> m_runs; // the running encoders, oldest first
    qsizetype m_jobs = 0;    // how many may run at once; 0 until the first start
    quint32 m_finishedTracks = 0;
    QStringList m_outputNames; // file names of the runs started, in track order
    bool m_preparing = false;
    QStringList m_trackPairs;
    QStringList m_arguments;
    QStringList m_trackNames;
    quint32 m_totalTracks = 0;
    quint32 m_currentTrack = 1;
    std::optional<Album> m_currentAlbum;

    bool m_sessionActive = false;
    QString m_outputPathAtStart;
    // Output files of runs that were stopped, skipped or failed: left out of the release files.
    QStringList m_incompleteNames;
    QStringList m_failedTracks;
    bool m_reportedNoEditor = false;
    bool m_reportedRefusedGenre = false;
};
