// The main window and its controller: controls bound to the settings, the expert list, alerts and
// help, the output field, start-up alerts, access keys, the disc listed before Start, the summary.
#include "app/gui/appcontroller.h"
#include "app/gui/expertcombobox.h"
#include "app/gui/logwindow.h"
#include "common/log.h"
#include "app/gui/mainwindow.h"
#include "app/gui/ripsummarybox.h"
#include "app/gui/tracklistbinding.h"
#include "common/resources.h"
#include "rip/disclisting.h"
#include "rip/lameprocess.h"
#include "rip/tracklistmodel.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <tuple>

namespace {
template <typename T> T* child(AppController& controller, const char* name)
{
    T* widget = controller.window().findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The alerts open on the window, each as "title | text".
QStringList openAlerts(AppController& controller)
{
    QStringList alerts;
    for (QMessageBox* box : controller.window().findChildren<QMessageBox*>())
        if (box->isVisible())
            alerts << box->text() + u" | "_qs + box->informativeText();
    return alerts;
}

QStringList shownItems(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// Types text into the field and leaves it with Return, as a user does.
void typeLine(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Every access key of the window's controls and menu titles, with who has it.
QMultiMap<QString, QString> accessKeys(QWidget& window)
{
    QMultiMap<QString, QString> keys;
    auto add = [&keys](const QString& text, const QString& owner) {
        if (const QKeySequence key = QKeySequence::mnemonic(text); !key.isEmpty())
            keys.insert(key.toString(), owner);
    };
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        add(button->text(), button->objectName());
    for (QLabel* label : window.findChildren<QLabel*>())
        add(label->text(), label->objectName());
    for (QGroupBox* group : window.findChildren<QGroupBox*>())
        add(group->title(), group->objectName());
    for (QTabWidget* tabs : window.findChildren<QTabWidget*>())
        for (int tab = 0; tab < tabs->count(); ++tab)
            add(tabs->tabText(tab), tabs->objectName());
    if (auto* main = qobject_cast<QMainWindow*>(&window))
        for (QAction* menu : main->menuBar()->actions())
            add(menu->text(), menu->text());
    return keys;
}
} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

TEST(AppControllerTest, ControlsAndSettingsAreBoundBothWaysAndMixedCountsAsOff)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    using T = Settings::Text;
    settings.setChosenTracks({u"9 Picked.wav"_qs});
    for (const auto& [name, field] : {std::pair{"chosenCD", T::ChosenCD},
                                      {"nameStyleTextField", T::NameStyle},
                                      {"chosenOutputDirectory", T::ChosenOutputDirectory},
                                      {"freedbServerField", T::FreedbServer},
                                      {"freedbEmailField", T::FreedbEmail}}) {
        QLineEdit* edit = child<QLineEdit>(controller, name);
        typeLine(edit, QLatin1String(name));
        EXPECT_EQ(settings.text(field), QLatin1String(name));
        settings.setText(field, u"from the session"_qs);
        EXPECT_EQ(edit->text(), u"from the session"_qs);
    }
    // Titles are shown as they are, never as markup.
    controller.showStatusLine(u"Processing: <b>Live</b> 100%2     (1 of 2)"_qs);
    controller.showTimeRemaining(u"<i>0:03</i>"_qs);
    for (const char* name : {"ptl", "ptf"}) {
        EXPECT_EQ(child<QLabel>(controller, name)->textFormat(), Qt::PlainText);
        EXPECT_TRUE(child<QLabel>(controller, name)->text().contains(QLatin1String("</")));
    }
    // Typing another source drops the tracks picked in the old one.
    EXPECT_TRUE(settings.chosenTracks().isEmpty());

    using O = Settings::Option;
    for (const auto& [name, option] : {std::pair{"spacesToUnderscores", O::SpacesToUnderscores},
                                       {"addID3Tags", O::AddID3Tags},
                                       {"makeAltPresetFaster", O::MakeAltPresetFaster},
                                       {"soundAlertWhenFinished", O::SoundAlertWhenFinished},
                                       {"editTrackInformation", O::EditTrackInformation},
                                       {"createSeparateArtistAlbumDirs", O::CreateSeparateArtistAlbumDirs},
                                       {"createReleaseFiles", O::CreateReleaseFiles},
                                       {"useMusicBrainz", O::UseMusicBrainz}}) {
        QCheckBox* box = child<QCheckBox>(controller, name);
        const bool before = settings.isOn(option);
        EXPECT_EQ(box->isChecked(), before) << name;
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(settings.isOn(option), !before) << name;
        settings.setCheckState(option, before ? Settings::On : Settings::Off);
        EXPECT_EQ(box->isChecked(), before) << name;
    }

    // The Z flag changes nothing: it shows the kept value but is not offered; the faster variant
    // is offered only for the presets that have one.
    QCheckBox* zFlag = child<QCheckBox>(controller, "zFlag");
    EXPECT_FALSE(zFlag->isEnabled());
    settings.setCheckState(O::ZFlag, Settings::On);
    EXPECT_TRUE(zFlag->isChecked());
    // Standard, extreme and medium have a faster variant; insane and cbr 192 none.
    QCheckBox* faster = child<QCheckBox>(controller, "makeAltPresetFaster");
    for (const auto& [row, hasFast] : {std::pair{0, true}, {1, true}, {2, false}, {3, true}, {4, false}}) {
        settings.switchBasicConfig(row);
        EXPECT_EQ(faster->isEnabled(), hasFast) << row;
    }

    QTest::mouseClick(child<QRadioButton>(controller, "basicPreset1"), Qt::LeftButton);
    EXPECT_EQ(settings.basicConfigOption(), Settings::basicPresetTitles().at(1));
    settings.selectBasicRow(3);
    EXPECT_TRUE(child<QRadioButton>(controller, "basicPreset3")->isChecked());
    controller.setRipFieldsEnabled(false, true);
    EXPECT_FALSE(child<ExpertComboBox>(controller, "expertConfigOption")->isEnabled());

    // A mixed check box counts as off, and is saved as off.
    QCheckBox* box = child<QCheckBox>(controller, "createReleaseFiles");
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(settings.checkState(O::CreateReleaseFiles), Settings::Mixed);
    EXPECT_FALSE(settings.shouldCreateReleaseFiles());
    EXPECT_EQ(Preferences::dictionaryFromSettings(settings).value(u"CreateReleaseFiles"_qs).toInt(), 0);
}

TEST(AppControllerTest, ExpertListUpkeepFollowsTheRealComboBox)
{
    TestEnvironment env;
    Preferences::writeDictionary({{u"ExpertConfigOption"_qs, QString()}}, Preferences::preferencesPath());
    Settings settings;
    AppController controller(settings);
    controller.show();
    auto* combo = child<ExpertComboBox>(controller, "expertConfigOption");
    // Opened on the empty list the drop-down offers a blank line; a typed line replaces it, once.
    combo->showPopup();
    combo->hidePopup();
    typeLine(combo->lineEdit(), u"-V 2"_qs);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    typeLine(combo->lineEdit(), u"-V 0 -q 0"_qs);
    EXPECT_EQ(shownItems(combo), (QStringList{u"-V 2"_qs, u"-V 0 -q 0"_qs}));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));
    EXPECT_EQ(settings.getExpertConfigOption(), (QStringList{u"-V"_qs, u"0"_qs, u"-q"_qs, u"0"_qs}));

    // Choosing a remembered line with the keyboard, clearing it and leaving the field forgets it.
    combo->showPopup();
    QTest::keyClick(combo->view(), Qt::Key_Up);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(combo->currentText(), u"-V 2"_qs);
    EXPECT_EQ(settings.expertSelectedIndex(), 0);
    typeLine(combo->lineEdit(), QString());
    EXPECT_EQ(shownItems(combo), (QStringList{u"-V 0 -q 0"_qs, QString()}));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));
}

// The drop-down shows one row more than the loaded lines, and grows with the blank line it
// offers (once, however often it opens), but never past five rows by itself.
TEST(AppControllerTest, ExpertDropDownRowsFollowTheLinesUpToFive)
{
    for (const auto& [stored, rows, afterPopUp] : {std::tuple{QString(), 1, 2},
                                                   {u"a, b"_qs, 3, 4},
                                                   {u"1, 2, 3, 4, 5"_qs, 5, 5},
                                                   {u"1, 2, 3, 4, "_qs, 5, 5}}) {
        TestEnvironment env;
        Preferences::writeDictionary({{u"ExpertConfigOption"_qs, stored}}, Preferences::preferencesPath());
        Settings settings;
        AppController controller(settings);
        controller.show();
        auto* combo = child<ExpertComboBox>(controller, "expertConfigOption");
        EXPECT_EQ(combo->maxVisibleItems(), rows) << stored.toStdString();
        for (int i = 0; i < 2; ++i) {
            combo->showPopup();
            combo->hidePopup();
        }
        EXPECT_EQ(combo->maxVisibleItems(), afterPopUp) << stored.toStdString();
        EXPECT_EQ(shownItems(combo).count(QString()), 1) << stored.toStdString();
        EXPECT_TRUE(shownItems(combo).constLast().isEmpty());
        EXPECT_EQ(settings.expertItems(), shownItems(combo));
    }
}

// Alerts and help: what reaches the user, literally and without blocking.
TEST(AppControllerTest, AlertsAndHelp)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    controller.show();
    controller.runAlertWithTitle(u"Disc 100% <b>read</b>"_qs, u"%@ <i>as is</i>"_qs);
    QMessageBox* box = controller.window().findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible() && box->windowModality() == Qt::WindowModal);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (label->textFormat() == Qt::PlainText)
            shown << label->text();
    EXPECT_TRUE(shown.contains(u"Disc 100% <b>read</b>"_qs) && shown.contains(u"%@ <i>as is</i>"_qs))
        << shown.join(u'|').toStdString();
    box->button(QMessageBox::Ok)->click();
    controller.showSessionEnded({u"Three"_qs});
    EXPECT_TRUE(controller.window().statusBar()->currentMessage().contains(u"Three"_qs));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"file"_qs, &catcher, "open");
    EXPECT_TRUE(controller.showHelp());
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_TRUE(catcher.urls.first().toLocalFile().endsWith(u"/Vesk.help/VeskHelp.html"_qs));
    EXPECT_GT(QFileInfo(catcher.urls.first().toLocalFile()).size(), 1000);
    QTemporaryDir empty;
    Resources::setResourceDirectory(empty.path());
    EXPECT_FALSE(controller.showHelp());
    EXPECT_EQ(catcher.urls.size(), 1);
    QDesktopServices::unsetUrlHandler(u"file"_qs);
}

// The field holds the folder albums are made in, nothing more: a file of an earlier version
// (which stored that folder) reads as it, is saved as it, and the note under the field says
// where albums go.
TEST(AppControllerTest, TheOutputFieldIsTheFolderAlbumsGoInto)
{
    TestEnvironment env;
    Preferences::writeDictionary({{u"OutputDirectory"_qs, u"/home/u/out10"_qs}},
                                 Preferences::preferencesPath());
    Settings settings;
    AppController controller(settings);
    QLineEdit* field = child<QLineEdit>(controller, "chosenOutputDirectory");
    QLabel* note = child<QLabel>(controller, "outputFolderNote");
    EXPECT_EQ(field->text(), u"/home/u/out10"_qs);
    EXPECT_EQ(note->text(), u"Albums go into /home/u/out10, each as \"Artist - Album\"."_qs);
    settings.setCheckState(Settings::Option::CreateSeparateArtistAlbumDirs, Settings::On);
    EXPECT_EQ(note->text(), u"Albums go into /home/u/out10, each as Artist/Album."_qs);
    // A new source changes nothing in the field.
    settings.setChosenCDName(u"/media/u/Other Disc"_qs);
    EXPECT_EQ(field->text(), u"/home/u/out10"_qs);
    typeLine(field, u"~/rips/"_qs);
    EXPECT_TRUE(note->text().startsWith(u"Albums go into "_qs + env.home() + u"/rips,"_qs));
    typeLine(field, QString());
    EXPECT_EQ(note->text(), u"Choose the folder albums are made in."_qs);
    typeLine(field, u"/home/u/out11/"_qs);
    controller.applicationShouldTerminate();
    EXPECT_EQ(Preferences::readDictionary(Preferences::preferencesPath())->value(u"OutputDirectory"_qs),
              u"/home/u/out11"_qs);
}

// What the user must know before a rip is said once, when the window opens: a preferences file
// that could not be read (its bytes kept aside, and only then written over) and a missing LAME.
TEST(AppControllerTest, StartUpAlertsForDamagedPreferencesAndAMissingEncoder)
{
    TestEnvironment env;
    const QString path = Preferences::preferencesPath();
    const QByteArray damaged =
        "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>AddID3Tags</key><int";
    ASSERT_TRUE(writeTestFile(path, damaged));
    {
        Settings settings;
        AppController controller(settings);
        EXPECT_TRUE(openAlerts(controller).isEmpty());
        controller.show();
        controller.show();
        const QStringList alerts = openAlerts(controller);
        ASSERT_EQ(alerts.size(), 1) << alerts.join(u'\n').toStdString();
        EXPECT_TRUE(alerts[0].contains(path + u" could not be read"_qs) &&
                    alerts[0].contains(path + u".damaged"_qs))
            << alerts[0].toStdString();
        controller.applicationShouldTerminate();
    }
    EXPECT_EQ(readTestFile(path + u".damaged"_qs), damaged);
    EXPECT_TRUE(Preferences::readDictionary(path).has_value());

    // When no copy can be made (here every name beside it holds other bytes already), the
    // window says so and never writes over the damaged file.
    const QByteArray other = damaged + "\n";
    ASSERT_TRUE(writeTestFile(path, other));
    for (int i = 1; i < 100; ++i)
        ASSERT_TRUE(writeTestFile(path + u".damaged.%1"_qs.arg(i), QByteArray::number(i)));
    {
        Settings settings;
        AppController controller(settings);
        controller.show();
        EXPECT_TRUE(openAlerts(controller).value(0).contains(u"nor copied aside"_qs));
        controller.applicationShouldTerminate();
    }
    EXPECT_EQ(readTestFile(path), other);

    QTemporaryDir empty;
    Resources::setResourceDirectory(empty.path());
    ScopedPath noLame(empty.path());
    QFile::remove(path);
    Settings plain;
    AppController withoutLame(plain);
    withoutLame.show();
    const QStringList alerts = openAlerts(withoutLame);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains(u"install the lame package (for example: apt install lame)"_qs))
        << alerts[0].toStdString();
}

TEST(MainWindowTest, AccessKeysAreUniqueAndTheMenusHaveTheirFirstLetters)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    const QMultiMap<QString, QString> keys = accessKeys(controller.window());
    for (const QString& key : keys.uniqueKeys())
        EXPECT_EQ(keys.count(key), 1)
            << key.toStdString() << ": " << keys.values(key).join(u',').toStdString();
    EXPECT_EQ(keys.value(s("Alt+F")), s("&File"));
    EXPECT_EQ(keys.value(s("Alt+R")), s("&Rip"));
    EXPECT_EQ(keys.value(s("Alt+H")), s("&Help"));
    EXPECT_EQ(keys.value(s("Alt+S")), s("startButton"));
}

TEST(MainWindowTest, TheDiscIsListedBeforeStart)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString folder = work.path() + s("/Audio CD");
    QDir().mkpath(folder);
    ASSERT_TRUE(writeCDTrack(folder + s("/1 Intro.aiff"), 588 * 75 * 61, true));
    ASSERT_TRUE(writeCDTrack(folder + s("/2 Outro.aiff"), 588 * 75 * 5, true));
    Settings settings;
    AppController controller(settings);
    LAMEProcess session(settings);
    DiscListing listing;
    TrackListBinding binding(controller.window(), settings, listing, session, controller.cdFinder());
    settings.setChosenCDName(folder);
    controller.show();
    MainWindow& window = controller.window();
    auto* table = window.findChild<QTableView*>(s("trackTable"));
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return table->model()->rowCount() == 2 && listing.lengthsKnown(); }, 5000));
    EXPECT_EQ(table->model()->index(0, TrackListModel::LengthColumn).data().toString(), s("1:01"));
    EXPECT_EQ(table->model()->index(1, TrackListModel::TitleColumn).data().toString(), s("2 Outro"));
    EXPECT_TRUE(table->isColumnHidden(TrackListModel::ArtistColumn));
    EXPECT_EQ(window.findChild<QTabWidget*>(s("mainTabs"))->currentWidget()->objectName(), s("tracksTab"));
    // The window shrinks to a laptop's screen; the list takes what it grows by.
    window.resize(700, 400);
    QTest::qWait(50);
    EXPECT_LE(window.height(), 620);
    const int tableHeight = table->height();
    window.resize(700, window.height() + 300);
    QTest::qWait(50);
    EXPECT_GE(table->height(), tableHeight + 250);
    // Edited in the album field, the album is the list's.
    QTest::keyClicks(window.findChild<QLineEdit*>(s("albumArtist")), s("Typed Band"));
    EXPECT_EQ(listing.album().getArtist(), s("Typed Band"));
}

// What a user must know reaches the status line; "Show log" shows every line of the session.
TEST(MainWindowTest, NoticesAndTheLogReachTheWindow)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    {
        LogCapture quiet;
        veskLog(u"a line logged before the log window opened"_qs);
    }
    const QString notice = u"Not audio tracks, left out of /cd: cover.jpg"_qs;
    controller.logged(notice, true);
    EXPECT_EQ(controller.window().statusBar()->currentMessage(), notice);
    controller.showLog();
    auto* log = controller.window().findChild<LogWindow*>(u"logWindow"_qs);
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->text().contains(u"a line logged before the log window opened"_qs));
    controller.logged(u"a later line"_qs, false);
    EXPECT_TRUE(log->text().endsWith(u"a later line"_qs));
    EXPECT_EQ(controller.window().statusBar()->currentMessage(), notice);
}

TEST(MainWindowTest, TheSummarySaysHowTheRipEnded)
{
    SessionReport report;
    report.albumFolder = s("/music/Band - Record");
    report.total = report.done = 3;
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip is finished"));
    EXPECT_EQ(RipSummaryBox::textFor(report), s("All 3 tracks are in /music/Band - Record."));
    RipSummaryBox finished(report, nullptr);
    EXPECT_NE(finished.openFolderButton(), nullptr);

    report.done = 1;
    report.skipped = 1;
    report.failures.append(
        {2, s("Song 2"), s("02 - Song 2.mp3"), s("the encoder ended without making a file")});
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip is finished, but some tracks failed"));
    EXPECT_EQ(RipSummaryBox::textFor(report),
              s("1 of 3 tracks are in /music/Band - Record. 1 track failed, 1 track skipped.\n\n"
                "Track 2, Song 2, failed: the encoder ended without making a file"));

    report = SessionReport{};
    report.ending = SessionReport::Ending::Stopped;
    report.albumFolder = s("/music/Band - Record");
    report.total = 4;
    report.stopped = 4;
    EXPECT_EQ(RipSummaryBox::titleFor(report), s("The rip was stopped"));
    EXPECT_TRUE(RipSummaryBox::textFor(report).startsWith(s("No file was made.")));
    RipSummaryBox stopped(report, nullptr);
    EXPECT_EQ(stopped.openFolderButton(), nullptr);
    EXPECT_EQ(stopped.useOffsetButton(), nullptr);
}

// AccurateRip's verdict is in the summary, and the read offset it found is kept for the drive
// once the user takes it, beside another drive's.
TEST(MainWindowTest, TheReadOffsetAccurateRipFoundIsKeptForTheDrive)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    settings.setDriveReadOffset(s("PLEXTOR PX-760A"), 30);
    SessionReport report;
    report.albumFolder = s("/music/Band - Record");
    report.total = report.done = 2;
    report.accurateRip = {s("Track 1: not accurately ripped (the database has 9 copies that agree with each other)")};
    report.accurateRipSummary = s("No track accurately ripped.");
    report.foundReadOffset = 667;
    report.drive = s("HL-DT-ST DVD=RAM;GH24");
    EXPECT_TRUE(RipSummaryBox::textFor(report).endsWith(s("AccurateRip: No track accurately ripped.")));
    EXPECT_TRUE(RipSummaryBox::detailsFor(report).contains(s("Track 1: not accurately ripped")));
    controller.showRipSummary(report);
    auto* box = controller.window().findChild<RipSummaryBox*>(s("ripSummary"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->useOffsetButton(), nullptr);
    EXPECT_EQ(box->useOffsetButton()->text(), s("&Use read offset +667"));
    box->useOffsetButton()->click();
    EXPECT_EQ(settings.readOffset(), 667);
    EXPECT_EQ(settings.driveReadOffset(report.drive), 667);
    EXPECT_EQ(settings.driveReadOffset(s("plextor px-760a")), 30);
    EXPECT_FALSE(settings.driveReadOffset(s("TSSTcorp")));
    box->close();
}

#include "appcontroller_test.moc"
