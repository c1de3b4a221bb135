#include "rip/tracklistmodel.h"

#include "disc/discsourcepath.h"
#include "rip/disclisting.h"
#include "settings/settings.h"


TrackListModel::TrackListModel(DiscListing& listing, Settings& settings, QObject* parent)
    : QAbstractTableModel(parent), m_listing(listing), m_settings(settings)
{
    connect(&m_listing, &DiscListing::tracksChanged, this, &TrackListModel::reset);
    connect(&m_listing, &DiscListing::albumChanged, this, &TrackListModel::albumChanged);
    connect(&m_listing, &DiscListing::lengthsChanged, this, [this] {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    });
    connect(&m_settings, &Settings::chosenTracksChanged, this, [this] {
        readTicks();
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, NumberColumn), index(rowCount() - 1, NumberColumn), {Qt::CheckStateRole});
    });
    reset();
}

void TrackListModel::reset()
{
    beginResetModel();
    m_states.assign(m_listing.tracks().size(), RowState{});
    readTicks();
    endResetModel();
    albumChanged();
}

void TrackListModel::albumChanged()
{
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    const bool shown = showsTrackArtists();
    if (shown != m_artistsShown) {
        m_artistsShown = shown;
        Q_EMIT trackArtistsShownChanged(shown);
    }
}

void TrackListModel::readTicks()
{
    // No chosen tracks: every track of the folder is ripped.
    const QStringList chosen = m_settings.chosenTracks();
    m_unticked.clear();
    m_listing.setNoneChosen(false);
    if (chosen.isEmpty())
        return;
    for (const ListedTrack& track : m_listing.tracks())
        if (!chosen.contains(track.fileName))
            m_unticked.insert(track.fileName);
}

void TrackListModel::writeTicks()
{
    QStringList ticked;
    for (const ListedTrack& track : m_listing.tracks())
        if (!m_unticked.contains(track.fileName))
            ticked.append(track.fileName);
    m_listing.setNoneChosen(ticked.isEmpty());
    if (ticked.size() == qsizetype(m_listing.tracks().size()))
        m_settings.emptyChosenTracksArray();
    else if (!ticked.isEmpty())
        m_settings.setChosenTracks(ticked);
    // With none ticked the settings keep their last choice; Start refuses meanwhile.
}

int TrackListModel::tickedCount() const
{
    int count = 0;
    for (const ListedTrack& track : m_listing.tracks())
        count += !m_unticked.contains(track.fileName);
    return count;
}

bool TrackListModel::showsTrackArtists() const
{
    const Album& album = m_listing.album();
    for (const Track& track : album.getTracks())
        if (!track.getArtist().isEmpty() && track.getArtist() != album.getArtist())
            return true;
    return false;
}

int TrackListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_listing.tracks().size());
}

int TrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case NumberColumn:
        return tr("Track");
    case TitleColumn:
        return tr("Title");
    case ArtistColumn:
        return tr("Artist");
    case LengthColumn:
        return tr("Length");
    case StateColumn:
        return tr("Status");
    default:
        return QVariant();
    }
}

QString TrackListModel::stateText(int row) const
{
    if (row < 0 || row >= int(m_states.size()) || !m_states[row].shown)
        return QString();
    const RowState& state = m_states[row];
    switch (state.state) {
    case TrackJob::State::Waiting:
        // A disc's tracks are read first, one after another; encoding follows.
        if (state.reading == TrackJob::Reading::Now)
            return tr("Reading");
        return state.reading == TrackJob::Reading::Done ? tr("Read, waiting to encode") : tr("Waiting");
    case TrackJob::State::Running:
        if (state.percent >= 0)
            return tr("Encoding, %1 %").arg(state.percent);
        return state.estimate.isEmpty() ? tr("Encoding") : tr("Encoding, %1 left").arg(state.estimate.trimmed());
    case TrackJob::State::Done:
        // What AccurateRip said of the copy, once the database was asked.
        return state.accurateRip.isEmpty() ? tr("Done") : tr("Done, %1").arg(state.accurateRip);
    case TrackJob::State::Skipped:
        return tr("Skipped");
    case TrackJob::State::Stopped:
        return tr("Stopped");
    case TrackJob::State::Failed:
        return tr("Failed: %1").arg(state.reason);
    }
    return QString();
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const ListedTrack& listed = m_listing.tracks()[size_t(index.row())];
    const QList<Track>& tracks = m_listing.album().getTracks();
    const Track* track = index.row() < tracks.size() ? &tracks[index.row()] : nullptr;
    const int column = index.column();
    if (role == Qt::CheckStateRole && column == NumberColumn)
        return m_unticked.contains(listed.fileName) ? Qt::Unchecked : Qt::Checked;
    if (role == Qt::TextAlignmentRole && (column == NumberColumn || column == LengthColumn))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) {
        if (column == StateColumn)
            return stateText(index.row());
        if (column == NumberColumn || !listed.problem.isEmpty())
            return listed.problem.isEmpty() ? listed.fileName : listed.fileName + QLatin1Char(' ') + listed.problem;
        return QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    switch (column) {
    case NumberColumn:
        if (listed.number == 0 && listed.fileName == DiscSourcePath::trackName(0))
            return QStringLiteral("0"); // a disc's hidden track
        return listed.number != 0 ? QString::number(listed.number) : QString::number(index.row() + 1);
    case TitleColumn:
        return track ? track->getTitle() : QString();
    case ArtistColumn:
        if (!track)
            return QString();
        if (role == Qt::EditRole || !track->getArtist().isEmpty())
            return track->getArtist();
        return QString();
    case LengthColumn:
        return listed.length();
    case StateColumn:
        if (role == Qt::DisplayRole && !listed.problem.isEmpty() && !m_states[size_t(index.row())].shown)
            return tr("Not a track: %1").arg(listed.problem);
        return stateText(index.row());
    default:
        return QVariant();
    }
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid() || m_locked)
        return flags;
    if (index.column() == NumberColumn)
        flags |= Qt::ItemIsUserCheckable;
    if (index.column() == TitleColumn || index.column() == ArtistColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TrackListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || m_locked || index.row() >= rowCount())
        return false;
    const QString fileName = m_listing.tracks()[size_t(index.row())].fileName;
    if (role == Qt::CheckStateRole && index.column() == NumberColumn) {
        if (value.toInt() == Qt::Checked)
            m_unticked.remove(fileName);
        else
            m_unticked.insert(fileName);
        writeTicks();
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    if (index.column() == TitleColumn) {
        m_listing.setTrackTitle(index.row(), value.toString());
        return true;
    }
    if (index.column() == ArtistColumn) {
        m_listing.setTrackArtist(index.row(), value.toString());
        return true;
    }
    return false;
}

void TrackListModel::setLocked(bool locked)
{
    m_locked = locked;
}

void TrackListModel::showRipStarting(const QStringList& fileNames)
{
    for (size_t row = 0; row < m_states.size(); ++row) {
        m_states[row] = RowState{};
        m_states[row].shown = fileNames.contains(m_listing.tracks()[row].fileName);
    }
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, StateColumn), index(rowCount() - 1, StateColumn));
}

void TrackListModel::showJob(const TrackJob& job)
{
    if (!job.source)
        return;
    const int row = m_listing.rowOf(job.source->name());
    if (row < 0)
        return;
    RowState& state = m_states[size_t(row)];
    state.shown = true;
    state.state = job.state;
    state.reading = job.reading;
    state.reason = job.reason;
    state.accurateRip = job.accurateRip;
    state.percent = job.estimate ? job.estimate->percent : -1;
    state.estimate = job.estimate ? job.estimate->shown : QString();
    Q_EMIT dataChanged(index(row, StateColumn), index(row, StateColumn));
}
