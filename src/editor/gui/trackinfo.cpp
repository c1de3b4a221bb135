#include "editor/gui/trackinfo.h"

#include "common/log.h"
#include "editor/gui/trackwindowcontroller.h"
#include "encoder/encoderrun.h"

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <limits>

namespace {

const QString kTrackNum = QStringLiteral("trackNum");
const QString kTrackTitle = QStringLiteral("trackTitle");
const QString kTrackArtist = QStringLiteral("trackArtist");

// The number a row's "trackNum" text stands for: leading blanks, an optional sign and decimal
// digits, as typed numbers are usually read. A text without such a number keeps the row's
// position, so a cleared or mistyped cell does not turn the track into number 0.
qint32 trackNumberFromText(const QString& text, qint32 position)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size() || text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
        return position;
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = qMin<qint64>(value * 10 + (text.at(i).unicode() - '0'), std::numeric_limits<qint32>::max());
    return static_cast<qint32>(negative ? -value : value);
}

// An empty track artist cell shows the placeholder track artist, greyed the way a line edit
// shows its placeholder, and so does its cell editor: a placeholder is never a value that OK
// would hand back as the track's artist.
class TrackArtistDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setPlaceholderText(Album::placeholderTrackArtist());
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!option->text.isEmpty())
            return;
        option->text = Album::placeholderTrackArtist();
        option->palette.setBrush(QPalette::Text, option->palette.placeholderText());
    }
};

// A row artist that nobody chose for the track itself: it follows the album artist.
bool followsAlbumArtist(const QString& trackArtist, const QString& albumArtist)
{
    return trackArtist.isEmpty() || trackArtist == albumArtist ||
           trackArtist == Album::placeholderTrackArtist();
}

} // namespace

TrackInfo::TrackInfo(QWidget* mainWindow, QObject* parent)
    : QAbstractTableModel(parent), m_trackWindowController(new TrackWindowController(mainWindow))
{
    TrackWindowController* window = m_trackWindowController;
    window->tableView()->setModel(this);
    // Narrow number column; titles and artists share the rest of the width.
    QHeaderView* header = window->tableView()->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    window->tableView()->setItemDelegateForColumn(2, new TrackArtistDelegate(window->tableView()));
    // An album nobody identified has no artist or title; the fields say what names will use.
    window->cellAtIndex(0)->setPlaceholderText(Album::placeholderArtist());
    window->cellAtIndex(1)->setPlaceholderText(Album::placeholderTitle());
    connect(window->cellAtIndex(0), &QLineEdit::textChanged, this, &TrackInfo::albumArtistChanged);
    connect(window->okButton(), &QPushButton::clicked, this,
            [this, window] { buttonResponse(window->okButton()); });
    connect(window->cancelButton(), &QPushButton::clicked, this,
            [this, window] { buttonResponse(window->cancelButton()); });
    connect(window->synchArtistButton(), &QPushButton::clicked, this, &TrackInfo::synchArtist);
    buildGenreList();
}

TrackInfo::~TrackInfo()
{
    if (m_chore)
        m_chore->terminate();
    // The main window may have taken the dialog down with it already.
    delete m_trackWindowController.data();
}

const QStringList& TrackInfo::columnIdentifiers()
{
    static const QStringList identifiers{kTrackNum, kTrackTitle, kTrackArtist};
    return identifiers;
}

void TrackInfo::displayTrackInfo(const Album& album)
{
    TrackWindowController* window = m_trackWindowController;
    if (!window)
        return;
    beginResetModel();
    m_tracks.clear();
    m_shownAlbum = album;
    const QList<Track>& tracks = album.getTracks();
    for (qsizetype i = 0; i < tracks.size(); ++i)
        m_tracks.append(
            createTrackRecord(static_cast<qint32>(i + 1), tracks.at(i).getArtist(), tracks.at(i).getTitle()));
    endResetModel();

    {
        // Showing the album is no change of its artist: the rows stay as the album has them.
        const QSignalBlocker quiet(window->cellAtIndex(0));
        window->cellAtIndex(0)->setText(album.getArtist());
    }
    m_followedArtist = getAlbumArtist();
    window->cellAtIndex(1)->setText(album.getTitle());
    window->yearField()->setText(album.getYear());
    selectGenre(album.getGenre());
    window->commentsField()->setText(album.getComments());

    window->cellAtIndex(0)->setFocus();
    // Escape and the window's close box count as the cancel button.
    m_userEditedInformation = window->exec() == QDialog::Accepted;
}

void TrackInfo::selectGenre(const QString& genre)
{
    QComboBox* popUp = m_trackWindowController->genrePopUp();
    // The previous album's own genre is no choice for this one.
    if (m_albumGenreItem >= 0 && m_albumGenreItem < popUp->count())
        popUp->removeItem(m_albumGenreItem);
    m_albumGenreItem = -1;
    for (int i = 0; i < popUp->count(); ++i) {
        if (popUp->itemText(i) == genre) {
            popUp->setCurrentIndex(i);
            return;
        }
    }
    // A genre the list lacks ("Jazz/Fusion", or none at all) is offered first and selected, so
    // that OK keeps what the album says instead of tagging it with whatever item happens to be
    // selected.
    popUp->insertItem(0, genre);
    m_albumGenreItem = 0;
    popUp->setCurrentIndex(0);
}

Album TrackInfo::getEditedInformation() const
{
    // What the user typed, exactly: these texts become tags. Names made from them take care of
    // what a file or folder name cannot hold.
    Album album;
    // What the window offers no field for stays as the album had it: where it came from, its
    // place in a set, each row's recording. An artist id stays only with the artist it names.
    AlbumOrigin origin = m_shownAlbum.getOrigin();
    if (getAlbumArtist() != m_shownAlbum.getArtist())
        origin.albumArtistId.clear();
    album.setOrigin(origin);
    album.setDiscNumber(m_shownAlbum.getDiscNumber());
    album.setArtist(getAlbumArtist());
    album.setTitle(getAlbumTitle());
    album.setGenre(getGenre());
    album.setYear(getYear());
    album.setComments(getComments());
    for (qsizetype i = 0; i < m_tracks.size(); ++i) {
        const TrackRecord& row = m_tracks.at(i);
        Track track;
        track.setArtist(row.value(kTrackArtist));
        track.setTitle(row.value(kTrackTitle));
        track.setTrackNum(trackNumberFromText(row.value(kTrackNum), static_cast<qint32>(i + 1)));
        if (i < m_shownAlbum.getTracks().size()) {
            const Track& shown = m_shownAlbum.getTracks().at(i);
            track.setRecordingId(shown.getRecordingId());
            if (track.getArtist() == shown.getArtist())
                track.setArtistId(shown.getArtistId());
        }
        album.addTrack(track);
    }
    return album;
}

QString TrackInfo::getAlbumArtist() const
{
    return m_trackWindowController ? m_trackWindowController->cellAtIndex(0)->text() : QString();
}

QString TrackInfo::getAlbumTitle() const
{
    return m_trackWindowController ? m_trackWindowController->cellAtIndex(1)->text() : QString();
}

QString TrackInfo::getYear() const
{
    return m_trackWindowController ? m_trackWindowController->yearField()->text() : QString();
}

QString TrackInfo::getGenre() const
{
    if (!m_trackWindowController || m_trackWindowController->genrePopUp()->currentIndex() < 0)
        return QString();
    return m_trackWindowController->genrePopUp()->currentText();
}

QString TrackInfo::getComments() const
{
    return m_trackWindowController ? m_trackWindowController->commentsField()->text() : QString();
}

TrackInfo::TrackRecord TrackInfo::createTrackRecord(qint32 number, const QString& artist,
                                                    const QString& title)
{
    TrackRecord record;
    record.insert(kTrackNum, QString::number(number));
    record.insert(kTrackTitle, title);
    record.insert(kTrackArtist, artist);
    return record;
}

void TrackInfo::addRecord(qint32 number, const QString& artist, const QString& title)
{
    const int row = static_cast<int>(m_tracks.size());
    beginInsertRows(QModelIndex(), row, row);
    m_tracks.append(createTrackRecord(number, artist, title));
    endInsertRows();
}

int TrackInfo::numberOfRowsInTableView() const
{
    return static_cast<int>(m_tracks.size());
}

QString TrackInfo::tableView(const QString& columnIdentifier, int row) const
{
    if (row < 0 || row >= m_tracks.size())
        return QString();
    return m_tracks.at(row).value(columnIdentifier);
}

void TrackInfo::tableView(const QVariant& value, const QString& columnIdentifier, int row)
{
    const qsizetype column = columnIdentifiers().indexOf(columnIdentifier);
    if (column < 0 || row < 0 || row >= m_tracks.size())
        return;
    m_tracks[row].insert(columnIdentifier, value.toString());
    const QModelIndex cell = index(row, static_cast<int>(column));
    Q_EMIT dataChanged(cell, cell);
}

void TrackInfo::buttonResponse(QAbstractButton* button)
{
    TrackWindowController* window = m_trackWindowController;
    m_userEditedInformation = window && button && button == window->okButton();
    if (!window)
        return;
    commitOpenCellEditors();
    if (m_userEditedInformation)
        window->accept();
    else
        window->reject();
}

void TrackInfo::commitOpenCellEditors()
{
    // A button click need not take the focus from a cell being typed in, so its text would be lost.
    QTableView* view = m_trackWindowController->tableView();
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            const QModelIndex cell = index(row, column);
            if (QWidget* editor = view->indexWidget(cell))
                view->itemDelegateForIndex(cell)->setModelData(editor, this, cell);
        }
    }
}

void TrackInfo::albumArtistChanged(const QString& artist)
{
    for (int row = 0; row < m_tracks.size(); ++row) {
        if (followsAlbumArtist(m_tracks.at(row).value(kTrackArtist), m_followedArtist))
            tableView(artist, kTrackArtist, row);
    }
    m_followedArtist = artist;
}

void TrackInfo::synchArtist()
{
    const QString artist = getAlbumArtist();
    for (int row = 0; row < m_tracks.size(); ++row)
        tableView(artist, kTrackArtist, row);
}

void TrackInfo::buildGenreList()
{
    m_chore = new EncoderRun(this);
    connect(m_chore, &EncoderRun::chunkRead, this, &TrackInfo::getLAMEGenreData);
    connect(m_chore, &EncoderRun::outputEnded, this, &TrackInfo::genreOutputEnded);
    if (!m_chore->start(m_encoder.executable(), m_encoder.genreListArguments())) {
        veskLog(QStringLiteral("No genre list: %1").arg(m_chore->failureReason()));
        delete m_chore;
        m_chore = nullptr;
        finishGenreList();
    }
}

void TrackInfo::getLAMEGenreData(const QByteArray& chunk)
{
    // Nothing is parsed before the end: a line may be split across chunks.
    m_genreOutput.append(chunk);
}

void TrackInfo::genreOutputEnded(bool succeeded, const QString& failure)
{
    if (m_chore) {
        m_chore->deleteLater();
        m_chore = nullptr;
    }
    // A failed run prints an error message, not genres.
    const QStringList names = succeeded ? m_encoder.genres(m_genreOutput) : QStringList();
    if (!succeeded)
        veskLog(QStringLiteral("No genre list: %1").arg(failure));
    else if (names.isEmpty())
        veskLog(QStringLiteral("No genre list: the encoder printed no genres"));

    if (!names.isEmpty() && m_trackWindowController) {
        QComboBox* popUp = m_trackWindowController->genrePopUp();
        // Should the list arrive while the window is open, what it shows stays selected.
        const bool open = m_trackWindowController->isVisible();
        const QString shown = getGenre();
        popUp->clear();
        popUp->addItems(names);
        m_albumGenreItem = -1;
        if (open)
            selectGenre(shown);
        else
            popUp->setCurrentIndex(0);
    }
    finishGenreList();
}

void TrackInfo::finishGenreList()
{
    m_genreListDone = true;
    Q_EMIT genreListDone();
}

int TrackInfo::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : numberOfRowsInTableView();
}

int TrackInfo::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columnIdentifiers().size());
}

QVariant TrackInfo::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return tableView(columnIdentifiers().value(index.column()), index.row());
}

bool TrackInfo::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    tableView(value, columnIdentifiers().value(index.column()), index.row());
    return true;
}

Qt::ItemFlags TrackInfo::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant TrackInfo::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("#");
    case 1:
        return tr("Title");
    case 2:
        return tr("Artist");
    default:
        return QVariant();
    }
}
