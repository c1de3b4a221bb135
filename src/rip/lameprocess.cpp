#include "rip/lameprocess.h"

#include "common/log.h"
#include "common/resources.h"
#include "common/audiotracklist.h"
#include "rip/trackeditor.h"
#include "lookup/albumchooser.h"
#include "lookup/disclookuprunner.h"
#include "output/veskfilegenerator.h"
#include "common/vesktools.h"
#include "encoder/lame/encodercommandline.h"
#include "encoder/lame/encoderestimate.h"
#include "encoder/encoderrun.h"
#include "output/outputfilenaming.h"
#include "common/soundplayer.h"
#include "settings/settings.h"

#include <QFileInfo>

namespace {
// "3 Audio Track.aiff" -> "3 Audio Track": the last extension only; a leading dot stays.
QString titleFromFileName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QStringList titlesFromFileNames(const QStringList& fileNames)
{
    QStringList titles;
    for (const QString& name : fileNames)
        titles.append(titleFromFileName(name));
    return titles;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}
} // namespace

LAMEProcess::LAMEProcess(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_lookupRunner(std::make_unique<DiscLookupRunner>(*this))
{
    connect(m_lookupRunner.get(), &DiscLookupRunner::finished, this, &LAMEProcess::lookupEnded);
}

LAMEProcess::~LAMEProcess()
{
    // The lookup's worker ends before anything it may ask of the session goes away.
    m_lookupRunner.reset();
    for (const Run& run : m_runs) {
        run.encoder->disconnect(this);
        run.encoder->terminate();
    }
}

QString LAMEProcess::getChosenCDName() const
{
    return m_settings.getChosenCDName();
}

void LAMEProcess::runAlertWithTitle(const QString& title, const QString& text)
{
    m_settings.runAlertWithTitle(title, text);
}

int LAMEProcess::displayMultipleAlbumMatches(const QStringList& matchLines)
{
    if (!m_freedbAlbumMatchesController)
        return matchLines.isEmpty() ? -1 : 0;
    return m_freedbAlbumMatchesController->displayMultipleAlbumMatches(matchLines);
}

void LAMEProcess::setptl(const QString& text)
{
    m_settings.setptl(text);
}

void LAMEProcess::setptf(const QString& text)
{
    m_settings.setptf(text);
}

bool LAMEProcess::isRunning() const
{
    return !m_settings.getptl().isEmpty();
}

bool LAMEProcess::isLookingUp() const
{
    return m_lookupRunner->isRunning();
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
    const QString server = m_settings.getChosenFreedbServer();
    if (m_lookupFactory && m_lookupRunner->start(m_lookupFactory, server)) {
        // The window goes on meanwhile: only Stop means anything until the lookup has ended.
        setptl(QStringLiteral("Looking up the disc's titles on %1...").arg(server));
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
    // Nothing may be half-started for want of the encoder: check it before any folder is made.
    const QString encoder = EncoderRun::encoderPath();
    if (encoder.isEmpty() || !QFileInfo(encoder).isExecutable()) {
        const QString missing =
            encoder.isEmpty() ? QStringLiteral("\"%1\" in %2")
                                    .arg(EncoderRun::encoderResourceName(), Resources::resourceDirectory())
                              : encoder + QStringLiteral(" (not executable)");
        runAlertWithTitle(
            QStringLiteral("The MP3 encoder is missing!"),
            QStringLiteral("Vesk cannot find its LAME encoder: %1.\n\nPlease reinstall Vesk.").arg(missing));
        return false;
    }

    QString source = m_settings.getChosenCDName();
    if (!VeskTools::audioCDIsMounted(source)) {
        const QString found = m_settings.findAudioCD();
        if (found.isEmpty()) {
            m_settings.runAlertBadCD();
            return false;
        }
        m_settings.setChosenCDName(found);
        source = found;
    }

    const std::optional<QStringList> chosenOrNone = m_settings.getChosenTracks();
    const QStringList chosen = chosenOrNone.value_or(QStringList());
    if (chosen.isEmpty()) {
        runAlertWithTitle(
            QStringLiteral("Nothing to rip!"),
            QStringLiteral("There are no tracks in %1.\n\nPlease choose a folder of track files or "
                           "an audio CD.")
                .arg(source));
        return false;
    }
    if (m_settings.getChosenOutputDirectory().isEmpty()) {
        runAlertWithTitle(QStringLiteral("No output folder!"),
                          QStringLiteral("Please choose the folder the MP3 files should go to."));
        return false;
    }
    m_preparedSource = source;
    m_preparedTracks = chosen;
    return true;
}

bool LAMEProcess::prepareSession(std::optional<Album> lookedUp)
{
    const QString source = m_preparedSource;
    const QStringList chosen = m_preparedTracks;
    std::optional<Album> album = obtainAlbum(chosen, std::move(lookedUp));
    if (!editAlbum(*album)) {
        m_currentAlbum = std::move(album);
        resetLAMEProcessForNewCD();
        return false;
    }

    const bool spaces = m_settings.shouldConvertSpacesToUnderscores();
    m_outputPathAtStart = m_settings.getChosenOutputDirectory();
    const QString folder = createOutputFolder(*album);
    m_settings.setOutputDirectory(folder);

    m_totalTracks = 0;
    m_currentAlbum = std::move(album);
    m_sessionActive = true;
    m_failedTracks.clear();
    loadCLArguments();

    QSet<QString> taken;
    const QList<Track>& tracks = m_currentAlbum->getTracks();
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        qint32 number = AudioTrackList::trackNumber(chosen[i]);
        if (number == 0)
            number = qint32(i + 1);
        const QString name = createOutputFilenameWithFormat(
            m_settings.getMP3NameStyle(), tracks[i].getArtist(), number, tracks[i].getTitle());
        const QString outputPath = OutputFileNaming::uniqueOutputPath(folder, name, taken, spaces);
        taken.insert(outputPath);
        m_trackNames.append(tracks[i].getTitle());
        m_trackPairs << joined(source, chosen[i]) << outputPath;
        ++m_totalTracks;
    }

    setButtonStates(false, true);
    m_settings.setExpertTextFieldEnabled(false);
    m_settings.setNameStyleTextFieldEnabled(false);
    return true;
}

// The album of the session: the lookup's, else the default one made from the file names, with
// the tracks the user did not choose dropped. Always holds a track for every chosen file.
Album LAMEProcess::obtainAlbum(const QStringList& chosen, std::optional<Album> album)
{
    if (!album)
        return Album::defaultAlbumWithTrackTitles(titlesFromFileNames(chosen));

    if (qsizetype(chosen.size()) < album->getTracks().size()) {
        QList<qint32> chosenNumbers;
        for (const QString& name : chosen)
            chosenNumbers.append(AudioTrackList::trackNumber(name));
        const QList<Track> snapshot = album->getTracks();
        for (const Track& track : snapshot) {
            bool keep = false;
            for (qint32 number : chosenNumbers)
                keep = keep || (number != 0 && number == track.getTrackNum());
            if (!keep)
                album->removeTrackNumber(track.getTrackNum());
        }
    }
    if (album->getTracks().size() < chosen.size()) {
        const QString text =
            QStringLiteral(
                "The album found lists %1 of the %2 chosen tracks; using the track file names instead")
                .arg(album->getTracks().size())
                .arg(chosen.size());
        veskLog(text);
        runAlertWithTitle(QStringLiteral("The titles found do not fit the tracks"), text);
        return Album::defaultAlbumWithTrackTitles(titlesFromFileNames(chosen));
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
        folder = VeskTools::createUniqueNestedFolderAtPath(outputPath, album.getArtist(), album.getTitle(),
                                                           spaces);
    } else {
        folder = VeskTools::createUniqueFolderAtPath(
            outputPath, QStringLiteral("%1 - %2").arg(album.getArtist(), album.getTitle()), spaces);
    }
    if (folder.isEmpty()) {
        // No album folder: the files go to the output path as it stands, which must exist for
        // the encoder to write there.
        folder = outputPath;
        VeskTools::createDirectoryStructure(folder);
    }
    return folder;
}

void LAMEProcess::loadCLArguments()
{
    m_arguments.append(EncoderCommandLine::commonArguments(m_settings.getBasicConfigOption(),
                                                           m_settings.getExpertConfigOption()));
}

QStringList LAMEProcess::loadID3TrackTagArgumentsforCurrentTrack() const
{
    if (m_trackPairs.size() < 2 || !m_currentAlbum || !m_settings.shouldAddID3Tags())
        return {};
    const qsizetype index = qsizetype(m_currentTrack) - 1;
    const QString title = index >= 0 && index < m_trackNames.size() ? m_trackNames[index] : QString();
    return EncoderCommandLine::id3TagArguments(m_trackPairs[0], m_trackPairs[1], title, *m_currentAlbum,
                                               index);
}

QString LAMEProcess::createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                                    qint32 trackNumber, const QString& trackName) const
{
    return OutputFileNaming::createOutputFilenameWithFormat(
        format, artistName, trackNumber, trackName, m_currentAlbum ? m_currentAlbum->getTitle() : QString(),
        m_settings.shouldConvertSpacesToUnderscores());
}

bool LAMEProcess::isCDSource(const QString& source)
{
    return QFileInfo::exists(joined(source, QStringLiteral(".TOC.plist"))) ||
           source.contains(QStringLiteral("/gvfs/cdda:host="));
}

void LAMEProcess::ripASingleTrack()
{
    if (!m_currentAlbum || !m_sessionActive)
        return;
    if (m_jobs == 0) {
        // A drive seeking between tracks read at once is slower than one reading straight through.
        const QString source = m_settings.getChosenCDName();
        m_jobs = isCDSource(source) ? 1 : qBound(1, m_settings.encoderJobs(), 8);
        Q_EMIT progressChanged(0, int(m_totalTracks));
    }
    while (m_trackPairs.size() >= 2 && qsizetype(m_runs.size()) < m_jobs)
        startRun();
    showTracksInProgress(); // unchanged unless a start failed
    if (m_runs.empty() && m_trackPairs.size() < 2)
        finishSession(true); // every start failed
}

void LAMEProcess::startRun()
{
    const QString inputPath = m_trackPairs[0];
    const QString outputPath = m_trackPairs[1];
    const QString genre = m_currentAlbum->getGenre();
    if (m_settings.shouldAddID3Tags() && !EncoderCommandLine::encoderAcceptsGenre(genre) &&
        !m_reportedRefusedGenre) {
        veskLog(
            QStringLiteral("LAME knows no genre \"%1\"; the files are tagged without a genre").arg(genre));
        m_reportedRefusedGenre = true;
    }
    QStringList arguments = m_arguments;
    arguments << inputPath << outputPath << loadID3TrackTagArgumentsforCurrentTrack();
    m_trackPairs.remove(0, 2);

    auto* encoder = new EncoderRun(this);
    m_runs.push_back(Run{encoder, qsizetype(m_currentTrack) - 1, outputPath, std::nullopt});
    m_outputNames.append(QFileInfo(outputPath).fileName());
    ++m_currentTrack;
    showTracksInProgress();
    Q_EMIT trackStarted(int(m_currentTrack - 1), int(m_totalTracks));
    connect(encoder, &EncoderRun::chunkRead, this, [this, encoder](const QByteArray& chunk) {
        if (Run* run = runOf(encoder))
            showEstimate(*run, chunk);
    });
    connect(encoder, &EncoderRun::outputEnded, this, [this, encoder](bool succeeded, const QString& failure) {
        runEnded(encoder, succeeded, failure);
    });
    if (!encoder->start(arguments, VeskTools::deletingLastPathComponent(outputPath))) {
        // The run never began; count it as failed and go on with the next track.
        const QString failure = encoder->failureReason();
        noteFailure(m_runs.back(), failure);
        removeRun(encoder);
        ++m_finishedTracks;
        Q_EMIT progressChanged(int(m_finishedTracks), int(m_totalTracks));
    }
}

LAMEProcess::Run* LAMEProcess::runOf(const EncoderRun* encoder)
{
    for (Run& run : m_runs) {
        if (run.encoder == encoder)
            return &run;
    }
    return nullptr;
}

void LAMEProcess::removeRun(EncoderRun* encoder)
{
    for (auto it = m_runs.begin(); it != m_runs.end(); ++it) {
        if (it->encoder != encoder)
            continue;
        m_runs.erase(it);
        encoder->disconnect(this);
        encoder->terminate();
        // We may be inside one of its signals: let it go once control is back in the event loop.
        encoder->deleteLater();
        return;
    }
}

QString LAMEProcess::trackTitle(qsizetype index) const
{
    return m_currentAlbum && index >= 0 && index < m_currentAlbum->getTracks().size()
               ? m_currentAlbum->getTracks()[index].getTitle()
               : QString();
}

void LAMEProcess::showTracksInProgress()
{
    if (m_runs.empty())
        return;
    // The track started last comes first, so that every track's start shows the one-track line
    // "Processing: title     (3 of 12)" at the start of the line; the others follow. Built
    // without arg(): a title holding "%1" must reach the line as it is.
    QString line;
    for (auto run = m_runs.rbegin(); run != m_runs.rend(); ++run) {
        const QString one = trackLine(int(run->index + 1));
        line += run == m_runs.rbegin() ? one : QStringLiteral("; ") + one.mid(processing().size());
    }
    setptl(line);
}

QString LAMEProcess::trackLine(int number) const
{
    return processing() + trackTitle(number - 1) + QStringLiteral("     (") + QString::number(number) +
           QStringLiteral(" of ") + QString::number(m_totalTracks) + QLatin1Char(')');
}

void LAMEProcess::showEstimate(Run& run, const QByteArray& chunk)
{
    // With "--disptime 5" the encoder ends each progress report with its estimate of the time
    // remaining; other output (its header, the ReplayGain line, errors) leaves the line. With
    // several runs the line shows the longest estimate, the time until all of them are done.
    run.estimate = EncoderEstimate::fromChunk(QString::fromLatin1(chunk));
    if (run.estimate)
        showLongestEstimate();
}

void LAMEProcess::showLongestEstimate()
{
    const EncoderEstimate* longest = nullptr;
    for (const Run& run : m_runs) {
        if (run.estimate && (!longest || run.estimate->seconds > longest->seconds))
            longest = &*run.estimate;
    }
    if (longest)
        setptf(QStringLiteral("Est. Time Remaining: ") + longest->shown);
}

void LAMEProcess::noteFailure(const Run& run, const QString& failure)
{
    const QString name =
        QStringLiteral("%1 (%2)").arg(m_trackNames.value(run.index), QFileInfo(run.outputPath).fileName());
    m_failedTracks.append(name);
    m_incompleteNames.append(QFileInfo(run.outputPath).fileName());
    veskLog(QStringLiteral("Track %1 of %2, %3, was not encoded: %4")
                .arg(run.index + 1)
                .arg(m_totalTracks)
                .arg(name, failure));
}

void LAMEProcess::runEnded(EncoderRun* encoder, bool succeeded, const QString& failure)
{
    const Run* run = runOf(encoder);
    if (!run)
        return;
    if (!succeeded)
        noteFailure(*run, failure);
    endRun(encoder, true);
}

void LAMEProcess::endRun(EncoderRun* encoder, bool endedByItself)
{
    if (const Run* run = runOf(encoder); run && !endedByItself)
        m_incompleteNames.append(QFileInfo(run->outputPath).fileName());
    removeRun(encoder);
    ++m_finishedTracks;
    Q_EMIT progressChanged(int(m_finishedTracks), int(m_totalTracks));
    if (m_trackPairs.size() >= 2) {
        ripASingleTrack();
    } else if (m_runs.empty()) {
        finishSession(endedByItself);
        return;
    } else {
        showTracksInProgress();
    }
    showLongestEstimate(); // the run that ended may have had the longest
}

void LAMEProcess::getData(const std::optional<QByteArray>& chunk)
{
    if (!m_sessionActive || m_runs.empty())
        return;
    EncoderRun* oldest = m_runs.front().encoder;
    if (chunk && !chunk->isEmpty())
        showEstimate(m_runs.front(), *chunk);
    else
        endRun(oldest, chunk.has_value());
}

void LAMEProcess::finishSession(bool endedByItself)
{
    if (endedByItself && m_soundPlayer && m_settings.shouldSoundAlertWhenFinished())
        m_soundPlayer->playFinishedSound();
    writeReleaseFilesIfAsked();
    if (m_settings.shouldCreateSeparateArtistAlbumDirs() && !m_outputPathAtStart.isEmpty()) {
        // Back to the output path the user chose, placeholder included, for the next session.
        m_settings.setOutputDirectory(m_outputPathAtStart);
    }
    const QStringList failed = m_failedTracks;
    if (!failed.isEmpty()) {
        runAlertWithTitle(
            failed.size() == 1 ? QStringLiteral("A track could not be encoded!")
                               : QStringLiteral("%1 tracks could not be encoded!").arg(failed.size()),
            QStringLiteral("The encoder failed on:\n%1\n\nTheir MP3 files are missing or incomplete.")
                .arg(failed.join(QLatin1Char('\n'))));
    }
    resetLAMEProcessForNewCD();
    Q_EMIT sessionEnded(failed);
}

void LAMEProcess::writeReleaseFilesIfAsked()
{
    if (!m_settings.shouldCreateReleaseFiles() || !m_currentAlbum || m_currentAlbum->getArtist().isNull() ||
        m_currentAlbum->getTitle().isNull())
        return;
    const bool spaces = m_settings.shouldConvertSpacesToUnderscores();
    const QString artist = m_currentAlbum->getArtist();
    const QString title = m_currentAlbum->getTitle();
    const QString folder = m_settings.getChosenOutputDirectory();
    VeskFileGenerator generator;
    generator.setTrackOrder(m_outputNames);
    generator.setIncomplete(m_incompleteNames);
    generator.makeM3UFile(folder, QStringLiteral("00-%1-%2.m3u").arg(artist, title), spaces);
    generator.makeSFVFile(folder, QStringLiteral("00-%1-%2.sfv").arg(artist, title), spaces);
}

void LAMEProcess::stop()
{
    if (isLookingUp()) {
        stopLookup();
        return;
    }
    if (!m_sessionActive)
        return; // nothing runs; in particular the user's track choice stays
    m_trackPairs.clear();
    for (const Run& run : m_runs)
        m_incompleteNames.append(QFileInfo(run.outputPath).fileName());
    releaseEncoders();
    finishSession(false);
}

void LAMEProcess::skipTrack()
{
    if (m_sessionActive)
        getData(std::nullopt);
}

void LAMEProcess::releaseEncoders()
{
    while (!m_runs.empty())
        removeRun(m_runs.front().encoder);
}

void LAMEProcess::resetLAMEProcessForNewCD()
{
    releaseEncoders();
    m_jobs = 0;
    m_finishedTracks = 0;
    m_outputNames.clear();
    m_incompleteNames.clear();
    m_trackPairs.clear();
    m_arguments.clear();
    m_trackNames.clear();
    m_currentAlbum.reset();
    m_sessionActive = false;
    m_failedTracks.clear();
    m_outputPathAtStart.clear();
    m_reportedRefusedGenre = false;
    setptl(QStringLiteral(""));
    setptf(QStringLiteral(""));
    m_settings.emptyChosenTracksArray();
    m_settings.setExpertTextFieldEnabled(true);
    m_settings.setNameStyleTextFieldEnabled(true);
    setButtonStates(true, false);
    m_currentTrack = 1;
    m_totalTracks = 0;
}
