#pragma once

#include "disc/audiocdfinder.h"
#include "lookup/disclookup.h"
#include "lookup/coverart/coverartfetch.h"
#include "lookup/lookuphost.h"
#include "model/album.h"
#include "rip/sessionreport.h"
#include "rip/trackjob.h"

#include <QByteArray>
#include <QHash>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class AccurateRipCheck;
class CoverArtSearch;
class LoudnessPass;
class AlbumChooser;
class CdioDisc;
class DiscListing;
class AlertPresenter;
class DiscLookupRunner;
class Encoder;
class EncoderRun;
class FinishedFileStep;
class Settings;
class SoundPlayer;
class TrackEditor;
class TrackSpool;

// The rip session: prepares a rip from the settings into a list of track jobs, runs the encoder
// once per track, several at once when the settings ask for more than one encoder and the
// source is not a CD, shows progress in its status lines and finishes with the release files.
// Stop, Skip and the buttons' states live here too. Everything runs on the main thread but the
// disc lookup, which runs on a worker while the window goes on; Stop ends it.
class LAMEProcess : public QObject, public LookupHost {
    Q_OBJECT
public:
    // The encoder is LAME unless one is given.
    explicit LAMEProcess(Settings& settings, QObject* parent = nullptr);
    LAMEProcess(Settings& settings, std::unique_ptr<Encoder> encoder, QObject* parent = nullptr);
    ~LAMEProcess() override;

    // Collaborators; any of them may be absent (no editor: the option is reported and ignored;
    // no chooser: the first match is taken; no lookup: the default album; no sound player:
    // silence; no alert presenter: alerts go to the log).
    void setTrackEditor(TrackEditor* editor) { m_trackInfoController = editor; }
    void setAlbumChooser(AlbumChooser* chooser) { m_freedbAlbumMatchesController = chooser; }
    void setDiscLookupFactory(DiscLookupFactory factory) { m_lookupFactory = std::move(factory); }
    void setSoundPlayer(SoundPlayer* player) { m_soundPlayer = player; }
    void setAlertPresenter(AlertPresenter* presenter) { m_alerts = presenter; }
    // Off when the front end shows the failed tracks in its own summary (sessionReported).
    void setAlertFailuresAtEnd(bool alert) { m_alertFailuresAtEnd = alert; }
    // The disc as the window lists it: a rip of the listed folder takes its titles from there,
    // waiting for its lookup when one runs, instead of looking up again. Not owned.
    void setDiscListing(DiscListing* listing) { m_listing = listing; }
    // Where each chosen track's sound comes from, given the source and the track's name: its file
    // in the source folder unless a factory says otherwise (a disc gives streams to be read).
    using TrackSourceFactory =
        std::function<std::shared_ptr<const TrackSource>(const QString& source, const QString& trackName)>;
    void setTrackSourceFactory(TrackSourceFactory factory) { m_sourceFactory = std::move(factory); }
    // How a drive's tray is opened when "Eject when done" is on (none: the option is ignored).
    void setEjector(std::function<void(const QString& device)> eject) { m_eject = std::move(eject); }
    // Whether the rips of this session may ask the AccurateRip database (the option decides
    // then); off unless a front end turns it on, so that nothing else reaches the internet.
    void setAccurateRipAllowed(bool allowed) { m_accurateRipAllowed = allowed; }
    // The same for the front cover (the Cover Art Archive, and MusicBrainz for CDDB titles).
    void setCoverArtAllowed(bool allowed) { m_coverArtAllowed = allowed; }
    // The read offset a disc is read with, whatever the preferences say (vesk-rip's --read-offset).
    void setReadOffsetOverride(std::optional<int> samples) { m_readOffsetOverride = samples; }
    // Steps run on each finished file, in the order added; not owned.
    void addFinishedFileStep(FinishedFileStep* step) { m_fileSteps.push_back(step); }
    // Where a source folder that is gone is replaced by a mounted audio CD.
    AudioCDFinder& cdFinder() { return m_cdFinder; }
    const Encoder& encoder() const { return *m_encoder; }

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
    // The expert line and the name style may not change while a rip runs.
    bool isExpertTextFieldEnabled() const { return m_fieldsEnabled; }
    bool isNameStyleTextFieldEnabled() const { return m_fieldsEnabled; }

    // LookupHost
    QString getChosenCDName() const override;
    void runAlertWithTitle(const QString& title, const QString& text) override;
    int displayMultipleAlbumMatches(const QStringList& matchLines) override;
    void lookupProgress(const QString& line) override;
    std::optional<DiscTOC> discTOC() override;

    // The status line: empty exactly while no rip runs; and the time-remaining line.
    QString getptl() const { return m_ptl; }
    QString getptf() const { return m_ptf; }
    void setptl(const QString& text);
    void setptf(const QString& text);
    // The status line of one track of the session (numbered from 1), as a single run shows it:
    // "Processing: title     (3 of 12)".
    QString trackLine(int number) const;
    static QString processing() { return QStringLiteral("Processing: "); }

    // Starts encoders on the waiting jobs, in track order, until as many run as the session may
    // have at once.
    void ripASingleTrack();
    // One chunk of the oldest running encoder's output; an empty chunk marks the end of its
    // output, and no chunk at all ends that run at once (Skip): then the next track starts or,
    // after the last run, the session finishes.
    void getData(const std::optional<QByteArray>& chunk);
    // The name style applied to one track, with the session album's title for %l.
    QString createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                           qint32 trackNumber, const QString& trackName) const;

    // The session's tracks, in session order; empty between sessions.
    const std::vector<TrackJob>& trackJobs() const { return m_jobs; }

Q_SIGNALS:
    void buttonStatesChanged();
    // The album of the session that is starting, as looked up and edited.
    void albumPrepared(const Album& album);
    // The album folder of the session that is starting: where its files go.
    void albumFolderMade(const QString& folder);
    void statusLineChanged(const QString& line);
    void timeRemainingChanged(const QString& line);
    // The whole rip's time remaining ("4:05"), from the tracks' lengths and the encoders' pace so
    // far; empty until the pace is known and between sessions.
    void ripTimeRemainingChanged(const QString& time);
    // Track number (1-based, in session order) has started; total is the session's track count.
    void trackStarted(int number, int total);
    // How many of the session's total tracks are done: encoded, failed or skipped.
    void progressChanged(int finished, int total);
    // Just before sessionEnded when some tracks were not ripped: how many and why, and where
    // the finished ones are.
    void sessionSummary(const QString& text);
    // Just before sessionEnded, always: the whole session's outcome.
    void sessionReported(const SessionReport& report);
    // A track's job has changed state or progress (started, estimate, ended).
    void trackJobChanged(const TrackJob& job);
    // The session has ended (finished, skipped to its end or stopped) and was reset.
    // failedTracks names the tracks whose encoder failed, each with the reason.
    void sessionEnded(const QStringList& failedTracks);
    // A session that went on after its lookup ended before its first track (Stop during the
    // lookup, the editor cancelled): nothing was made.
    void sessionAbandoned();
    // The album's front cover was found (JPEG or PNG bytes) during the rip.
    void coverArtChanged(const QByteArray& image);

private:
    // The checks before anything is looked up or made; false when no session is to start.
    bool checkSession();
    // Everything after the album is known up to the first encoder run. False when no run is to start.
    // paired: the album has one track for each chosen file already (the listing's).
    bool prepareSession(std::optional<Album> lookedUp, bool paired = false);
    // Start found the listing still looking up: the rip goes on once it has ended.
    void listingLookupEnded();
    bool startFromListing();
    // A drive or a disc image as the source: opened, and its audio tracks chosen.
    bool openDisc(const QString& source, QStringList& chosen);
    // The album the disc's CD-Text gives, if it gives any titles.
    std::optional<Album> cdTextAlbum() const;
    void makeJobs(const QString& folder);
    void lookupEnded(const std::optional<Album>& album);
    void stopLookup();
    // The album of the session, made from what the lookup found (if anything) and the chosen tracks.
    Album obtainAlbum(std::optional<Album> album);
    bool editAlbum(Album& album);
    QString createOutputFolder(const Album& album);
    // A track's artist for its file name: its own, the album's, else the placeholder.
    QString artistForNames(const Track& track) const;
    void setButtonStates(bool start, bool stopAndSkip);
    void setFieldsEnabled(bool enabled);
    void runAlertBadCD();

    void startRun(TrackJob& job);
    TrackJob* jobOf(const EncoderRun* encoder);
    TrackJob* oldestRunning();
    int runningCount() const;
    int endedCount() const;
    bool hasWaitingJob() const;
    void releaseRun(TrackJob& job);
    void showTracksInProgress();
    void showEstimate(TrackJob& job, const QByteArray& chunk);
    void showLongestEstimate();
    void showRipTimeRemaining();
    // Tracks from a disc are read into a spool, one after another, while encoders take the
    // tracks already read. False (the user was told) when no spool can be made.
    bool startSpool();
    TrackJob* jobReadAs(int spoolIndex);
    void releaseSpooled(const TrackJob& job);
    void fail(TrackJob& job, const QString& failure);
    void runEnded(EncoderRun* encoder, bool succeeded, const QString& failure);
    void endRun(TrackJob& job, TrackJob::State state);
    void finishSession(bool endedByItself);
    // The session's encoders are all done: the AccurateRip check, when there is one, then the end.
    void finishOrVerify(bool endedByItself);
    void verificationEnded();
    // The offset a disc is read with: vesk-rip's, the one kept for the drive, else the preferences';
    // known when it is not a guess of 0.
    int sessionReadOffset() const;
    bool sessionReadOffsetKnown() const;
    void setUpAccurateRip();
    // The sound pass: the AccurateRip check and the loudness, taken as the spool reads. Folder
    // sources are then read through the spool too.
    void setUpSoundPass();
    // The tags LAME cannot write (the loudness), into the finished file; a failure is told and
    // leaves the file as LAME made it.
    void writeExtraTags(const TrackJob& job, const QString& path);
    void writeAlbumGain();
    void startCoverSearch();
    void coverSearchEnded(const CoverArtFetch::FrontCover& cover);
    void saveCoverFile();
    QHash<int, int> accurateRipTrackNumbers() const; // audio index -> the disc's track number
    void writeReleaseFilesIfAsked();
    void writeRipLog();
    QString notRippedSummary() const;
    SessionReport report(bool endedByItself) const;
    bool checkEncodedFile(const TrackJob& job, QString& failure) const;
    void releaseEncoders(TrackJob::State state);

    Settings& m_settings;
    std::unique_ptr<Encoder> m_encoder;
    TrackEditor* m_trackInfoController = nullptr;
    AlbumChooser* m_freedbAlbumMatchesController = nullptr;
    SoundPlayer* m_soundPlayer = nullptr;
    AlertPresenter* m_alerts = nullptr;
    DiscListing* m_listing = nullptr;
    QMetaObject::Connection m_listingWait;
    QElapsedTimer m_sessionClock;
    TrackSourceFactory m_sourceFactory;
    std::function<void(const QString& device)> m_eject;
    std::shared_ptr<CdioDisc> m_disc; // the disc being ripped, when the source is one
    std::mutex m_discTocMutex;         // its table of contents is asked for on the lookup's worker
    std::optional<DiscTOC> m_discToc;
    std::unique_ptr<TrackSpool> m_spool;
    std::unique_ptr<AccurateRipCheck> m_accurateRip;
    std::unique_ptr<LoudnessPass> m_loudness;
    bool m_verifying = false;
    bool m_waitingForPass = false; // every encoder is done, the pass still reads
    bool m_accurateRipAllowed = false;
    bool m_coverArtAllowed = false;
    std::unique_ptr<CoverArtSearch> m_coverSearch;
    CoverArtFetch::FrontCover m_cover;
    bool m_waitingForCover = false;
    QHash<int, qint64> m_accurateRipSectors; // each job's first sector on the disc
    std::optional<int> m_readOffsetOverride;
    std::vector<int> m_spoolJobs; // the job (index into m_jobs) of each spooled track
    QString m_ripTimeRemaining;
    std::vector<FinishedFileStep*> m_fileSteps;
    AudioCDFinder m_cdFinder;
    DiscLookupFactory m_lookupFactory;
    std::unique_ptr<DiscLookupRunner> m_lookupRunner;

    // What Start found, kept for the preparation once the lookup has ended.
    QString m_preparedSource;
    QStringList m_preparedTracks;
    QList<qint32> m_preparedNumbers; // each chosen file's disc number, 0 when its name has none
    qint32 m_discTrackCount = 0;     // the disc's tracks, chosen or not; 0 when not known

    QString m_ptl;
    QString m_ptf;
    bool m_startEnabled = true;
    bool m_stopEnabled = false;
    bool m_skipEnabled = false;
    bool m_fieldsEnabled = true;

    std::vector<TrackJob> m_jobs;
    int m_jobsAtOnce = 0; // how many may run at once; 0 until the first start
    QStringList m_sessionArguments;
    std::optional<Album> m_currentAlbum;
    QString m_albumFolder;
    bool m_preparing = false;
    bool m_sessionActive = false;
    bool m_alertFailuresAtEnd = true;
    bool m_reportedNoEditor = false;
    bool m_reportedRefusedGenre = false;
    bool m_reportedLongTag = false;
};
