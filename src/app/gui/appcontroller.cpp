#include "app/gui/appcontroller.h"

#include "app/gui/expertfieldbinding.h"
#include "app/gui/logwindow.h"
#include "app/gui/ripsummarybox.h"
#include "app/gui/mainwindow.h"
#include "common/log.h"
#include "common/resources.h"
#include "disc/discsourcepath.h"
#include "encoder/lame/lameencoder.h"
#include "settings/musicfolder.h"
#include "settings/preferencekeys.h"
#include "settings/preferences.h"
#include "ui_mainwindow.h"

#include <QImage>
#include <QPixmap>
#include <QApplication>
#include <QButtonGroup>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {
Qt::CheckState qtState(int state)
{
    if (state == Settings::On)
        return Qt::Checked;
    return state == Settings::Mixed ? Qt::PartiallyChecked : Qt::Unchecked;
}

int settingsState(int qtCheckState)
{
    if (qtCheckState == Qt::Checked)
        return Settings::On;
    return qtCheckState == Qt::PartiallyChecked ? Settings::Mixed : Settings::Off;
}

// What a cell shows: the presets in words a person chooses between; the encoder options are in
// the cell's tool tip. A title without a description shows its options.
QString cellText(const QString& title)
{
    static const std::pair<const char*, const char*> described[] = {
        {"--nohist --preset medium", QT_TRANSLATE_NOOP("AppController", "Medium (VBR, about 165 kbit/s)")},
        {"--nohist --preset standard",
         QT_TRANSLATE_NOOP("AppController", "Standard (VBR, about 190 kbit/s)")},
        {"--nohist --preset extreme", QT_TRANSLATE_NOOP("AppController", "Extreme (VBR, about 225 kbit/s)")},
        {"--nohist --preset insane", QT_TRANSLATE_NOOP("AppController", "Insane (CBR 320 kbit/s)")},
        {"--nohist --preset cbr 192", QT_TRANSLATE_NOOP("AppController", "Constant 192 kbit/s")},
    };
    for (const auto& [options, text] : described)
        if (title == QLatin1String(options))
            return AppController::tr(text);
    return title;
}
} // namespace

AppController::AppController(Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_window(std::make_unique<MainWindow>())
{
    bindTextFields();
    bindCheckBoxes();
    bindPresets();
    bindExpertField();
    bindCommands();
    setButtonStates(true, false, false);
    loadPreferences();
    if (!m_preferencesLoad.damaged.isNull())
        m_startUpAlerts.append({m_preferencesLoad.title(), m_preferencesLoad.message()});

    // Where albums go, said in words under the field, so the field itself holds only the folder.
    connect(&m_settings, &Settings::textChanged, this, [this](Settings::Text field) {
        if (field != Settings::Text::ChosenOutputDirectory)
            return;
        m_lastAlbumFolder.clear();
        showOutputFolderNote();
    });
    connect(&m_settings, &Settings::checkStateChanged, this, [this](Settings::Option option) {
        if (option == Settings::Option::CreateSeparateArtistAlbumDirs)
            showOutputFolderNote();
    });
    showOutputFolderNote();
    m_window->setCloseGuard([this] { return mayCloseWindow(); });

    // The faster variant exists for some presets only; the box is greyed for the others.
    connect(&m_settings, &Settings::basicRowChanged, this, &AppController::showFasterPresetsApplies);
    connect(&m_settings, &Settings::textChanged, this, [this](Settings::Text field) {
        if (field == Settings::Text::ExpertText)
            showFasterPresetsApplies();
    });
    showFasterPresetsApplies();
    // The Z flag is kept with the preferences but changes nothing: shown, not offered.
    m_window->ui().zFlag->setEnabled(false);
}

void AppController::showFasterPresetsApplies()
{
    const LameEncoder encoder;
    const std::optional<QStringList> basic = m_settings.getBasicConfigOption();
    const QStringList expert = m_settings.getExpertConfigOption();
    const bool applies = encoder.sessionArguments(basic, expert, true) != encoder.sessionArguments(basic, expert, false);
    m_window->ui().makeAltPresetFaster->setEnabled(applies);
}

AppController::~AppController()
{
    disconnect(&m_settings, nullptr, this, nullptr);
}

void AppController::show()
{
    m_window->show();
    if (m_shown)
        return;
    m_shown = true;
    // Said now rather than at Start: before the user has chosen and set everything up.
    if (LameEncoder::program().isNull())
        m_startUpAlerts.append({tr("The MP3 encoder is missing"), LameEncoder().howToInstall()});
    for (const auto& [title, text] : std::as_const(m_startUpAlerts))
        runAlertWithTitle(title, text);
    m_startUpAlerts.clear();
}

void AppController::showOutputFolderNote()
{
    const QString output = m_settings.getChosenOutputDirectory();
    QString note;
    if (!m_albumFolder.isEmpty()) {
        note = tr("This album goes to %1.").arg(m_albumFolder);
        if (output != m_albumOutput)
            note +=
                QLatin1Char(' ') + (output.isEmpty() ? tr("Choose the folder the next albums are made in.")
                                                     : tr("The next albums go into %1.").arg(output));
    } else if (output.isEmpty()) {
        note = tr("Choose the folder albums are made in.");
    } else {
        note = m_settings.shouldCreateSeparateArtistAlbumDirs()
                   ? tr("Albums go into %1, each as Artist/Album.").arg(output)
                   : tr("Albums go into %1, each as \"Artist - Album\".").arg(output);
        if (!m_lastAlbumFolder.isEmpty())
            note += QLatin1Char(' ') + tr("The last album went to %1.").arg(m_lastAlbumFolder);
    }
    m_window->ui().outputFolderNote->setText(note);
}

void AppController::showAlbumFolder(const QString& folder)
{
    m_albumFolder = folder;
    m_albumOutput = m_settings.getChosenOutputDirectory();
    m_lastAlbumFolder.clear();
    showOutputFolderNote();
}

namespace {
// The window's control for each plain key of the preferences that has one.
template <typename Control> QList<std::pair<const PreferenceKey*, Control*>> keyControls(MainWindow& window)
{
    QList<std::pair<const PreferenceKey*, Control*>> controls;
    for (const PreferenceKey& key : PreferenceKeys::all()) {
        if (key.control.isEmpty())
            continue;
        if (Control* control = window.findChild<Control*>(key.control))
            controls.append({&key, control});
    }
    return controls;
}
} // namespace

void AppController::bindTextFields()
{
    QList<std::pair<Settings::Text, QLineEdit*>> fields;
    for (const auto& [key, edit] : keyControls<QLineEdit>(*m_window))
        if (key->text)
            fields.append({*key->text, edit});
    for (const auto& [field, edit] : fields) {
        edit->setText(m_settings.text(field));
        connect(edit, &QLineEdit::textChanged, this,
                [this, field](const QString& text) { m_settings.setText(field, text); });
    }
    connect(&m_settings, &Settings::textChanged, this, [this, fields](Settings::Text changed) {
        const QString value = m_settings.text(changed);
        for (const auto& [field, edit] : fields)
            if (field == changed && edit->text() != value)
                edit->setText(value);
    });
}

void AppController::bindCheckBoxes()
{
    QList<std::pair<Settings::Option, QCheckBox*>> boxes;
    for (const auto& [key, box] : keyControls<QCheckBox>(*m_window))
        if (key->option)
            boxes.append({*key->option, box});
    auto show = [this](Settings::Option option, QCheckBox* box) {
        const Qt::CheckState state = qtState(m_settings.checkState(option));
        if (state == Qt::PartiallyChecked)
            box->setTristate(true);
        if (box->checkState() != state)
            box->setCheckState(state);
    };
    for (const auto& [option, box] : boxes) {
        show(option, box);
        connect(box, &QCheckBox::stateChanged, this, [this, option, box](int state) {
            // Once the user picks on or off, the box goes back to two states.
            if (state != Qt::PartiallyChecked)
                box->setTristate(false);
            m_settings.setCheckState(option, settingsState(state));
        });
    }
    connect(&m_settings, &Settings::checkStateChanged, this, [show, boxes](Settings::Option changed) {
        for (const auto& [option, box] : boxes)
            if (option == changed)
                show(option, box);
    });

    // The numbers: each spin box within its key's range, both ways.
    for (const auto& [key, box] : keyControls<QSpinBox>(*m_window)) {
        box->setRange(int(key->minimum), int(key->maximum));
        if (key->role == PreferenceKey::Role::EncoderJobs) {
            box->setValue(m_settings.encoderJobs());
            connect(box, &QSpinBox::valueChanged, &m_settings, &Settings::setEncoderJobs);
            connect(&m_settings, &Settings::encoderJobsChanged, box,
                    [this, box] { box->setValue(m_settings.encoderJobs()); });
        } else if (key->role == PreferenceKey::Role::ReadOffset) {
            box->setValue(m_settings.readOffset());
            connect(box, &QSpinBox::valueChanged, &m_settings, &Settings::setReadOffset);
            connect(&m_settings, &Settings::readOffsetChanged, box,
                    [this, box] { box->setValue(m_settings.readOffset()); });
        }
    }
}

void AppController::bindPresets()
{
    Ui::MainWindow& ui = m_window->ui();
    QRadioButton* const cells[] = {ui.basicPreset0, ui.basicPreset1, ui.basicPreset2,
                                   ui.basicPreset3, ui.basicPreset4, ui.basicPreset5};
    const QStringList titles = Settings::basicPresetTitles();
    m_basicConfigMatrix = new QButtonGroup(this);
    int row = 0;
    for (QRadioButton* cell : cells) {
        if (row < titles.size()) {
            cell->setText(cellText(titles.at(row)));
            cell->setToolTip(titles.at(row) == Settings::expertTitle()
                                 ? tr("Use the options typed beside this cell.")
                                 : tr("LAME options: %1").arg(titles.at(row)));
            m_basicConfigMatrix->addButton(cell, row);
        } else {
            cell->hide();
        }
        ++row;
    }
    // The "Expert:" cell sits beside the expert field, whatever row the titles give it.
    const int expertRow = int(titles.indexOf(Settings::expertTitle()));
    if (expertRow >= 0 && expertRow < int(std::size(cells)) && expertRow != 5) {
        cells[5]->setText(cellText(titles.value(expertRow)));
        m_basicConfigMatrix->setId(cells[5], expertRow);
        cells[expertRow]->setText(cellText(titles.value(5)));
        m_basicConfigMatrix->setId(cells[expertRow], 5);
    }
    auto showRow = [this] {
        if (QAbstractButton* cell = m_basicConfigMatrix->button(m_settings.selectedBasicRow()))
            cell->setChecked(true);
    };
    showRow();
    connect(m_basicConfigMatrix, &QButtonGroup::idClicked, this,
            [this](int id) { m_settings.switchBasicConfig(id); });
    connect(&m_settings, &Settings::basicRowChanged, this, showRow);
}

void AppController::bindExpertField()
{
    m_expertField = new ExpertFieldBinding(m_settings, *m_window->ui().expertConfigOption, this);
}

void AppController::bindCommands()
{
    Ui::MainWindow& ui = m_window->ui();
    connect(ui.selectAudioCDButton, &QPushButton::clicked, this, &AppController::selectAudioCD);
    connect(ui.actionSelectAudioCD, &QAction::triggered, this, &AppController::selectAudioCD);
    connect(ui.selectTracksButton, &QPushButton::clicked, this, &AppController::selectTracks);
    connect(ui.actionSelectTracks, &QAction::triggered, this, &AppController::selectTracks);
    connect(ui.selectOutputDirectoryButton, &QPushButton::clicked, this,
            &AppController::selectOutputDirectory);
    connect(ui.actionSelectOutputDirectory, &QAction::triggered, this, &AppController::selectOutputDirectory);
    connect(ui.actionShowHelp, &QAction::triggered, this, [this] { showHelp(); });
    connect(ui.actionShowLog, &QAction::triggered, this, &AppController::showLog);
    connect(ui.actionAbout, &QAction::triggered, this, &AppController::showAbout);
    connect(ui.actionQuit, &QAction::triggered, m_window.get(), &QWidget::close);
    connect(ui.actionStart, &QAction::triggered, ui.startButton, &QAbstractButton::click);
    connect(ui.actionStop, &QAction::triggered, ui.stopButton, &QAbstractButton::click);
    connect(ui.actionSkip, &QAction::triggered, ui.skipButton, &QAbstractButton::click);
    connect(m_window.get(), &MainWindow::closing, this, &AppController::applicationShouldTerminate);
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, &AppController::applicationShouldTerminate);
}

QAbstractButton* AppController::startButton() const
{
    return m_window->ui().startButton;
}

QAbstractButton* AppController::stopButton() const
{
    return m_window->ui().stopButton;
}

QAbstractButton* AppController::skipButton() const
{
    return m_window->ui().skipButton;
}

void AppController::setButtonStates(bool start, bool stop, bool skip)
{
    Ui::MainWindow& ui = m_window->ui();
    ui.startButton->setEnabled(start);
    ui.actionStart->setEnabled(start);
    ui.stopButton->setEnabled(stop);
    ui.actionStop->setEnabled(stop);
    ui.skipButton->setEnabled(skip);
    ui.actionSkip->setEnabled(skip);
}

void AppController::setRipFieldsEnabled(bool expertField, bool nameStyleField)
{
    m_window->ui().expertConfigOption->setEnabled(expertField);
    m_window->ui().nameStyleTextField->setEnabled(nameStyleField);
}

void AppController::showStatusLine(const QString& line)
{
    m_window->ui().ptl->setText(line);
}

void AppController::showTimeRemaining(const QString& line)
{
    m_window->ui().ptf->setText(line);
}

void AppController::showRipTimeRemaining(const QString& time)
{
    m_window->ui().ripTimeLeft->setText(time.isEmpty() ? QString() : tr("about %1").arg(time));
}

void AppController::showRipSummary(const SessionReport& report)
{
    auto* box = new RipSummaryBox(report, m_window.get());
    box->setWindowModality(Qt::WindowModal);
    connect(box, &RipSummaryBox::readOffsetTaken, this, [this](const QString& drive, int offset) {
        // Kept for the drive it was found with, and shown as the read offset from now on.
        if (!drive.isEmpty())
            m_settings.setDriveReadOffset(drive, offset);
        m_settings.setReadOffset(offset);
    });
    box->open();
}

void AppController::showCoverArt(const QByteArray& image)
{
    auto* view = m_window->findChild<QLabel*>(QStringLiteral("coverArtView"));
    if (!view)
        return;
    const QPixmap cover = QPixmap::fromImage(QImage::fromData(image));
    view->setPixmap(cover);
    view->setVisible(!cover.isNull());
}

void AppController::showNotice(const QString& line)
{
    m_window->statusBar()->showMessage(line, 15000);
}

void AppController::logged(const QString& line, bool notice)
{
    if (notice)
        showNotice(line);
    if (m_logWindow)
        m_logWindow->appendLine(line);
}

void AppController::showAbout()
{
    QMessageBox::about(m_window.get(), tr("About Vesk"),
                       tr("<h3>Vesk %1</h3><p>Rips audio CDs and folders of CD tracks to tagged MP3 files with "
                          "the LAME encoder, with titles from CDDB and MusicBrainz.</p>"
                          "<p>Qt %2</p>")
                           .arg(QStringLiteral(VESK_VERSION), QString::fromLatin1(qVersion())));
}

void AppController::showLog()
{
    if (!m_logWindow)
        m_logWindow = new LogWindow(m_window.get());
    m_logWindow->show();
    m_logWindow->raise();
    m_logWindow->activateWindow();
}

void AppController::showTracksFinished(int finished, int total)
{
    QProgressBar* bar = m_window->ui().trackProgress;
    bar->setRange(0, qMax(1, total));
    bar->setValue(qBound(0, finished, total));
    bar->setFormat(tr("%1 of %2 tracks done").arg(finished).arg(total));
    bar->setTextVisible(true);
    m_window->statusBar()->clearMessage();
}

void AppController::showSessionEnded(const QStringList& failedTracks, const QString& summary)
{
    QProgressBar* bar = m_window->ui().trackProgress;
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    if (!m_albumFolder.isEmpty()) {
        // Unless the output folder changed meanwhile, the user still wants to find this album.
        m_lastAlbumFolder =
            m_settings.getChosenOutputDirectory() == m_albumOutput ? m_albumFolder : QString();
        m_albumFolder.clear();
        showOutputFolderNote();
    }
    if (!summary.isEmpty())
        m_window->statusBar()->showMessage(summary);
    else if (failedTracks.isEmpty())
        m_window->statusBar()->showMessage(tr("The rip has ended."));
    else
        m_window->statusBar()->showMessage(
            tr("The rip has ended; the encoder failed on: %1").arg(failedTracks.join(QStringLiteral(", "))));
}

void AppController::setRipSessionHooks(std::function<bool()> isRunning, std::function<void()> stop)
{
    m_isRipRunning = std::move(isRunning);
    m_stopRip = std::move(stop);
}

bool AppController::loadPreferences()
{
    const qsizetype expertLines = m_settings.expertItems().size();
    m_preferencesLoad = Preferences::loadPreferences(
        m_settings, m_preferencesPath.isEmpty() ? Preferences::preferencesPath() : m_preferencesPath);
    if (m_settings.expertItems().size() != expertLines)
        m_expertField->sizeForLoadedItems();
    return m_preferencesLoad.applied;
}

bool AppController::savePreferences()
{
    const QString path = m_preferencesPath.isEmpty() ? Preferences::preferencesPath() : m_preferencesPath;
    if (!m_preferencesLoad.maySave() && path == m_preferencesLoad.damaged) {
        veskLog(QStringLiteral("Not writing the preferences file %1: its damaged contents could not be kept "
                               "aside, and writing would lose them")
                    .arg(path));
        return false;
    }
    return Preferences::savePreferences(m_settings, path);
}

bool AppController::mayCloseWindow()
{
    if (m_terminated || m_quitConfirmed || !m_isRipRunning || !m_isRipRunning())
        return true;
    askToStopAndQuit();
    return false;
}

void AppController::askToStopAndQuit()
{
    if (m_quitQuestion) {
        m_quitQuestion->raise();
        m_quitQuestion->activateWindow();
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Question, QApplication::applicationDisplayName(),
                        tr("A rip is running. Stop it and quit?"), QMessageBox::NoButton, m_window.get());
    box->setObjectName(QStringLiteral("quitWhileRipping"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(
        tr("The tracks already finished stay in the album folder; the track being encoded is left out."));
    QPushButton* stopAndQuit = box->addButton(tr("Stop and quit"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    // Return or Escape keeps the rip: only a deliberate click ends it.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, stopAndQuit] {
        if (box->clickedButton() != stopAndQuit)
            return;
        m_quitConfirmed = true;
        // Once the question has gone: closing declines every dialog still open.
        QTimer::singleShot(0, m_window.get(), &QWidget::close);
    });
    m_quitQuestion = box;
    box->open();
}

void AppController::quitWithoutAsking()
{
    m_quitConfirmed = true;
    m_window->close();
}

void AppController::applicationShouldTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    if (m_isRipRunning && m_stopRip && m_isRipRunning())
        m_stopRip();
    // A dialog still waiting for the user (the track editor, the match chooser, an alert) would
    // keep the application alive without its window, and its answer could start a rip after the
    // preferences were saved: each is declined, as its cancel button would.
    for (QDialog* dialog : m_window->findChildren<QDialog*>())
        if (dialog->isVisible())
            dialog->reject();
    savePreferences();
}

QString AppController::sourceDialogStart() const
{
    const QString source = m_settings.getChosenCDName();
    if (!source.isEmpty() && QFileInfo(source).isDir())
        return source;
    const QString disc = m_cdFinder.findAudioCD();
    if (!disc.isEmpty())
        return disc;
    for (const QString& root : m_cdFinder.volumeRoots())
        if (QFileInfo(root).isDir())
            return root;
    return QDir::homePath();
}

void AppController::selectAudioCD()
{
    const QString folder = QFileDialog::getExistingDirectory(
        m_window.get(), tr("Choose a CD or a folder of tracks"), sourceDialogStart());
    if (!folder.isEmpty())
        m_settings.applyChosenSource({folder});
}

void AppController::selectTracks()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(m_window.get(), tr("Choose tracks"), sourceDialogStart(),
                                      tr("Audio tracks (*.aiff *.aif *.aifc *.wav);;Disc images (*.cue *.toc);;All files (*)"));
    // A disc image is a source of its own, not a track of a folder.
    if (files.size() == 1 && DiscSourcePath::isImage(files.first())) {
        m_settings.setChosenCDName(files.first());
        return;
    }
    m_settings.applyChosenSource(files);
}

void AppController::selectOutputDirectory()
{
    QString start = m_settings.getChosenOutputDirectory();
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = MusicFolder::path();
    if (!QFileInfo(start).isDir())
        start = QDir::homePath();
    const QString folder =
        QFileDialog::getExistingDirectory(m_window.get(), tr("Choose the output folder"), start);
    if (!folder.isEmpty())
        m_settings.applyChosenOutputDirectory(folder);
}

bool AppController::showHelp()
{
    const QString page = Resources::pathForResource(QStringLiteral("VeskHelp"), QStringLiteral("html"),
                                                    QStringLiteral("Vesk.help"));
    if (page.isEmpty())
        return false;
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    return true;
}

void AppController::runAlertWithTitle(const QString& title, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), title,
                                QMessageBox::Ok, m_window.get());
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(text);
    // The message box shows its informative text as rich text when it looks like markup; an
    // alert shows what it was given, so that label is switched to plain text too.
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    else
        box->setInformativeText(text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
