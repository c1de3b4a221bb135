#include "rip/lameprocess.h"

#include "common/alertpresenter.h"
#include "common/audiotracklist.h"
#include "common/cdfolder.h"
#include "common/log.h"
#include "common/soundplayer.h"
#include "common/veskexception.h"
#include "common/vesktools.h"
#include "disc/cdiodisc.h"
#include "disc/cdiotracksource.h"
#include "disc/discsourcepath.h"
#include "disc/filetracksource.h"
#include "encoder/encoderrun.h"
#include "encoder/lame/lameencoder.h"
#include "lookup/albumchooser.h"
#include "lookup/cddb/cddbserveraddress.h"
#include "lookup/disclookuprunner.h"
#include "output/outputfilenaming.h"
#include "output/veskfilegenerator.h"
#include "disc/disctocreader.h"
#include "rip/accurateripcheck.h"
#include "rip/accurateripplan.h"
#include "rip/cdtextalbum.h"
#include "rip/coverartsearch.h"
#include "rip/disclisting.h"
#include "rip/finishedfilestep.h"
#include "rip/hiddentrack.h"
#include "rip/loudnesspass.h"
#include "output/id3/id3extrawriter.h"
#include "rip/riplog.h"
#include "rip/riptimeestimate.h"
#include "rip/trackeditor.h"
#include "rip/trackspool.h"
#include "settings/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace {
QStringList titlesFromFileNames(const QStringList& fileNames)
{
    QStringList titles;
    for (const QString& name : fileNames)
        titles.append(AudioTrackList::titleFromFileName(name));
    return titles;
}
} // namespace

LAMEProcess::LAMEProcess(Settings& settings, QObject* parent)
    : LAMEProcess(settings, std::make_unique<LameEncoder>(), parent)
{
}

LAMEProcess::LAMEProcess(Settings& settings, std::unique_ptr<Encoder> encoder, QObject* parent)
    : QObject(parent), m_settings(settings), m_encoder(std::move(encoder)),
      m_lookupRunner(std::make_unique<DiscLookupRunner>(*this))
{
    connect(m_lookupRunner.get(), &DiscLookupRunner::finished, this, &LAMEProcess::lookupEnded);
}

LAMEProcess::~LAMEProcess()
{
    // The lookup's worker ends before anything it may ask of the session goes away.
    m_lookupRunner.reset();
    for (const TrackJob& job : m_jobs) {
        if (job.run) {
            job.run->disconnect(this);
            job.run->terminate();
        }
    }
}

QString LAMEProcess::getChosenCDName() const
{
    return m_settings.getChosenCDName();
}

void LAMEProcess::runAlertWithTitle(const QString& title, const QString& text)
{
    if (m_alerts)
        m_alerts->runAlertWithTitle(title, text);
    else
        veskLog(title + QStringLiteral(": ") + text);
}

void LAMEProcess::runAlertBadCD()
{
    runAlertWithTitle(
        QStringLiteral("Could not find an audio CD!"),
        QStringLiteral("Please make sure there is an audio CD in your CD-ROM drive.\n\nIt may be "
                       "the case that the CD has not yet mounted; please wait a few seconds and "
                       "try again."));
}

int LAMEProcess::displayMultipleAlbumMatches(const QStringList& matchLines)
{
    if (!m_freedbAlbumMatchesController)
        return matchLines.isEmpty() ? -1 : 0;
    return m_freedbAlbumMatchesController->displayMultipleAlbumMatches(matchLines);
}

void LAMEProcess::lookupProgress(const QString& line)
{
    // The status line names the source really being asked.
    if (m_lookupRunner->isRunning() && !line.isEmpty())
        setptl(line);
}

void LAMEProcess::setptl(const QString& text)
{
    if (m_ptl == text && m_ptl.isNull() == text.isNull())
        return;
    m_ptl = text;
    Q_EMIT statusLineChanged(m_ptl);
}

void LAMEProcess::setptf(const QString& text)
{
    if (m_ptf == text && m_ptf.isNull() == text.isNull())
        return;
    m_ptf = text;
    Q_EMIT timeRemainingChanged(m_ptf);
}

bool LAMEProcess::isRunning() const
{
    return !m_ptl.isEmpty();
}

bool LAMEProcess::isLookingUp() const
{
    return m_lookupRunner->isRunning() || bool(m_listingWait);
}

bool LAMEProcess::windowShouldClose()
{
    if (isRunning())
        stop();
    return true;
}

void LAMEProcess::setButtonStates(bool start, bool stopAndSkip)
{
    if (m_startEnabled == start && m_stopEnabled == stopAndSkip && m_skipEnabled == stopAndSkip)
        return;
    m_startEnabled = start;
    m_stopEnabled = stopAndSkip;
    m_skipEnabled = stopAndSkip;
    Q_EMIT buttonStatesChanged();
}

void LAMEProcess::setFieldsEnabled(bool enabled)
{
    if (m_fieldsEnabled == enabled)
        return;
    m_fieldsEnabled = enabled;
    Q_EMIT buttonStatesChanged();
}

void LAMEProcess::runEncoder()
{
    // Start is disabled while a session runs; the editor's modal loop may still deliver a click.
    if (m_sessionActive || m_preparing)
        return;
    m_preparing = true;
    if (!checkSession()) {
        m_preparing = false;
        return;
    }
    if (startFromListing())
        return;
    const QString server = m_settings.getChosenFreedbServer();
    if (m_lookupFactory && m_lookupRunner->start(m_lookupFactory, server)) {
        // The window goes on meanwhile: only Stop means anything until the lookup has ended.
        setptl(QStringLiteral("Looking up the disc's titles on %1...")
                   .arg(CDDBServerAddress::shownName(server)));
        m_startEnabled = false;
        m_stopEnabled = true;
        m_skipEnabled = false;
        Q_EMIT buttonStatesChanged();
        return;
    }
    const bool prepared = prepareSession(std::nullopt);
    m_preparing = false;
    if (prepared)
        ripASingleTrack();
}

bool LAMEProcess::startFromListing()
{
    if (!m_listing || m_listing->folder() != m_preparedSource)
        return false;
    if (m_listing->noneChosen()) {
        m_preparing = false;
        runAlertWithTitle(QStringLiteral("No track is ticked"),
                          QStringLiteral("Tick the tracks to rip in the list, then press Start."));
        setButtonStates(true, false);
        return true;
    }
    if (m_listing->isLookingUp()) {
        setptl(QStringLiteral("Waiting for the disc's titles..."));
        m_startEnabled = false;
        m_stopEnabled = true;
        m_skipEnabled = false;
        Q_EMIT buttonStatesChanged();
        m_listingWait = connect(m_listing, &DiscListing::lookupEnded, this, &LAMEProcess::listingLookupEnded);
        return true;
    }
    std::optional<Album> album = m_listing->albumForTracks(m_preparedTracks);
    if (!album)
        return false; // the folder changed since it was listed: look it up as it is now
    const bool prepared = prepareSession(std::move(album), true);
    m_preparing = false;
    if (prepared)
        ripASingleTrack();
    return true;
}

void LAMEProcess::listingLookupEnded()
{
    disconnect(m_listingWait);
    m_listingWait = {};
    if (!m_preparing)
        return;
    setptl(QStringLiteral(""));
    if (startFromListing())
        return;
    // The listing no longer has these tracks: nothing is ripped from a list the user did not see.
    m_preparing = false;
    setButtonStates(true, false);
    Q_EMIT sessionAbandoned();
}

void LAMEProcess::lookupEnded(const std::optional<Album>& album)
{
    if (!m_preparing)
        return;
    setptl(QStringLiteral(""));
    const bool prepared = prepareSession(album);
    m_preparing = false;
    if (prepared) {
        ripASingleTrack();
    } else {
        setButtonStates(true, false);
        Q_EMIT sessionAbandoned();
    }
}

void LAMEProcess::stopLookup()
{
    if (m_listingWait) {
        disconnect(m_listingWait);
        m_listingWait = {};
        m_preparing = false;
        m_listing->cancelLookup();
    }
    m_lookupRunner->cancel();
    if (m_freedbAlbumMatchesController)
        m_freedbAlbumMatchesController->cancelChoice();
    m_preparing = false;
    setptl(QStringLiteral(""));
    setButtonStates(true, false);
    Q_EMIT sessionAbandoned();
}

bool LAMEProcess::checkSession()
{
    m_preparedSource.clear();
    m_preparedTracks.clear();
    m_preparedNumbers.clear();
    // Nothing may be half-started for want of the encoder: check it before any folder is made.
    if (m_encoder->executable().isEmpty()) {
        veskLog(QStringLiteral("No encoder: %1").arg(m_encoder->whereMissing()));
        runAlertWithTitle(QStringLiteral("The MP3 encoder is missing"), m_encoder->howToInstall());
        return false;
    }

    QString source = m_settings.getChosenCDName();
    m_disc.reset();
    {
        std::lock_guard lock(m_discTocMutex);
        m_discToc.reset();
    }
    QStringList chosen;
    if (DiscSourcePath::isDisc(source)) {
        if (!openDisc(source, chosen))
            return false;
    } else if (!VeskTools::audioCDIsMounted(source)) {
        const QString found = m_cdFinder.findAudioCD();
        if (found.isEmpty() && !source.isEmpty() && QFileInfo(source).isDir()) {
            // A folder that is there but holds nothing is no missing CD.
            runAlertWithTitle(QStringLiteral("The source folder is empty"),
                              QStringLiteral("%1 holds no files.\n\nPlease choose a folder of AIFF or WAV "
                                             "tracks, or insert an audio CD.")
                                  .arg(source));
            return false;
        }
        if (found.isEmpty()) {
            runAlertBadCD();
            return false;
        }
        m_settings.setChosenCDName(found);
        source = found;
    }

    if (!m_disc)
        chosen = m_settings.getChosenTracks().value_or(QStringList());
    if (chosen.isEmpty()) {
        runAlertWithTitle(
            QStringLiteral("Nothing to rip"),
            QStringLiteral("There are no tracks in %1.\n\nPlease choose a folder of track files or "
                           "an audio CD.")
                .arg(source));
        return false;
    }
    const QString output = m_settings.getChosenOutputDirectory();
    if (output.isEmpty()) {
        runAlertWithTitle(QStringLiteral("No output folder"),
                          QStringLiteral("Please choose the folder the MP3 files should go to."));
        return false;
    }
    // Found now, before anything is looked up or encoded, not as every track failing.
    if (const QString problem = VeskTools::problemWritingInto(output); !problem.isEmpty()) {
        runAlertWithTitle(QStringLiteral("The output folder cannot be used"),
                          QStringLiteral("Vesk cannot write into %1: %2.\n\nPlease choose another output folder.")
                              .arg(output, problem));
        return false;
    }
    m_preparedSource = source;
    m_preparedTracks = chosen;
    // The only place a track's number is read from its file's name.
    for (const QString& name : chosen)
        m_preparedNumbers.append(m_disc ? DiscSourcePath::trackNumber(name) : AudioTrackList::trackNumber(name));
    if (m_disc) {
        m_discTrackCount = 0;
        for (const CdioDisc::Track& track : m_disc->tracks())
            m_discTrackCount += track.audio && track.number > 0;
    } else {
        m_discTrackCount = qint32(AudioTrackList::tracksInFolder(source, false).value_or(chosen).size());
    }
    return true;
}

bool LAMEProcess::openDisc(const QString& source, QStringList& chosen)
{
    try {
        m_disc = CdioDisc::open(source);
        std::lock_guard lock(m_discTocMutex);
        m_discToc = m_disc->toc();
    } catch (const VeskException& failure) {
        veskLog(QStringLiteral("%1 cannot be read: %2").arg(source, failure.reason()));
        runAlertWithTitle(QStringLiteral("The disc cannot be read"), failure.reason());
        return false;
    }
    // Every audio track, or those the user picked by name ("Track 3"); a hidden track first.
    const QStringList picked = m_settings.chosenTracks();
    const QString hidden = DiscSourcePath::trackName(0);
    if ((picked.isEmpty() || picked.contains(hidden)) && HiddenTrack::holdsSound(m_disc)) {
        veskLog(QStringLiteral("The disc hides sound before track 1: it is ripped as track 0"));
        chosen.append(hidden);
    }
    for (const CdioDisc::Track& track : m_disc->tracks()) {
        const QString name = DiscSourcePath::trackName(track.number);
        if (track.audio && track.number > 0 && (picked.isEmpty() || picked.contains(name)))
            chosen.append(name);
    }
    return true;
}

std::optional<DiscTOC> LAMEProcess::discTOC()
{
    // Asked on the lookup's worker.
    {
        std::lock_guard lock(m_discTocMutex);
        if (m_discToc)
            return m_discToc;
    }
    return LookupHost::discTOC();
}

std::optional<Album> LAMEProcess::cdTextAlbum() const
{
    if (!m_disc)
        return std::nullopt;
    std::optional<Album> album = CdTextAlbum::fromDisc(*m_disc, m_preparedNumbers, m_preparedTracks);
    if (album)
        veskLog(QStringLiteral("Titles from the disc's CD-Text"));
    return album;
}

bool LAMEProcess::prepareSession(std::optional<Album> lookedUp, bool paired)
{
    // What the disc itself says comes after the servers and before the file names.
    if (!lookedUp)
        lookedUp = cdTextAlbum();
    std::optional<Album> album = paired && lookedUp && lookedUp->getTracks().size() == m_preparedTracks.size()
                                     ? std::move(lookedUp)
                                     : obtainAlbum(std::move(lookedUp));
    if (!editAlbum(*album)) {
        m_currentAlbum = std::move(album);
        resetLAMEProcessForNewCD();
        return false;
    }

    m_albumFolder = createOutputFolder(*album);
    if (m_albumFolder.isEmpty()) {
        runAlertWithTitle(QStringLiteral("The album folder could not be made"),
                          QStringLiteral("Vesk could not make a folder for %1 in %2; nothing was ripped.")
                              .arg(album->titleForNames(), m_settings.getChosenOutputDirectory()));
        m_currentAlbum = std::move(album);
        resetLAMEProcessForNewCD();
        return false;
    }
    Q_EMIT albumPrepared(*album);
    Q_EMIT albumFolderMade(m_albumFolder);

    m_currentAlbum = std::move(album);
    m_sessionActive = true;
    m_sessionArguments = m_encoder->sessionArguments(m_settings.getBasicConfigOption(),
                                                     m_settings.getExpertConfigOption(),
                                                     m_settings.shouldMakeAltPresetFaster());
    makeJobs(m_albumFolder);
    setUpSoundPass();
    startCoverSearch();
    m_sessionClock.start();
    if (!startSpool()) {
        m_sessionActive = false;
        resetLAMEProcessForNewCD();
        return false;
    }

    setButtonStates(false, true);
    setFieldsEnabled(false);
    return true;
}

void LAMEProcess::makeJobs(const QString& folder)
{
    const bool spaces = m_settings.shouldConvertSpacesToUnderscores();
    const QString style = m_settings.getMP3NameStyle();
    QSet<QString> taken;
    const QList<Track>& tracks = m_currentAlbum->getTracks();
    for (qsizetype i = 0; i < m_preparedTracks.size(); ++i) {
        TrackJob job;
        job.position = int(i + 1);
        job.track = Track::trackWithArtist(tracks[i].getArtist(), tracks[i].getTitle(), m_preparedNumbers[i]);
        if (m_sourceFactory) {
            job.source = m_sourceFactory(m_preparedSource, m_preparedTracks[i]);
        } else if (m_disc) {
            ReadOptions options;
            options.mode = m_settings.shouldReadFast() ? ReadOptions::Mode::Fast : ReadOptions::Mode::Paranoia;
            options.offset = sessionReadOffset();
            job.source = std::make_shared<CdioTrackSource>(m_disc, m_preparedNumbers[i], options);
        } else {
            job.source =
                std::make_shared<FileTrackSource>(VeskTools::joinedPath(m_preparedSource, m_preparedTracks[i]));
        }
        // A disc's hidden track is track 0 ("00"); a file without a number takes its place.
        const qint32 number = job.track.getTrackNum() != 0 || m_disc ? job.track.getTrackNum() : job.position;
        const QString name =
            createOutputFilenameWithFormat(style, artistForNames(job.track), number, job.track.getTitle());
        job.outputPath = OutputFileNaming::uniqueOutputPath(folder, name, taken, spaces);
        job.partialPath = TrackJob::partialPathFor(job.outputPath);
        taken.insert(job.outputPath);
        // An output name that starts with ".aiff" carries no title of its own: the track is
        // tagged with its input file's name then.
        job.tagTitle = job.outputName().startsWith(QStringLiteral(".aiff"))
                           ? AudioTrackList::titleFromFileName(m_preparedTracks[i])
                           : job.track.getTitle();
        m_jobs.push_back(std::move(job));
    }
}

// The album of the session: the lookup's, else the default one made from the file names, with
// the tracks the user did not choose dropped. Always holds a track for every chosen file.
Album LAMEProcess::obtainAlbum(std::optional<Album> album)
{
    if (!album)
        return Album::defaultAlbumWithTrackTitles(titlesFromFileNames(m_preparedTracks));

    // No server knows a disc's hidden track: it comes first, as on the disc.
    const bool hidden = m_disc && m_preparedNumbers.value(0, -1) == 0;
    if (hidden && (album->getTracks().isEmpty() || album->getTracks().first().getTrackNum() != 0))
        album->getTracks().prepend(Track::trackWithArtist(QString(), QStringLiteral("Hidden track"), 0));

    if (qsizetype(m_preparedTracks.size()) < album->getTracks().size()) {
        const QList<Track> snapshot = album->getTracks();
        for (const Track& track : snapshot) {
            const bool keep = (track.getTrackNum() != 0 || hidden) && m_preparedNumbers.contains(track.getTrackNum());
            if (!keep)
                album->removeTrackNumber(track.getTrackNum());
        }
    }
    if (album->getTracks().size() < m_preparedTracks.size()) {
        const QString text =
            QStringLiteral(
                "The album found lists %1 of the %2 chosen tracks; using the track file names instead")
                .arg(album->getTracks().size())
                .arg(m_preparedTracks.size());
        veskLog(text);
        runAlertWithTitle(QStringLiteral("The titles found do not fit the tracks"), text);
        return Album::defaultAlbumWithTrackTitles(titlesFromFileNames(m_preparedTracks));
    }
    return *album;
}

// Lets the user edit the album when asked. False when the user cancelled the editor.
bool LAMEProcess::editAlbum(Album& album)
{
    if (!m_settings.shouldEditTrackInformation())
        return true;
    if (!m_trackInfoController) {
        if (!m_reportedNoEditor)
            veskLog(QStringLiteral("There is no track information editor here; ripping the album as it is"));
        m_reportedNoEditor = true;
        return true;
    }
    m_trackInfoController->displayTrackInfo(album);
    if (!m_trackInfoController->userDidEditInformation())
        return false;
    const qsizetype needed = album.getTracks().size();
    Album edited = m_trackInfoController->getEditedInformation();
    if (edited.getTracks().size() < needed) {
        veskLog(
            QStringLiteral("The edited album lists fewer tracks than chosen; keeping the album as it was"));
        return true;
    }
    album = std::move(edited);
    return true;
}

QString LAMEProcess::createOutputFolder(const Album& album)
{
    const bool spaces = m_settings.shouldConvertSpacesToUnderscores();
    const QString outputPath = m_settings.getChosenOutputDirectory();
    QString folder;
    if (m_settings.shouldCreateSeparateArtistAlbumDirs()) {
        folder = VeskTools::createUniqueNestedFolderAtPath(outputPath, album.artistForNames(),
                                                           album.titleForNames(), spaces);
    } else {
        folder = VeskTools::createUniqueFolderAtPath(
            outputPath, QStringLiteral("%1 - %2").arg(album.artistForNames(), album.titleForNames()), spaces);
    }
    // No falling back to a folder another rip may be writing into: no folder, no rip.
    return folder;
}

QString LAMEProcess::artistForNames(const Track& track) const
{
    if (!track.getArtist().isEmpty())
        return track.getArtist();
    if (m_currentAlbum && !m_currentAlbum->getArtist().isEmpty())
        return m_currentAlbum->getArtist();
    return Album::placeholderTrackArtist();
}

QString LAMEProcess::createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                                    qint32 trackNumber, const QString& trackName) const
{
    return OutputFileNaming::createOutputFilenameWithFormat(
        format, artistName, trackNumber, trackName, m_currentAlbum ? m_currentAlbum->titleForNames() : QString(),
        m_settings.shouldConvertSpacesToUnderscores(), m_encoder->fileExtension());
}

bool LAMEProcess::startSpool()
{
    std::vector<std::shared_ptr<const TrackSource>> sources;
    m_spoolJobs.clear();
    for (size_t i = 0; i < m_jobs.size(); ++i) {
        if (m_jobs[i].readBySpool()) {
            m_jobs[i].spoolIndex = int(sources.size());
            sources.push_back(m_jobs[i].source);
            m_spoolJobs.push_back(int(i));
        }
    }
    if (sources.empty())
        return true;
    QString problem;
    const QString folder = TrackSpool::newFolder(&problem);
    if (folder.isEmpty()) {
        runAlertWithTitle(QStringLiteral("The disc cannot be read"),
                          QStringLiteral("Vesk reads the tracks into a cache before encoding them, but %1.").arg(problem));
        return false;
    }
    // The encoders at work, one track waiting for each, and the one being read.
    const int ahead = qBound(1, m_settings.encoderJobs(), Settings::maxEncoderJobs) + 1;
    m_spool = std::make_unique<TrackSpool>(folder, ahead);
    connect(m_spool.get(), &TrackSpool::readingStarted, this, [this](int index) {
        if (TrackJob* job = jobReadAs(index)) {
            job->reading = TrackJob::Reading::Now;
            Q_EMIT trackJobChanged(*job);
        }
    });
    connect(m_spool.get(), &TrackSpool::trackRead, this, [this](const TrackSpool::Read& read) {
        TrackJob* job = jobReadAs(read.index);
        if (!job)
            return;
        job->reading = read.problem.isEmpty() ? TrackJob::Reading::Done : TrackJob::Reading::Failed;
        if (m_loudness && read.problem.isEmpty())
            job->trackGain = m_loudness->trackValues(read.index);
        if (job->tapped) {
            // The encoder reads the file itself: only the pass missed it.
            if (!read.problem.isEmpty())
                veskLog(QStringLiteral("%1 could not be measured: %2").arg(job->source->name(), read.problem));
            // A file already finished gets its gain now.
            if (job->state == TrackJob::State::Done && job->trackGain)
                writeExtraTags(*job, job->outputPath);
            if (m_waitingForPass)
                finishOrVerify(true);
            return;
        }
        job->soundPath = read.path;
        job->soundCrc32 = read.crc32;
        job->isrc = read.isrc;
        job->readReport = read.report;
        job->reason = read.problem;
        Q_EMIT trackJobChanged(*job);
        ripASingleTrack();
    });
    for (size_t spooled = 0; spooled < m_spoolJobs.size(); ++spooled) {
        const TrackJob& job = m_jobs[size_t(m_spoolJobs[spooled])];
        if (m_accurateRip)
            m_accurateRip->placeTrack(int(spooled), job.audioIndex, m_accurateRipSectors.value(m_spoolJobs[spooled]));
        if (m_loudness) {
            const auto* file = dynamic_cast<const FileTrackSource*>(job.source.get());
            const std::optional<AudioFormat> format = file ? file->format() : AudioFormat{44100, 16, 2, 0};
            if (format)
                m_loudness->measureTrack(int(spooled), *format);
        }
    }
    if (m_accurateRip || m_loudness) {
        AccurateRipCheck* check = m_accurateRip.get();
        LoudnessPass* loudness = m_loudness.get();
        m_spool->setTap([check, loudness](int index, const char* data, qint64 bytes) {
            if (check)
                check->tap(index, data, bytes);
            if (loudness)
                loudness->tap(index, data, bytes);
        });
    }
    m_spool->start(std::move(sources));
    return true;
}

TrackJob* LAMEProcess::jobReadAs(int spoolIndex)
{
    if (spoolIndex < 0 || spoolIndex >= int(m_spoolJobs.size()) || !m_sessionActive)
        return nullptr;
    return &m_jobs[size_t(m_spoolJobs[size_t(spoolIndex)])];
}

void LAMEProcess::releaseSpooled(const TrackJob& job)
{
    if (!m_spool || !job.readBySpool())
        return;
    const int index = int(&job - m_jobs.data());
    for (size_t spooled = 0; spooled < m_spoolJobs.size(); ++spooled)
        if (m_spoolJobs[spooled] == index)
            m_spool->release(int(spooled));
}

int LAMEProcess::runningCount() const
{
    return int(std::count_if(m_jobs.begin(), m_jobs.end(),
                             [](const TrackJob& job) { return job.state == TrackJob::State::Running; }));
}

int LAMEProcess::endedCount() const
{
    return int(std::count_if(m_jobs.begin(), m_jobs.end(), [](const TrackJob& job) { return job.hasEnded(); }));
}

bool LAMEProcess::hasWaitingJob() const
{
    return std::any_of(m_jobs.begin(), m_jobs.end(),
                       [](const TrackJob& job) { return job.state == TrackJob::State::Waiting; });
}

void LAMEProcess::ripASingleTrack()
{
    if (!m_currentAlbum || !m_sessionActive)
        return;
    if (m_jobsAtOnce == 0) {
        // A drive seeking between tracks read at once is slower than one reading straight through.
        // A disc read into the spool is read straight through whatever the encoders do.
        m_jobsAtOnce = CDFolder::isCDSource(m_preparedSource) && !m_spool
                           ? 1
                           : qBound(1, m_settings.encoderJobs(), Settings::maxEncoderJobs);
        Q_EMIT progressChanged(0, int(m_jobs.size()));
    }
    for (TrackJob& job : m_jobs) {
        if (runningCount() >= m_jobsAtOnce)
            break;
        if (job.state != TrackJob::State::Waiting)
            continue;
        // Tracks are read in order: one not read yet holds back the ones after it.
        if (job.needsReading() && (job.reading == TrackJob::Reading::NotYet || job.reading == TrackJob::Reading::Now))
            break;
        startRun(job);
    }
    if (runningCount() == 0 && hasWaitingJob())
        setptl(QStringLiteral("Reading the disc..."));
    showTracksInProgress(); // unchanged unless a start failed
    if (runningCount() == 0 && !hasWaitingJob())
        finishOrVerify(true); // every start failed
}

void LAMEProcess::startRun(TrackJob& job)
{
    const bool tagged = m_settings.shouldAddID3Tags();
    const QString genre = m_currentAlbum->getGenre();
    if (tagged && !m_encoder->acceptsGenre(genre) && !m_reportedRefusedGenre) {
        veskNotice(
            QStringLiteral("LAME knows no genre \"%1\"; the files are tagged without a genre").arg(genre));
        m_reportedRefusedGenre = true;
    }
    std::optional<TrackTags> tags;
    if (tagged && !m_reportedLongTag) {
        for (const QString& value : {job.tagTitle, job.track.getArtist(), m_currentAlbum->getTitle(),
                                     m_currentAlbum->getArtist(), m_currentAlbum->getComments()}) {
            if (m_encoder->fittedTagValue(value).size() < value.size()) {
                veskLog(QStringLiteral("A tag value of %1 characters is cut to what a tag can take").arg(value.size()));
                m_reportedLongTag = true;
                break;
            }
        }
    }
    if (tagged) {
        const QString albumArtist = m_currentAlbum->getArtist();
        tags = TrackTags{job.tagTitle,
                         job.track.getTrackNum(),
                         m_discTrackCount,
                         job.track.getArtist().isEmpty() ? albumArtist : job.track.getArtist(),
                         m_currentAlbum->getTitle(),
                         albumArtist,
                         m_currentAlbum->getYear(),
                         genre,
                         m_currentAlbum->getComments(),
                         m_currentAlbum->getDiscNumber(),
                         job.isrc};
    }
    // What is not sound must not become noise at full scale.
    const QString problem = job.reading == TrackJob::Reading::Failed ? job.reason : job.source->problem();
    if (!problem.isEmpty()) {
        job.state = TrackJob::State::Running;
        Q_EMIT trackStarted(job.position, int(m_jobs.size()));
        releaseSpooled(job);
        fail(job, job.source->name() + QLatin1Char(' ') + problem);
        Q_EMIT progressChanged(endedCount(), int(m_jobs.size()));
        return;
    }
    // A file the encoder reads itself, else the source's sound through its standard input.
    std::unique_ptr<QIODevice> sound;
    EncoderInput input = EncoderInput::file(job.source->filePath());
    if (job.needsReading()) {
        // The encoder reads the spooled sound itself: nothing passes through this thread.
        if (!QFileInfo(job.soundPath).isReadable()) {
            job.state = TrackJob::State::Running;
            releaseSpooled(job);
            fail(job, QStringLiteral("%1 could not be read back from the cache %2").arg(job.source->name(), job.soundPath));
            Q_EMIT progressChanged(endedCount(), int(m_jobs.size()));
            return;
        }
        input = EncoderInput::rawFile(job.soundPath);
    }
    const QStringList arguments = m_encoder->trackArguments(m_sessionArguments, input, job.partialPath, tags);
    job.commandLine = QFileInfo(m_encoder->executable()).fileName() + QLatin1Char(' ') + VeskTools::shellQuoted(arguments);

    auto* encoder = new EncoderRun(this);
    job.run = encoder;
    job.state = TrackJob::State::Running;
    showTracksInProgress();
    Q_EMIT trackStarted(job.position, int(m_jobs.size()));
    Q_EMIT trackJobChanged(job);
    connect(encoder, &EncoderRun::chunkRead, this, [this, encoder](const QByteArray& chunk) {
        if (TrackJob* running = jobOf(encoder))
            showEstimate(*running, chunk);
    });
    connect(encoder, &EncoderRun::outputEnded, this, [this, encoder](bool succeeded, const QString& failure) {
        runEnded(encoder, succeeded, failure);
    });
    const QString program = m_encoder->executable();
    if (!encoder->start(program, arguments, VeskTools::deletingLastPathComponent(job.outputPath),
                        std::move(sound))) {
        // The run never began; count it as failed and go on with the next track.
        const QString failure =
            program.isEmpty() ? QStringLiteral("The encoder %1 is missing.").arg(m_encoder->whereMissing())
                              : encoder->failureReason();
        releaseRun(job);
        fail(job, failure);
        Q_EMIT progressChanged(endedCount(), int(m_jobs.size()));
    }
}

TrackJob* LAMEProcess::jobOf(const EncoderRun* encoder)
{
    for (TrackJob& job : m_jobs) {
        if (job.run == encoder && job.state == TrackJob::State::Running)
            return &job;
    }
    return nullptr;
}

TrackJob* LAMEProcess::oldestRunning()
{
    // Tracks start in session order, so the first running one started first.
    for (TrackJob& job : m_jobs) {
        if (job.state == TrackJob::State::Running)
            return &job;
    }
    return nullptr;
}

void LAMEProcess::releaseRun(TrackJob& job)
{
    EncoderRun* encoder = job.run;
    job.run = nullptr;
    job.estimate.reset();
    if (encoder) {
        encoder->disconnect(this);
        encoder->terminate(); // waits for the program to end, so the file is closed
        // We may be inside one of its signals: let it go once control is back in the event loop.
        encoder->deleteLater();
    }
    // Whatever did not become the track's file goes, and so does its spooled sound.
    QFile::remove(job.partialPath);
    releaseSpooled(job);
}

void LAMEProcess::showTracksInProgress()
{
    // The track started last comes first, so that every track's start shows the one-track line
    // "Processing: title     (3 of 12)" at the start of the line; the others follow. Built
    // without arg(): a title holding "%1" must reach the line as it is.
    QString line;
    for (auto job = m_jobs.rbegin(); job != m_jobs.rend(); ++job) {
        if (job->state != TrackJob::State::Running)
            continue;
        const QString one = trackLine(job->position);
        line += line.isEmpty() ? one : QStringLiteral("; ") + one.mid(processing().size());
    }
    if (!line.isEmpty())
        setptl(line);
}

QString LAMEProcess::trackLine(int number) const
{
    const QString title = number >= 1 && number <= int(m_jobs.size()) ? m_jobs[number - 1].track.getTitle()
                                                                      : QString();
    return processing() + title + QStringLiteral("     (") + QString::number(number) + QStringLiteral(" of ") +
           QString::number(m_jobs.size()) + QLatin1Char(')');
}

void LAMEProcess::showEstimate(TrackJob& job, const QByteArray& chunk)
{
    // The encoder ends each progress report with its estimate of the time remaining; other
    // output (its header, the ReplayGain line, errors) leaves the line. With several runs the
    // line shows the longest estimate, the time until all of them are done.
    job.estimate = m_encoder->estimate(chunk);
    if (job.estimate) {
        showLongestEstimate();
        showRipTimeRemaining();
        Q_EMIT trackJobChanged(job);
    }
}

void LAMEProcess::showLongestEstimate()
{
    const EncoderEstimate* longest = nullptr;
    for (const TrackJob& job : m_jobs) {
        if (job.state == TrackJob::State::Running && job.estimate &&
            (!longest || job.estimate->seconds > longest->seconds))
            longest = &*job.estimate;
    }
    if (longest)
        setptf(QStringLiteral("Est. Time Remaining: ") + longest->shown);
}

void LAMEProcess::showRipTimeRemaining()
{
    const qint64 left = m_sessionActive ? RipTimeEstimate::secondsLeft(m_jobs, m_sessionClock.elapsed()) : -1;
    const QString shown = left < 0 ? QString() : RipTimeEstimate::shown(left);
    if (shown == m_ripTimeRemaining)
        return;
    m_ripTimeRemaining = shown;
    Q_EMIT ripTimeRemainingChanged(shown);
}

void LAMEProcess::fail(TrackJob& job, const QString& failure)
{
    job.state = TrackJob::State::Failed;
    job.reason = failure;
    Q_EMIT trackJobChanged(job);
    veskLog(QStringLiteral("Track %1 of %2, %3 (%4), was not encoded: %5")
                .arg(job.position)
                .arg(m_jobs.size())
                .arg(job.track.getTitle(), job.outputName(), failure));
}

void LAMEProcess::runEnded(EncoderRun* encoder, bool succeeded, const QString& failure)
{
    TrackJob* job = jobOf(encoder);
    if (!job)
        return;
    QString stepFailure;
    if (succeeded)
        succeeded = checkEncodedFile(*job, stepFailure);
    if (succeeded) {
        for (FinishedFileStep* step : m_fileSteps) {
            if (!step->finishFile(*job, stepFailure)) {
                succeeded = false;
                break;
            }
        }
    }
    if (succeeded)
        writeExtraTags(*job, job->partialPath);
    // Only a whole track gets its name; never over a file that appeared there meanwhile.
    if (succeeded && !VeskTools::renameWithoutReplacing(job->partialPath, job->outputPath, &stepFailure)) {
        succeeded = false;
        stepFailure = QStringLiteral("the finished file could not be named %1: %2").arg(job->outputName(), stepFailure);
    }
    if (!succeeded) {
        QString reason = failure.isEmpty() ? stepFailure : failure;
        // An encoder says only that it could not write; a full disk is the usual reason. Looked
        // at before the partial file goes and frees its space.
        constexpr qint64 nearlyFull = 64 * 1024;
        if (const qint64 left = VeskTools::availableBytes(m_albumFolder); left >= 0 && left < nearlyFull)
            reason += QStringLiteral(" (No space left on device)");
        releaseRun(*job);
        fail(*job, reason);
    }
    endRun(*job, TrackJob::State::Done);
}

void LAMEProcess::endRun(TrackJob& job, TrackJob::State state)
{
    if (job.state == TrackJob::State::Running) {
        releaseRun(job);
        job.state = state;
        Q_EMIT trackJobChanged(job);
    }
    Q_EMIT progressChanged(endedCount(), int(m_jobs.size()));
    if (hasWaitingJob()) {
        ripASingleTrack();
    } else if (runningCount() == 0) {
        finishOrVerify(state == TrackJob::State::Done);
        return;
    } else {
        showTracksInProgress();
    }
    showLongestEstimate(); // the run that ended may have had the longest
    showRipTimeRemaining();
}

void LAMEProcess::getData(const std::optional<QByteArray>& chunk)
{
    if (!m_sessionActive)
        return;
    TrackJob* oldest = oldestRunning();
    if (!oldest)
        return;
    if (chunk && !chunk->isEmpty())
        showEstimate(*oldest, *chunk);
    else
        endRun(*oldest, chunk ? TrackJob::State::Done : TrackJob::State::Skipped);
}

void LAMEProcess::finishSession(bool endedByItself)
{
    // The album's gain needs every track; it goes in before the checksum list is made.
    if (endedByItself)
        writeAlbumGain();
    if (endedByItself && m_soundPlayer && m_settings.shouldSoundAlertWhenFinished())
        m_soundPlayer->playFinishedSound();
    writeReleaseFilesIfAsked();
    // Written after the playlist and the checksum list, which list the tracks only.
    saveCoverFile();
    writeRipLog();
    if (endedByItself && m_disc && !m_disc->isImage() && m_eject && m_settings.shouldEjectWhenDone())
        m_eject(m_disc->source());
    QStringList failed;
    for (const TrackJob& job : m_jobs) {
        if (job.state == TrackJob::State::Failed)
            failed.append(QStringLiteral("%1 (%2): %3").arg(job.track.getTitle(), job.outputName(), job.reason));
    }
    const QString summary = notRippedSummary();
    if (!summary.isEmpty())
        Q_EMIT sessionSummary(summary);
    Q_EMIT sessionReported(report(endedByItself));
    if (!failed.isEmpty() && m_alertFailuresAtEnd) {
        runAlertWithTitle(
            failed.size() == 1 ? QStringLiteral("A track could not be encoded")
                               : QStringLiteral("%1 tracks could not be encoded").arg(failed.size()),
            QStringLiteral("The encoder failed on:\n%1\n\nNo file was kept for them.")
                .arg(failed.join(QLatin1Char('\n'))));
    }
    resetLAMEProcessForNewCD();
    Q_EMIT sessionEnded(failed);
}

bool LAMEProcess::checkEncodedFile(const TrackJob& job, QString& failure) const
{
    // An encoder that says it did well but left nothing, or far less than the track's length
    // can be at any bit rate an MP3 goes down to, did not encode the track.
    constexpr qint64 leastBytesPerSecond = 500;
    const qint64 size = QFileInfo(job.partialPath).size();
    const qint64 frames = job.source->sampleFrames();
    if (size <= 0) {
        failure = QStringLiteral("the encoder ended without making a file");
        return false;
    }
    if (frames > 0 && size < frames * leastBytesPerSecond / 44100) {
        failure = QStringLiteral("the encoder's file holds %1 bytes, far too few for %2 seconds of sound")
                      .arg(size)
                      .arg(frames / 44100);
        return false;
    }
    return true;
}

QString LAMEProcess::notRippedSummary() const
{
    int skipped = 0;
    int stopped = 0;
    int failed = 0;
    for (const TrackJob& job : m_jobs) {
        skipped += job.state == TrackJob::State::Skipped;
        stopped += job.state == TrackJob::State::Stopped || job.state == TrackJob::State::Waiting;
        failed += job.state == TrackJob::State::Failed;
    }
    const int missing = skipped + stopped + failed;
    if (missing == 0)
        return QString();
    QStringList why;
    if (skipped > 0)
        why << QStringLiteral("%1 skipped").arg(skipped);
    if (stopped > 0)
        why << QStringLiteral("%1 stopped").arg(stopped);
    if (failed > 0)
        why << QStringLiteral("%1 failed").arg(failed);
    const int total = int(m_jobs.size());
    return QStringLiteral("%1 of %2 tracks were not ripped (%3); the %4 finished tracks are in %5.")
        .arg(missing)
        .arg(total)
        .arg(why.join(QStringLiteral(", ")))
        .arg(total - missing)
        .arg(m_albumFolder);
}

int LAMEProcess::sessionReadOffset() const
{
    if (m_readOffsetOverride)
        return *m_readOffsetOverride;
    if (m_disc && !m_disc->isImage())
        if (const std::optional<int> kept = m_settings.driveReadOffset(m_disc->driveName()))
            return *kept;
    return m_settings.readOffset();
}

bool LAMEProcess::sessionReadOffsetKnown() const
{
    if (m_readOffsetOverride)
        return true;
    if (m_disc && !m_disc->isImage() && m_settings.driveReadOffset(m_disc->driveName()))
        return true;
    // Hardly a drive reads at offset 0: 0 is the offset nobody has set.
    return m_settings.readOffset() != 0;
}

void LAMEProcess::setUpAccurateRip()
{
    m_accurateRip.reset();
    m_accurateRipSectors.clear();
    if (!m_accurateRipAllowed || !m_settings.shouldVerifyWithAccurateRip() || m_jobs.empty() || m_sourceFactory)
        return;
    QList<int> numbers;
    QList<qint64> lengths;
    for (const TrackJob& job : m_jobs) {
        numbers.append(job.track.getTrackNum());
        lengths.append(job.source ? job.source->sampleFrames() : -1);
    }
    std::optional<AccurateRipPlan> plan;
    QString why;
    if (m_disc) {
        plan = AccurateRipPlan::forDisc(*m_disc, numbers);
        if (plan) {
            plan->disc.readOffset = sessionReadOffset();
            plan->disc.offsetKnown = sessionReadOffsetKnown();
        }
    } else {
        const std::optional<DiscTOC> toc = discTOC();
        const int audioTracks = int(AudioTrackList::tracksInFolder(m_preparedSource, false).value_or(QStringList()).size());
        if (numbers.contains(0))
            why = QStringLiteral("a track's file name carries no track number");
        else if (!toc)
            why = QStringLiteral("the folder's disc has no table of contents");
        else
            plan = AccurateRipPlan::forFolder(*toc, audioTracks, numbers, lengths, why);
        if (plan) {
            // GNOME's files are read without the drive's offset: the check takes their sound shifted.
            plan->disc.shift = m_settings.readOffset();
            plan->disc.readOffset = m_settings.readOffset();
            plan->disc.offsetKnown = m_settings.readOffset() != 0;
        }
    }
    if (plan)
        m_accurateRip = AccurateRipCheck::make(plan->disc, this);
    if (!m_accurateRip) {
        veskLog(QStringLiteral("This rip is not checked with AccurateRip: %1")
                    .arg(why.isEmpty() ? QStringLiteral("the disc has no place in its database") : why));
        return;
    }
    for (size_t i = 0; i < m_jobs.size(); ++i) {
        m_jobs[i].audioIndex = plan->places[qsizetype(i)].audioIndex;
        m_accurateRipSectors.insert(int(i), plan->places[qsizetype(i)].sector);
    }
}

void LAMEProcess::setUpSoundPass()
{
    setUpAccurateRip();
    m_loudness.reset();
    // Gains are tags: an MP3 without tags gets none.
    if (m_settings.shouldWriteReplayGain() && m_settings.shouldAddID3Tags() && !m_jobs.empty() && !m_sourceFactory)
        m_loudness = std::make_unique<LoudnessPass>();
    if (m_disc || (!m_accurateRip && !m_loudness))
        return;
    // A CD mount reads every file from the drive: once, in disc order, into the spool, as a disc
    // is. Files on a disk are read for the pass beside the encoder, which reads them itself.
    const bool gnomeMount = CDFolder::isCDSource(m_preparedSource);
    for (TrackJob& job : m_jobs) {
        if (!job.source || job.source->filePath().isEmpty())
            continue;
        // The spool holds raw CD audio: anything else is read beside the encoder.
        const auto* file = dynamic_cast<const FileTrackSource*>(job.source.get());
        const std::optional<AudioFormat> format = file ? file->format() : std::nullopt;
        if (gnomeMount && format && format->isCDAudio())
            job.source = std::make_shared<FileTrackSource>(job.source->filePath(), FileTrackSource::Reading::AsADisc);
        else
            job.tapped = true;
    }
}

void LAMEProcess::writeExtraTags(const TrackJob& job, const QString& path)
{
    if (!m_settings.shouldAddID3Tags() || !m_currentAlbum)
        return;
    ExtraTags tags;
    tags.trackGain = job.trackGain;
    tags.frontCover = m_cover.image;
    tags.coverMimeType = m_cover.mimeType;
    // The identifiers that tie the file to its release, as Picard writes them.
    const AlbumOrigin& origin = m_currentAlbum->getOrigin();
    if (origin.source == AlbumOrigin::Source::MusicBrainz) {
        tags.releaseId = origin.releaseId;
        tags.releaseGroupId = origin.releaseGroupId;
        tags.releaseArtistId = origin.albumArtistId;
        tags.discId = origin.musicBrainzDiscId;
        tags.releaseCountry = origin.country;
        tags.date = origin.date;
        tags.label = origin.label;
        tags.catalogNumber = origin.catalogNumber;
        const QList<Track>& tracks = m_currentAlbum->getTracks();
        if (job.position >= 1 && job.position <= tracks.size()) {
            tags.recordingId = tracks[job.position - 1].getRecordingId();
            tags.artistId = tracks[job.position - 1].getArtistId();
        }
    }
    if (!tags.trackGain && tags.frontCover.isEmpty() && tags.releaseId.isEmpty())
        return;
    QString failure;
    if (!Id3ExtraWriter::write(path, tags, failure))
        veskNotice(QStringLiteral("The cover, loudness or MusicBrainz tags of %1 could not be written: %2")
                       .arg(job.outputName(), failure));
}

void LAMEProcess::startCoverSearch()
{
    m_coverSearch.reset();
    m_cover = {};
    if (!m_coverArtAllowed || !m_settings.shouldAddCoverArt() || !m_currentAlbum)
        return;
    // The window's listing may have found it already, for these very titles.
    if (m_listing && m_listing->cover().found() && m_listing->album().getOrigin() == m_currentAlbum->getOrigin()) {
        m_cover = m_listing->cover();
        return;
    }
    CoverArtSearch::Request request;
    request.origin = m_currentAlbum->getOrigin();
    if (request.origin.source == AlbumOrigin::Source::Cddb)
        request.toc = discTOC();
    if (m_settings.shouldUseMusicBrainz())
        request.musicBrainzRoot = m_settings.getMusicBrainzURL();
    request.coverArtRoot = m_settings.getCoverArtURL();
    QString why;
    if (!CoverArtSearch::worthSearching(request, why)) {
        veskLog(QStringLiteral("No front cover is looked for: %1").arg(why));
        return;
    }
    m_coverSearch = std::make_unique<CoverArtSearch>();
    connect(m_coverSearch.get(), &CoverArtSearch::finished, this, &LAMEProcess::coverSearchEnded);
    m_coverSearch->start(request);
}

void LAMEProcess::coverSearchEnded(const CoverArtFetch::FrontCover& cover)
{
    if (!m_sessionActive)
        return;
    if (!cover.found()) {
        veskLog(QStringLiteral("No front cover: %1").arg(cover.problem));
    } else {
        m_cover = cover;
        veskLog(QStringLiteral("Front cover: %1 bytes (%2)").arg(cover.image.size()).arg(cover.mimeType));
        Q_EMIT coverArtChanged(cover.image);
        // The tracks finished meanwhile get it now; the others with their other tags.
        if (m_settings.shouldAddID3Tags()) {
            ExtraTags tags;
            tags.frontCover = cover.image;
            tags.coverMimeType = cover.mimeType;
            for (const TrackJob& job : m_jobs) {
                QString failure;
                if (job.state == TrackJob::State::Done && !Id3ExtraWriter::write(job.outputPath, tags, failure))
                    veskNotice(QStringLiteral("The cover could not be put into %1: %2").arg(job.outputName(), failure));
            }
        }
    }
    if (m_waitingForCover)
        finishOrVerify(true);
}

void LAMEProcess::saveCoverFile()
{
    if (!m_cover.found() || m_albumFolder.isEmpty())
        return;
    const QString name = m_cover.mimeType == u"image/png" ? QStringLiteral("cover.png") : QStringLiteral("cover.jpg");
    QFile file(VeskTools::joinedPath(m_albumFolder, name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(m_cover.image) != m_cover.image.size() ||
        !file.flush()) {
        veskNotice(QStringLiteral("The cover could not be saved as %1 in %2: %3").arg(name, m_albumFolder, file.errorString()));
        if (file.isOpen())
            file.remove();
    }
}

void LAMEProcess::writeAlbumGain()
{
    if (!m_loudness || !m_settings.shouldAddID3Tags())
        return;
    QList<int> read;
    for (const TrackJob& job : m_jobs)
        if (job.state == TrackJob::State::Done && job.trackGain)
            read.append(job.spoolIndex);
    const std::optional<ReplayGainValues> album = m_loudness->albumValues(read);
    if (!album)
        return;
    ExtraTags tags;
    tags.albumGain = album;
    for (const TrackJob& job : m_jobs) {
        if (job.state != TrackJob::State::Done || !job.trackGain)
            continue;
        QString failure;
        if (!Id3ExtraWriter::write(job.outputPath, tags, failure))
            veskNotice(QStringLiteral("The album's ReplayGain tags could not be written to %1: %2").arg(job.outputName(), failure));
    }
    veskLog(QStringLiteral("Album gain %1, peak %2").arg(album->gainText(), album->peakText()));
}

QHash<int, int> LAMEProcess::accurateRipTrackNumbers() const
{
    QHash<int, int> numbers;
    for (const TrackJob& job : m_jobs)
        if (job.audioIndex >= 0)
            numbers.insert(job.audioIndex, job.track.getTrackNum());
    return numbers;
}

void LAMEProcess::finishOrVerify(bool endedByItself)
{
    // The pass may still be reading files the encoders have finished with: its checksums and
    // gains are awaited, on a rip that ran to its end.
    m_waitingForPass = false;
    m_waitingForCover = false;
    if (endedByItself && m_coverSearch && m_coverSearch->isRunning()) {
        m_waitingForCover = true;
        setptl(QStringLiteral("Fetching the front cover..."));
        return;
    }
    if (endedByItself && std::any_of(m_jobs.begin(), m_jobs.end(), [](const TrackJob& job) {
            return job.tapped && job.state == TrackJob::State::Done &&
                   (job.reading == TrackJob::Reading::NotYet || job.reading == TrackJob::Reading::Now);
        })) {
        m_waitingForPass = true;
        setptl(QStringLiteral("Measuring the tracks..."));
        return;
    }
    QList<int> ripped;
    for (const TrackJob& job : m_jobs)
        if (job.state == TrackJob::State::Done && job.audioIndex >= 0)
            ripped.append(job.audioIndex);
    if (!endedByItself || !m_accurateRip || ripped.isEmpty() || m_verifying) {
        finishSession(endedByItself);
        return;
    }
    m_verifying = true;
    setButtonStates(false, true);
    setptl(QStringLiteral("Checking the rip with AccurateRip..."));
    connect(m_accurateRip.get(), &AccurateRipCheck::finished, this, &LAMEProcess::verificationEnded);
    m_accurateRip->verify(m_settings.getAccurateRipURL(), ripped);
}

void LAMEProcess::verificationEnded()
{
    if (!m_verifying || !m_accurateRip)
        return;
    m_verifying = false;
    for (TrackJob& job : m_jobs) {
        job.accurateRip = m_accurateRip->resultOf(job.audioIndex);
        if (!job.accurateRip.isEmpty())
            Q_EMIT trackJobChanged(job);
    }
    finishSession(true);
}

void LAMEProcess::writeRipLog()
{
    if (!m_disc || !m_currentAlbum || m_albumFolder.isEmpty())
        return;
    RipLog::Reading reading{m_settings.shouldReadFast(), sessionReadOffset(), {}};
    if (m_accurateRip)
        reading.accurateRip = m_accurateRip->logLines(accurateRipTrackNumbers());
    const QString text = RipLog::text(*m_disc, reading, *m_currentAlbum, m_jobs);
    const QString name = QStringLiteral("00-%1-%2.log")
                             .arg(VeskTools::stripBadPathChars(m_currentAlbum->artistForNames()),
                                  VeskTools::stripBadPathChars(m_currentAlbum->titleForNames()));
    QFile file(VeskTools::joinedPath(m_albumFolder, name));
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        const QString problem = file.errorString();
        file.remove();
        runAlertWithTitle(QStringLiteral("The rip log could not be written"),
                          QStringLiteral("In %1: %2").arg(m_albumFolder, problem));
        return;
    }
    if (!RipLog::allExact(m_jobs))
        veskNotice(QStringLiteral("Some tracks were not read exactly; the rip log in %1 says which").arg(m_albumFolder));
}

SessionReport LAMEProcess::report(bool endedByItself) const
{
    SessionReport report;
    report.ending = endedByItself ? SessionReport::Ending::Finished : SessionReport::Ending::Stopped;
    report.albumFolder = m_albumFolder;
    report.total = int(m_jobs.size());
    for (const TrackJob& job : m_jobs) {
        report.done += job.state == TrackJob::State::Done;
        report.skipped += job.state == TrackJob::State::Skipped;
        report.stopped += job.state == TrackJob::State::Stopped || job.state == TrackJob::State::Waiting;
        if (job.state == TrackJob::State::Failed)
            report.failures.append({job.position, job.track.getTitle(), job.outputName(), job.reason});
        if (job.readReport && job.readReport->finished && !job.readReport->exact())
            report.notReadExactly.append(job.position);
        if (!job.accurateRip.isEmpty())
            report.accurateRip.append(QStringLiteral("Track %1: %2").arg(job.track.getTrackNum()).arg(job.accurateRip));
    }
    if (m_accurateRip) {
        report.accurateRipSummary = m_accurateRip->summary();
        const auto& verdict = m_accurateRip->verdict();
        report.accurate = verdict && verdict->allAccurate();
        if (verdict && verdict->foundOffset) {
            report.foundReadOffset = m_accurateRip->disc().readOffset + *verdict->foundOffset;
            report.drive = m_disc && !m_disc->isImage() ? m_disc->driveName() : QString();
        }
    }
    return report;
}

void LAMEProcess::writeReleaseFilesIfAsked()
{
    if (!m_settings.shouldCreateReleaseFiles() || !m_currentAlbum)
        return;
    QStringList order;
    QStringList incomplete;
    for (const TrackJob& job : m_jobs) {
        if (job.state == TrackJob::State::Waiting)
            continue; // never started: no file
        order.append(job.outputName());
        if (job.state != TrackJob::State::Done)
            incomplete.append(job.outputName());
    }
    const bool spaces = m_settings.shouldConvertSpacesToUnderscores();
    const QString artist = VeskTools::stripBadPathChars(m_currentAlbum->artistForNames());
    const QString title = VeskTools::stripBadPathChars(m_currentAlbum->titleForNames());
    VeskFileGenerator generator;
    generator.setTrackOrder(order);
    generator.setIncomplete(incomplete);
    const QStringList problems =
        QStringList{generator.makeM3UFile(m_albumFolder, QStringLiteral("00-%1-%2.m3u").arg(artist, title), spaces),
                    generator.makeSFVFile(m_albumFolder, QStringLiteral("00-%1-%2.sfv").arg(artist, title), spaces)}
            .filter(QRegularExpression(QStringLiteral(".")));
    if (!problems.isEmpty())
        runAlertWithTitle(QStringLiteral("The release files could not be written"),
                          QStringLiteral("In %1:\n%2").arg(m_albumFolder, problems.join(QLatin1Char('\n'))));
}

void LAMEProcess::stop()
{
    if (isLookingUp()) {
        stopLookup();
        return;
    }
    if (!m_sessionActive)
        return; // nothing runs; in particular the user's track choice stays
    if (m_waitingForPass || m_waitingForCover || m_verifying) {
        // Every track is made: only the check, the measuring or the cover is given up.
        m_waitingForPass = false;
        m_waitingForCover = false;
        m_coverSearch.reset();
        m_verifying = false;
        m_accurateRip.reset();
        veskLog(QStringLiteral("The AccurateRip check was stopped"));
        finishSession(true);
        return;
    }
    releaseEncoders(TrackJob::State::Stopped);
    finishSession(false);
}

void LAMEProcess::skipTrack()
{
    if (m_sessionActive)
        getData(std::nullopt);
}

void LAMEProcess::releaseEncoders(TrackJob::State state)
{
    for (TrackJob& job : m_jobs) {
        if (job.state == TrackJob::State::Running) {
            releaseRun(job);
            job.state = state;
            Q_EMIT trackJobChanged(job);
        }
    }
}

void LAMEProcess::resetLAMEProcessForNewCD()
{
    releaseEncoders(TrackJob::State::Stopped);
    m_spool.reset(); // stops the reading and removes the cache
    m_accurateRip.reset();
    m_loudness.reset();
    m_coverSearch.reset();
    m_cover = {};
    m_waitingForCover = false;
    m_accurateRipSectors.clear();
    m_verifying = false;
    m_waitingForPass = false;
    m_disc.reset();
    m_spoolJobs.clear();
    m_jobs.clear();
    m_jobsAtOnce = 0;
    m_sessionArguments.clear();
    m_currentAlbum.reset();
    m_albumFolder.clear();
    m_sessionActive = false;
    m_reportedRefusedGenre = false;
    m_reportedLongTag = false;
    setptl(QStringLiteral(""));
    setptf(QStringLiteral(""));
    showRipTimeRemaining();
    m_settings.emptyChosenTracksArray();
    setFieldsEnabled(true);
    setButtonStates(true, false);
}
