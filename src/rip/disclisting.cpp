#include "rip/disclisting.h"

#include "common/audiotracklist.h"
#include "common/log.h"
#include "common/vesktools.h"
#include "common/veskexception.h"
#include "disc/audiofileheader.h"
#include "disc/cdiodisc.h"
#include "disc/discsourcepath.h"
#include "disc/tracksource.h"
#include "rip/cdtextalbum.h"
#include "rip/hiddentrack.h"
#include "lookup/albumchooser.h"
#include "lookup/disclookuprunner.h"
#include "lookup/lookupfailure.h"

#include <QFileInfo>
#include <QThread>

QString ListedTrack::length() const
{
    if (sampleFrames < 0)
        return QString();
    const qint64 seconds = (sampleFrames + 22050) / 44100;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

DiscListing::DiscListing(QObject* parent)
    : QObject(parent), m_runner(std::make_unique<DiscLookupRunner>(*this))
{
    connect(m_runner.get(), &DiscLookupRunner::finished, this, &DiscListing::lookupFinished);
}

DiscListing::~DiscListing()
{
    // The workers end before anything they may ask of the listing goes away.
    m_runner.reset();
    for (QThread* reader : m_readers) {
        reader->wait();
        delete reader;
    }
}

void DiscListing::load(const QString& folder, bool force)
{
    if (folder == m_folder && !force && m_titles != Titles::None)
        return;
    cancelLookup();
    dropCover();
    m_folder = folder;
    m_tracks.clear();
    m_failureNote.clear();
    m_noneChosen = false;
    m_disc.reset();
    {
        std::lock_guard lock(m_tocMutex);
        m_discToc.reset();
    }
    if (DiscSourcePath::isDisc(folder)) {
        ++m_generation;
        m_lengthsKnown = false;
        m_album = Album();
        m_titles = Titles::None;
        setNote(tr("Reading the disc's table of contents…"));
        Q_EMIT tracksChanged();
        Q_EMIT albumChanged();
        openDisc();
        return;
    }
    const std::optional<QStringList> names =
        folder.isEmpty() ? std::nullopt : AudioTrackList::tracksInFolder(folder);
    for (const QString& name : names.value_or(QStringList())) {
        ListedTrack track;
        track.fileName = name;
        track.number = AudioTrackList::trackNumber(name);
        m_tracks.push_back(std::move(track));
    }
    m_lengthsKnown = m_tracks.empty();
    ++m_generation;
    if (!m_tracks.empty())
        readLengths();
    m_album = defaultAlbum();
    if (folder.isEmpty()) {
        m_titles = Titles::None;
        setNote(QString());
    } else if (!names) {
        m_titles = Titles::None;
        setNote(QFileInfo::exists(folder) ? tr("%1 cannot be read.").arg(folder)
                                          : tr("%1 is not there. Choose a folder, or insert a CD.").arg(folder));
    } else if (m_tracks.empty()) {
        m_titles = Titles::None;
        setNote(tr("The folder %1 is empty: it holds no AIFF or WAV tracks.").arg(folder));
    } else {
        m_titles = Titles::FromFileNames;
        setNote(QString());
    }
    Q_EMIT tracksChanged();
    Q_EMIT albumChanged();
    if (m_titles == Titles::FromFileNames)
        startLookup();
}

void DiscListing::openDisc()
{
    QThread* reader = QThread::create([this, generation = m_generation, source = m_folder] {
        std::shared_ptr<CdioDisc> disc;
        QString problem;
        bool hidden = false;
        try {
            disc = CdioDisc::open(source);
            hidden = HiddenTrack::holdsSound(disc);
        } catch (const VeskException& failure) {
            problem = failure.reason();
        }
        QMetaObject::invokeMethod(
            this, [this, generation, disc, hidden, problem] { discOpened(generation, disc, hidden, problem); },
            Qt::QueuedConnection);
    });
    m_readers.push_back(reader);
    reader->start();
}

void DiscListing::discOpened(quint64 generation, const std::shared_ptr<CdioDisc>& disc, bool hiddenTrack,
                             const QString& problem)
{
    if (generation != m_generation)
        return; // another source was listed meanwhile
    m_lengthsKnown = true;
    if (!disc) {
        setNote(tr("The disc cannot be read: %1").arg(problem));
        Q_EMIT lengthsChanged();
        return;
    }
    m_disc = disc;
    {
        std::lock_guard lock(m_tocMutex);
        m_discToc = disc->toc();
    }
    QList<qint32> numbers;
    QStringList names;
    QList<CdioDisc::Track> onDisc = disc->tracks();
    if (hiddenTrack)
        onDisc.prepend(*disc->track(0));
    for (const CdioDisc::Track& track : std::as_const(onDisc)) {
        if (!track.audio || (track.number < 1 && !(hiddenTrack && track.number == 0)))
            continue;
        ListedTrack listed;
        listed.fileName = DiscSourcePath::trackName(track.number);
        listed.number = track.number;
        listed.sampleFrames = track.sectors() * TrackSource::samplesPerSector;
        numbers.append(track.number);
        names.append(listed.fileName);
        m_tracks.push_back(std::move(listed));
    }
    m_album = CdTextAlbum::fromDisc(*disc, numbers, names).value_or(defaultAlbum());
    m_titles = Titles::FromFileNames;
    setNote(QString());
    Q_EMIT tracksChanged();
    Q_EMIT albumChanged();
    Q_EMIT lengthsChanged();
    startLookup();
}

std::optional<DiscTOC> DiscListing::discTOC()
{
    {
        std::lock_guard lock(m_tocMutex);
        if (m_discToc)
            return m_discToc;
    }
    return LookupHost::discTOC();
}

void DiscListing::readLengths()
{
    // Finished readers are let go here, on the main thread.
    std::erase_if(m_readers, [](QThread* reader) {
        if (!reader->isFinished())
            return false;
        delete reader;
        return true;
    });
    QThread* reader = QThread::create([this, generation = m_generation, folder = m_folder, tracks = m_tracks]() mutable {
        for (ListedTrack& track : tracks)
            if (const auto format = AudioFileHeader::readFile(VeskTools::joinedPath(folder, track.fileName), &track.problem))
                track.sampleFrames = format->sampleFrames;
        QMetaObject::invokeMethod(
            this, [this, generation, tracks] { lengthsRead(generation, tracks); }, Qt::QueuedConnection);
    });
    m_readers.push_back(reader);
    reader->start();
}

void DiscListing::lengthsRead(quint64 generation, const std::vector<ListedTrack>& tracks)
{
    if (generation != m_generation || tracks.size() != m_tracks.size())
        return; // another folder was listed meanwhile
    for (size_t row = 0; row < tracks.size(); ++row) {
        m_tracks[row].sampleFrames = tracks[row].sampleFrames;
        m_tracks[row].problem = tracks[row].problem;
    }
    m_lengthsKnown = true;
    Q_EMIT lengthsChanged();
}

void DiscListing::lookUpAgain()
{
    if (m_tracks.empty())
        return;
    cancelLookup();
    startLookup();
}

void DiscListing::startLookup()
{
    m_failureNote.clear();
    const QString server = m_serverHost ? m_serverHost() : QString();
    if (!m_lookupFactory || !m_runner->start(m_lookupFactory, server))
        return;
    m_titles = Titles::LookingUp;
    setNote(tr("Looking up the disc's titles…"));
}

void DiscListing::cancelLookup()
{
    if (!m_runner->isRunning())
        return;
    m_runner->cancel();
    if (m_chooser)
        m_chooser->cancelChoice();
    m_titles = Titles::FromFileNames;
    setNote(tr("The lookup was stopped; the tracks are named after their files."));
    Q_EMIT lookupEnded();
}

void DiscListing::lookupFinished(const std::optional<Album>& album)
{
    if (!album) {
        m_titles = Titles::FromFileNames;
        const bool cdText = m_disc && CdTextAlbum::fromDisc(*m_disc, {}, {});
        const QString fallback = cdText   ? tr("the titles are the disc's own CD-Text.")
                                 : m_disc ? tr("the tracks keep their numbers.")
                                          : tr("the tracks are named after their files.");
        setNote(m_failureNote.isEmpty() ? tr("No titles were found for this disc; %1").arg(fallback)
                                        : m_failureNote + QLatin1Char(' ') + tr("Meanwhile %1").arg(fallback));
    } else if (std::optional<Album> fitted = paired(*album)) {
        m_album = std::move(*fitted);
        m_titles = Titles::LookedUp;
        const QString origin = m_album.getOrigin().describe();
        setNote(origin.isEmpty() ? tr("Titles found.") : tr("Titles from %1.").arg(origin));
        Q_EMIT albumChanged();
        searchCover();
    } else {
        m_titles = Titles::NotPaired;
        setNote(tr("The album found, %1 – %2, lists %3 tracks, which do not fit the %4 tracks here; the "
                   "tracks keep their file names. Correct the folder, or type the titles in.")
                    .arg(album->artistForNames(), album->titleForNames())
                    .arg(album->getTracks().size())
                    .arg(m_tracks.size()));
    }
    Q_EMIT lookupEnded();
}

void DiscListing::searchCover()
{
    dropCover();
    const std::optional<CoverArtSearch::Request> request =
        m_coverRequest ? m_coverRequest(m_album, m_album.getOrigin().source == AlbumOrigin::Source::Cddb
                                                     ? discTOC()
                                                     : std::nullopt)
                       : std::nullopt;
    QString why;
    if (!request || !CoverArtSearch::worthSearching(*request, why))
        return;
    m_coverSearch = std::make_unique<CoverArtSearch>();
    connect(m_coverSearch.get(), &CoverArtSearch::finished, this, [this](const CoverArtFetch::FrontCover& cover) {
        if (!cover.found()) {
            veskLog(QStringLiteral("No front cover: %1").arg(cover.problem));
            return;
        }
        m_cover = cover;
        Q_EMIT coverArtChanged(cover.image);
    });
    m_coverSearch->start(*request);
}

void DiscListing::dropCover()
{
    m_coverSearch.reset();
    if (!m_cover.found())
        return;
    m_cover = {};
    Q_EMIT coverArtChanged(QByteArray());
}

std::optional<Album> DiscListing::paired(const Album& found) const
{
    Album fitted = found;
    fitted.getTracks().clear();
    const QList<Track>& offered = found.getTracks();
    for (size_t row = 0; row < m_tracks.size(); ++row) {
        const qint32 number = m_tracks[row].number;
        // A disc's hidden track is known to no server.
        if (m_disc && number == 0) {
            fitted.addTrack(Track::trackWithArtist(QString(), QStringLiteral("Hidden track"), 0));
            continue;
        }
        const Track* match = nullptr;
        for (const Track& track : offered) {
            if (number != 0 ? track.getTrackNum() == number : false) {
                match = &track;
                break;
            }
        }
        // A file whose name carries no number takes the disc's track at its place.
        if (!match && number == 0 && qsizetype(row) < offered.size() && offered.size() == qsizetype(m_tracks.size()))
            match = &offered[qsizetype(row)];
        if (!match)
            return std::nullopt;
        fitted.addTrack(*match);
    }
    return fitted;
}

Album DiscListing::defaultAlbum() const
{
    QStringList titles;
    for (const ListedTrack& track : m_tracks)
        titles.append(AudioTrackList::titleFromFileName(track.fileName));
    return Album::defaultAlbumWithTrackTitles(titles);
}

void DiscListing::setNote(const QString& note)
{
    if (note == m_note)
        return;
    m_note = note;
    Q_EMIT noteChanged(m_note);
}

int DiscListing::rowOf(const QString& fileName) const
{
    for (size_t row = 0; row < m_tracks.size(); ++row)
        if (m_tracks[row].fileName == fileName)
            return int(row);
    return -1;
}

void DiscListing::setAlbumField(Field field, const QString& value)
{
    switch (field) {
    case Field::Artist:
        if (value == m_album.getArtist())
            return;
        // Track artists that followed the album's follow it on.
        for (Track& track : m_album.getTracks())
            if (track.getArtist() == m_album.getArtist())
                track.setArtist(value);
        m_album.setArtist(value);
        break;
    case Field::Title:
        m_album.setTitle(value);
        break;
    case Field::Year:
        m_album.setYear(value);
        break;
    case Field::Genre:
        m_album.setGenre(value);
        break;
    case Field::Comments:
        m_album.setComments(value);
        break;
    }
    Q_EMIT albumChanged();
}

void DiscListing::setTrackTitle(int row, const QString& title)
{
    if (row < 0 || row >= m_album.getTracks().size())
        return;
    m_album.getTracks()[row].setTitle(title);
    Q_EMIT albumChanged();
}

void DiscListing::setTrackArtist(int row, const QString& artist)
{
    if (row < 0 || row >= m_album.getTracks().size())
        return;
    m_album.getTracks()[row].setArtist(artist);
    Q_EMIT albumChanged();
}

std::optional<Album> DiscListing::albumForTracks(const QStringList& fileNames) const
{
    Album album = m_album;
    album.getTracks().clear();
    for (const QString& name : fileNames) {
        const int row = rowOf(name);
        if (row < 0)
            return std::nullopt;
        album.addTrack(m_album.getTracks()[row]);
    }
    return album;
}

void DiscListing::runAlertWithTitle(const QString& title, const QString& text)
{
    // Said in the window beside the titles, not in a box over a window the user is busy in.
    // Each source that failed says so: the CDDB server's trouble, then MusicBrainz's.
    const QString said = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    m_failureNote = m_failureNote.isEmpty() ? said : m_failureNote + QLatin1Char('\n') + said;
}

void DiscListing::lookupFailed(const LookupFailure& failure)
{
    QString text = failure.text();
    text.replace(QStringLiteral("\n\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    runAlertWithTitle(failure.title(), text);
}

void DiscListing::lookupProgress(const QString& line)
{
    if (isLookingUp())
        setNote(line);
}

int DiscListing::displayMultipleAlbumMatches(const QStringList& matchLines)
{
    if (!m_chooser)
        return matchLines.isEmpty() ? -1 : 0;
    return m_chooser->displayMultipleAlbumMatches(matchLines);
}
