#include "app/gui/appcontroller.h"
#include "app/gui/desktopsoundplayer.h"
#include "app/gui/expertcombobox.h"
#include "app/gui/mainwindow.h"
#include "app/preferences.h"
#include "settings/settings.h"
#include "common/resources.h"
#include "support/testenvironment.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
template <typename T> T* child(AppController& controller, const char* name)
{
    T* widget = controller.window().findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
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
    const std::pair<const char*, Settings::Text> fields[] = {
        {"chosenCD", Settings::Text::ChosenCD},
        {"chosenOutputDirectory", Settings::Text::ChosenOutputDirectory},
        {"nameStyleTextField", Settings::Text::NameStyle},
        {"freedbServerField", Settings::Text::FreedbServer},
    };
    settings.setChosenTracks({QStringLiteral("9 Picked.wav")});
    for (const auto& [name, field] : fields) {
        QLineEdit* edit = child<QLineEdit>(controller, name);
        typeLine(edit, QLatin1String(name));
        EXPECT_EQ(settings.text(field), QLatin1String(name));
        settings.setText(field, QStringLiteral("from the session"));
        EXPECT_EQ(edit->text(), QStringLiteral("from the session"));
    }
    // Typing another source drops the tracks picked in the old one.
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
    settings.setptl(QStringLiteral("Processing: One     (1 of 2)"));
    EXPECT_EQ(child<QLabel>(controller, "ptl")->text(), settings.getptl());

    const std::pair<const char*, bool (Settings::*)() const> boxes[] = {
        {"spacesToUnderscores", &Settings::shouldConvertSpacesToUnderscores},
        {"addID3Tags", &Settings::shouldAddID3Tags},
        {"makeAltPresetFaster", &Settings::shouldMakeAltPresetFaster},
        {"soundAlertWhenFinished", &Settings::shouldSoundAlertWhenFinished},
        {"editTrackInformation", &Settings::shouldEditTrackInformation},
        {"createSeparateArtistAlbumDirs", &Settings::shouldCreateSeparateArtistAlbumDirs},
        {"createReleaseFiles", &Settings::shouldCreateReleaseFiles},
    };
    for (const auto& [name, accessor] : boxes) {
        QCheckBox* box = child<QCheckBox>(controller, name);
        const bool before = (settings.*accessor)();
        EXPECT_EQ(box->isChecked(), before) << name;
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ((settings.*accessor)(), !before) << name;
    }
    settings.setCheckState(Settings::Option::ZFlag, Settings::On);
    EXPECT_TRUE(child<QCheckBox>(controller, "zFlag")->isChecked());

    QTest::mouseClick(child<QRadioButton>(controller, "basicPreset1"), Qt::LeftButton);
    EXPECT_EQ(settings.basicConfigOption(), Settings::basicPresetTitles().at(1));
    settings.selectBasicRow(3);
    EXPECT_TRUE(child<QRadioButton>(controller, "basicPreset3")->isChecked());
    settings.setExpertTextFieldEnabled(false);
    EXPECT_FALSE(child<ExpertComboBox>(controller, "expertConfigOption")->isEnabled());

    // A mixed check box counts as off, and is saved as off.
    settings.setCheckState(Settings::Option::AddID3Tags, Settings::On);
    QCheckBox* box = child<QCheckBox>(controller, "addID3Tags");
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(settings.checkState(Settings::Option::AddID3Tags), Settings::Mixed);
    EXPECT_FALSE(settings.shouldAddID3Tags());

    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::Mixed);
    EXPECT_EQ(child<QCheckBox>(controller, "createReleaseFiles")->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(settings.shouldCreateReleaseFiles());
    EXPECT_EQ(
        Preferences::dictionaryFromSettings(settings).value(QStringLiteral("CreateReleaseFiles")).toInt(), 0);
}

TEST(AppControllerTest, ExpertListUpkeepFollowsTheRealComboBox)
{
    TestEnvironment env;
    Preferences::writeDictionary({{QStringLiteral("ExpertConfigOption"), QString()}},
                                 Preferences::preferencesPath());
    Settings settings;
    AppController controller(settings);
    controller.show();
    auto* combo = child<ExpertComboBox>(controller, "expertConfigOption");
    ASSERT_EQ(combo->count(), 0);
    const int rows = combo->maxVisibleItems();

    // Opening the drop-down on an empty list offers one blank line, once.
    for (int i = 0; i < 2; ++i) {
        combo->showPopup();
        combo->hidePopup();
        EXPECT_EQ(shownItems(combo), QStringList{QString()});
        EXPECT_EQ(combo->maxVisibleItems(), rows + 1);
    }

    // A typed line replaces the blank line and is remembered once.
    typeLine(combo->lineEdit(), QStringLiteral("-V 2"));
    EXPECT_EQ(shownItems(combo), QStringList{QStringLiteral("-V 2")});
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    typeLine(combo->lineEdit(), QStringLiteral("-V 0 -q 0"));
    EXPECT_EQ(shownItems(combo), (QStringList{QStringLiteral("-V 2"), QStringLiteral("-V 0 -q 0")}));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));
    EXPECT_EQ(settings.getExpertConfigOption(), (QStringList{QStringLiteral("-V"), QStringLiteral("0"),
                                                             QStringLiteral("-q"), QStringLiteral("0")}));

    // Choosing a remembered line with the keyboard, clearing it and leaving the field forgets it.
    combo->showPopup();
    EXPECT_EQ(shownItems(combo).last(), QString());
    QTest::keyClick(combo->view(), Qt::Key_Up);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(combo->currentText(), QStringLiteral("-V 2"));
    EXPECT_EQ(settings.expertSelectedIndex(), 0);
    typeLine(combo->lineEdit(), QString());
    EXPECT_EQ(shownItems(combo), (QStringList{QStringLiteral("-V 0 -q 0"), QString()}));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));
}

TEST(AppControllerTest, FirstStartShowsTheDefaultsAndQuittingSavesAllKeys)
{
    TestEnvironment env;
    const QString path = Preferences::preferencesPath();
    Settings settings;
    AppController controller(settings);
    controller.show();
    EXPECT_EQ(child<QLineEdit>(controller, "freedbServerField")->text(), QStringLiteral("gnudb.gnudb.org"));
    EXPECT_TRUE(child<QRadioButton>(controller, "basicPreset0")->isChecked());
    EXPECT_EQ(child<ExpertComboBox>(controller, "expertConfigOption")->currentText(),
              QStringLiteral("--nohist -V 2 -q 2"));
    EXPECT_FALSE(QFileInfo::exists(path));
    typeLine(child<QLineEdit>(controller, "chosenOutputDirectory"), QStringLiteral("/data/Music/My Disc"));
    controller.window().close();
    const auto saved = Preferences::readDictionary(path);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), Preferences::keys().size());
    EXPECT_EQ(saved->value(QStringLiteral("OutputDirectory")).toString(), QStringLiteral("/data/Music"));
}

TEST(AppControllerTest, AlertsAndTheSessionEndReachTheUserWithoutBlocking)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    controller.show();
    settings.runAlertWithTitle(QStringLiteral("Disc 100% <b>read</b>"), QStringLiteral("%@ <i>as is</i>"));
    QMessageBox* box = controller.window().findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            shown << label->text();
        }
    EXPECT_TRUE(shown.contains(QStringLiteral("Disc 100% <b>read</b>")));
    EXPECT_TRUE(shown.contains(QStringLiteral("%@ <i>as is</i>")));
    box->button(QMessageBox::Ok)->click();

    controller.showSessionEnded({QStringLiteral("Three")});
    EXPECT_TRUE(controller.window().statusBar()->currentMessage().contains(QStringLiteral("Three")));
    DesktopSoundPlayer player; // falls back to the beep without a sound server; must not block or crash
    player.playFinishedSound();
    player.playFinishedSound();
}

TEST(AppControllerTest, DroppedFilesAreLoggedAndChangeNothing)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    QWidget* target = controller.window().centralWidget();
    const QString source = settings.getChosenCDName();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/music/1 One.aiff")),
                   QUrl::fromLocalFile(QStringLiteral("/music/2 Two.aiff"))});
    const Qt::DropActions actions = Qt::CopyAction | Qt::LinkAction;
    QDragEnterEvent enter(QPoint(5, 5), actions | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::LinkAction);

    LogCapture log;
    QDropEvent drop(QPointF(5, 5), actions, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("shizzat: /music/1 One.aiff, /music/2 Two.aiff")});
    EXPECT_EQ(settings.getChosenCDName(), source);
    EXPECT_TRUE(settings.chosenTracks().isEmpty());
}

TEST(AppControllerTest, HelpOpensTheBundledPageOrNothing)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    EXPECT_TRUE(controller.showHelp());
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_TRUE(catcher.urls.first().toLocalFile().endsWith(QStringLiteral("/Vesk.help/VeskHelp.html")));
    EXPECT_GT(QFileInfo(catcher.urls.first().toLocalFile()).size(), 1000);

    QTemporaryDir empty;
    Resources::setResourceDirectory(empty.path());
    EXPECT_FALSE(controller.showHelp());
    EXPECT_EQ(catcher.urls.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

#include "appcontroller_test.moc"
