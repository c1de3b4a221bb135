#include "app/gui/tracklistbinding.h"

#include "app/gui/mainwindow.h"
#include "disc/audiocdfinder.h"
#include "disc/discsourcepath.h"
#include "disc/opticaldrivewatcher.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/tracklistmodel.h"
#include "settings/settings.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>
#include <QHeaderView>
#include <QStatusBar>

TrackListBinding::TrackListBinding(MainWindow& window, Settings& settings, DiscListing& listing,
                                   LAMEProcess& session, AudioCDFinder& finder, QObject* parent)
    : QObject(parent), m_window(window), m_settings(settings), m_listing(listing), m_session(session),
      m_finder(finder), m_model(new TrackListModel(listing, settings, this))
{
    Ui::MainWindow& ui = m_window.ui();
    QTableView* table = ui.trackTable;
    table->setModel(m_model);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(TrackListModel::NumberColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(TrackListModel::TitleColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(TrackListModel::LengthColumn, QHeaderView::ResizeToContents);
    header->resizeSection(TrackListModel::ArtistColumn, 160);
    // Room for "Done, accurately ripped (confidence 12, v2)"; the whole text is in its tooltip.
    header->resizeSection(TrackListModel::StateColumn, 250);
    showArtistColumn(m_model->showsTrackArtists());
    connect(m_model, &TrackListModel::trackArtistsShownChanged, this, &TrackListBinding::showArtistColumn);

    // The album's fields, both ways.
    const std::pair<QLineEdit*, DiscListing::Field> fields[] = {
        {ui.albumArtist, DiscListing::Field::Artist},
        {ui.albumTitle, DiscListing::Field::Title},
        {ui.albumYear, DiscListing::Field::Year},
    };
    for (const auto& [edit, field] : fields)
        connect(edit, &QLineEdit::textEdited, this,
                [this, field = field](const QString& text) { m_listing.setAlbumField(field, text); });
    connect(ui.albumGenre, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text != m_listing.album().getGenre())
            m_listing.setAlbumField(DiscListing::Field::Genre, text);
    });
    connect(&m_listing, &DiscListing::albumChanged, this, &TrackListBinding::showAlbum);
    showAlbum();

    ui.lookupNote->setText(m_listing.note());
    connect(&m_listing, &DiscListing::noteChanged, this, [this](const QString& note) {
        m_window.ui().lookupNote->setText(note);
        // What the last rip or lookup left in the status line belongs to that one.
        m_window.statusBar()->clearMessage();
    });
    auto lookUpAgain = [this] {
        if (m_session.isStartEnabled())
            m_listing.lookUpAgain();
    };
    connect(ui.lookUpAgainButton, &QPushButton::clicked, this, lookUpAgain);
    connect(ui.actionLookUpAgain, &QAction::triggered, this, lookUpAgain);

    // A rip shows its tracks' states; meanwhile nothing else in the list changes.
    connect(&m_session, &LAMEProcess::albumPrepared, m_model, [this] { m_model->showRipStarting({}); });
    connect(&m_session, &LAMEProcess::trackJobChanged, m_model, &TrackListModel::showJob);
    connect(&m_session, &LAMEProcess::buttonStatesChanged, this,
            [this] { showLocked(!m_session.isStartEnabled()); });

    // Typing a path changes the source at every key: it is listed once the typing has settled.
    m_sourceSettled.setSingleShot(true);
    m_sourceSettled.setInterval(400);
    connect(&m_sourceSettled, &QTimer::timeout, this, &TrackListBinding::sourceChanged);
    connect(&m_settings, &Settings::textChanged, this, [this](Settings::Text field) {
        if (field == Settings::Text::ChosenCD)
            m_sourceSettled.start();
    });
    m_cdWatch.setInterval(3000);
    connect(&m_cdWatch, &QTimer::timeout, this, &TrackListBinding::lookForCD);
    // The source restored from the preferences, else a CD found now.
    QTimer::singleShot(0, this, &TrackListBinding::sourceChanged);
}

void TrackListBinding::sourceChanged()
{
    const QString source = m_settings.getChosenCDName();
    if (source.isEmpty() || !(QFileInfo(source).isDir() || DiscSourcePath::isDisc(source))) {
        m_cdWatch.start();
        lookForCD();
        if (!m_settings.getChosenCDName().isEmpty() && m_settings.getChosenCDName() != source)
            return; // the CD found is listed once the setting has settled
    } else {
        m_cdWatch.stop();
    }
    if (m_session.isStartEnabled() || m_listing.folder().isEmpty())
        m_listing.load(source);
}

void TrackListBinding::followDrives(OpticalDriveWatcher& drives)
{
    m_drives = &drives;
    connect(&drives, &OpticalDriveWatcher::discInserted, this, [this](const QString&, int audioTracks) {
        if (audioTracks > 0)
            lookForCD();
    });
    connect(&drives, &OpticalDriveWatcher::discRemoved, this, [this](const QString& device) {
        if (m_settings.getChosenCDName() == device && m_session.isStartEnabled())
            m_listing.load(device, true);
    });
    connect(&drives, &OpticalDriveWatcher::drivesChanged, this, &TrackListBinding::lookForCD);
}

void TrackListBinding::lookForCD()
{
    if (!m_session.isStartEnabled())
        return;
    const QString source = m_settings.getChosenCDName();
    if (!source.isEmpty() && (QFileInfo(source).isDir() || DiscSourcePath::isDisc(source))) {
        m_cdWatch.stop();
        return;
    }
    // The drive itself where it holds an audio CD and may be read, else the desktop's mount.
    if (m_drives) {
        for (const OpticalDrive& drive : m_drives->drives()) {
            if (drive.holdsAudioCD() && ::access(QFile::encodeName(drive.device).constData(), R_OK) == 0) {
                m_settings.setChosenCDName(drive.device);
                return;
            }
        }
    }
    const QString found = m_finder.findAudioCD();
    if (!found.isEmpty())
        m_settings.setChosenCDName(found);
}

void TrackListBinding::showAlbum()
{
    Ui::MainWindow& ui = m_window.ui();
    const Album& album = m_listing.album();
    // Placeholders say what a field stands for; the album itself keeps only what someone said.
    const std::pair<QLineEdit*, QString> fields[] = {
        {ui.albumArtist, album.getArtist()},
        {ui.albumTitle, album.getTitle()},
        {ui.albumYear, album.getYear()},
    };
    for (const auto& [edit, value] : fields)
        if (edit->text() != value)
            edit->setText(value);
    ui.albumArtist->setPlaceholderText(Album::placeholderArtist());
    ui.albumTitle->setPlaceholderText(Album::placeholderTitle());
    if (ui.albumGenre->currentText() != album.getGenre())
        ui.albumGenre->setEditText(album.getGenre());
}

void TrackListBinding::setGenres(const QStringList& genres)
{
    QComboBox* genre = m_window.ui().albumGenre;
    const QString shown = genre->currentText();
    genre->clear();
    genre->addItems(genres);
    genre->setEditText(shown);
}

void TrackListBinding::showArtistColumn(bool shown)
{
    m_window.ui().trackTable->setColumnHidden(TrackListModel::ArtistColumn, !shown);
}

void TrackListBinding::showLocked(bool locked)
{
    Ui::MainWindow& ui = m_window.ui();
    m_model->setLocked(locked);
    for (QWidget* field : {static_cast<QWidget*>(ui.albumArtist), static_cast<QWidget*>(ui.albumTitle),
                           static_cast<QWidget*>(ui.albumYear), static_cast<QWidget*>(ui.albumGenre),
                           static_cast<QWidget*>(ui.lookUpAgainButton)})
        field->setEnabled(!locked);
    ui.actionLookUpAgain->setEnabled(!locked);
    // The source the rip reads must not be swapped under it; a change is listed afterwards.
    if (!locked && m_listing.folder() != m_settings.getChosenCDName())
        m_sourceSettled.start();
}
