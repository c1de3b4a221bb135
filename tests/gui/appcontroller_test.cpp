#include "app/gui/appcontroller.h"
#include "app/gui/expertcombobox.h"
#include "app/gui/mainwindow.h"
#include "common/resources.h"
#include "settings/preferences.h"
#include "settings/settings.h"
#include "support/testenvironment.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
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

#include "appcontroller_test.moc"
