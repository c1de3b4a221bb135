#include "rip/lameprocess.h"

#include "settings/settings.h"
#include "common/log.h"
#include "common/resources.h"
#include "disc/audiotracklist.h"
#include "editor/trackeditor.h"
#include "lookup/albumchooser.h"
#include "output/veskfilegenerator.h"
#include "output/vesktools.h"
#include "rip/encodercommandline.h"
#include "rip/encoderrun.h"
#include "rip/outputfilenaming.h"
#include "rip/soundplayer.h"

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

LAMEProcess::LAMEProcess(Settings& settings, QObject* parent) : QObject(parent), m_settings(settings) {}

LAMEProcess::~LAMEProcess()
{
    if (m_chore) {
        m_chore->disconnect(this);
        m_chore->terminate();
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
    const bool prepared = prepareSession();
    m_preparing = false;
    if (prepared)
        ripASingleTrack();
}

// Everything up to the first encoder run. False when no run is to start; the session is idle then.
bool LAMEProcess::prepareSession()
{
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

    std::optional<Album> album = obtainAlbum(chosen);
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
std::optional<Album> LAMEProcess::obtainAlbum(const QStringList& chosen)
{
    std::optional<Album> album;
    if (m_lookupFactory) {
        if (std::unique_ptr<DiscLookup> lookup = m_lookupFactory(*this)) {
            lookup->lookupCDInformation(m_settings.getChosenFreedbServer());
            album = lookup->getAlbumInfo();
        }
    }
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
    return album;
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

void LAMEProcess::ripASingleTrack()
{
    if (m_trackPairs.size() < 2 || m_chore || !m_currentAlbum)
        return;
    const QString inputPath = m_trackPairs[0];
    const QString outputPath = m_trackPairs[1];
    QStringList arguments = m_arguments;
    arguments << inputPath << outputPath << loadID3TrackTagArgumentsforCurrentTrack();

    const qsizetype index = qsizetype(m_currentTrack) - 1;
    const QString title = index < m_currentAlbum->getTracks().size()
                              ? m_currentAlbum->getTracks()[index].getTitle()
                              : QString();
    setptl(QStringLiteral("Processing: %1     (%2 of %3)").arg(title).arg(m_currentTrack).arg(m_totalTracks));
    ++m_currentTrack;
    Q_EMIT trackStarted(int(m_currentTrack - 1), int(m_totalTracks));

    m_chore = new EncoderRun(this);
    connect(m_chore, &EncoderRun::chunkRead, this, [this](const QByteArray& chunk) { getData(chunk); });
    connect(m_chore, &EncoderRun::outputEnded, this, &LAMEProcess::runEnded);
    if (!m_chore->start(arguments, VeskTools::deletingLastPathComponent(outputPath))) {
        // The run never began; count it as failed and go on with the next track.
        runEnded(false, m_chore->failureReason());
    }
}

void LAMEProcess::runEnded(bool succeeded, const QString& failure)
{
    if (!succeeded) {
        const qsizetype index = qsizetype(m_currentTrack) - 2;
        const QString title = index >= 0 && index < m_trackNames.size() ? m_trackNames[index] : QString();
        const QString name =
            QStringLiteral("%1 (%2)").arg(title, QFileInfo(m_trackPairs.value(1)).fileName());
        m_failedTracks.append(name);
        veskLog(QStringLiteral("Track %1 of %2, %3, was not encoded: %4")
                    .arg(index + 1)
                    .arg(m_totalTracks)
                    .arg(name, failure));
    }
    getData(QByteArray());
}

void LAMEProcess::releaseEncoder()
{
    if (!m_chore)
        return;
    m_chore->disconnect(this);
    m_chore->terminate();
    // We may be inside one of its signals: let it go once control is back in the event loop.
    m_chore->deleteLater();
    m_chore = nullptr;
}

void LAMEProcess::getData(const std::optional<QByteArray>& chunk)
{
    if (chunk && !chunk->isEmpty()) {
        // With "--disptime 5" the encoder ends each progress report with its estimate of the time
        // remaining; the chunk's last six characters are shown as they are.
        const QString text = QString::fromLatin1(*chunk);
        if (text.size() > 5)
            setptf(QStringLiteral("Est. Time Remaining: %1").arg(text.right(6)));
        return;
    }
    if (!m_sessionActive)
        return;
    releaseEncoder();
    if (m_trackPairs.size() > 2) {
        m_trackPairs.remove(0, 2);
        ripASingleTrack();
        return;
    }
    finishSession(chunk.has_value());
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
    generator.makeM3UFile(folder, QStringLiteral("00-%1-%2.m3u").arg(artist, title), spaces);
    generator.makeSFVFile(folder, QStringLiteral("00-%1-%2.sfv").arg(artist, title), spaces);
}

void LAMEProcess::stop()
{
    if (!m_sessionActive)
        return; // nothing runs; in particular the user's track choice stays
    m_trackPairs.clear();
    getData(std::nullopt);
    resetLAMEProcessForNewCD();
}

void LAMEProcess::skipTrack()
{
    if (m_sessionActive)
        getData(std::nullopt);
}

void LAMEProcess::resetLAMEProcessForNewCD()
{
    releaseEncoder();
    m_trackPairs.clear();
    m_arguments.clear();
    m_trackNames.clear();
    m_currentAlbum.reset();
    m_sessionActive = false;
    m_failedTracks.clear();
    m_outputPathAtStart.clear();
    setptl(QStringLiteral(""));
    setptf(QStringLiteral(""));
    m_settings.emptyChosenTracksArray();
    m_settings.setExpertTextFieldEnabled(true);
    m_settings.setNameStyleTextFieldEnabled(true);
    setButtonStates(true, false);
    m_currentTrack = 1;
    m_totalTracks = 0;
}
