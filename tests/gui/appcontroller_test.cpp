#include "app/gui/appcontroller.h"
#include "app/gui/desktopsoundplayer.h"
#include "app/gui/expertcombobox.h"
#include "app/gui/mainwindow.h"
#include "app/preferences.h"
#include "app/settings.h"
#include "common/resources.h"
#include "support/testenvironment.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
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

ExpertComboBox* expertField(AppController& controller)
{
    return child<ExpertComboBox>(controller, "expertConfigOption");
}

QStringList shownItems(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// Types text into the expert field and leaves it with Return, as a user does.
void typeExpertLine(ExpertComboBox* combo, const QString& text)
{
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), text);
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
}
} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

TEST(AppControllerTest, ControlsAndSettingsAreBoundBothWays)
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
    for (const auto& [name, field] : fields) {
        QLineEdit* edit = child<QLineEdit>(controller, name);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("typed/%1").arg(QLatin1String(name)));
        EXPECT_EQ(settings.text(field), QStringLiteral("typed/%1").arg(QLatin1String(name)));
        settings.setText(field, QStringLiteral("from the session"));
        EXPECT_EQ(edit->text(), QStringLiteral("from the session"));
    }
    EXPECT_EQ(settings.getChosenFreedbServer(), QStringLiteral("from the session"));

    settings.setptl(QStringLiteral("Processing: One     (1 of 2)"));
    settings.setptf(QStringLiteral(" 0:42 "));
    EXPECT_EQ(child<QLabel>(controller, "ptl")->text(), settings.getptl());
    EXPECT_EQ(child<QLabel>(controller, "ptf")->text(), QStringLiteral(" 0:42 "));

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
    QCheckBox* zFlag = child<QCheckBox>(controller, "zFlag");
    settings.setCheckState(Settings::Option::ZFlag, Settings::On);
    EXPECT_TRUE(zFlag->isChecked());

    settings.setExpertTextFieldEnabled(false);
    settings.setNameStyleTextFieldEnabled(false);
    EXPECT_FALSE(expertField(controller)->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(controller, "nameStyleTextField")->isEnabled());
    settings.setExpertTextFieldEnabled(true);
    EXPECT_TRUE(expertField(controller)->isEnabled());
}

TEST(AppControllerTest, MixedCheckBoxesCountAsOff)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    QCheckBox* box = child<QCheckBox>(controller, "addID3Tags");
    ASSERT_TRUE(settings.shouldAddID3Tags()); // on in the defaults
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(settings.checkState(Settings::Option::AddID3Tags), Settings::Mixed);
    EXPECT_FALSE(settings.shouldAddID3Tags());

    settings.setCheckState(Settings::Option::CreateReleaseFiles, Settings::Mixed);
    QCheckBox* release = child<QCheckBox>(controller, "createReleaseFiles");
    EXPECT_EQ(release->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(settings.shouldCreateReleaseFiles());
    // Saved as off; loading leaves it in its first state.
    EXPECT_EQ(
        Preferences::dictionaryFromSettings(settings).value(QStringLiteral("CreateReleaseFiles")).toInt(), 0);
}

TEST(AppControllerTest, PresetCellsChooseTheEncoderWords)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    const QStringList titles = Settings::basicPresetTitles();
    QRadioButton* extreme = child<QRadioButton>(controller, "basicPreset1");
    QTest::mouseClick(extreme, Qt::LeftButton);
    EXPECT_EQ(settings.basicConfigOption(), titles.at(1));
    EXPECT_EQ(settings.getBasicConfigOption(), Settings::splitIntoWords(titles.at(1)));
    EXPECT_TRUE(extreme->toolTip().contains(titles.at(1)));

    QRadioButton* expert = child<QRadioButton>(controller, "basicPreset5");
    EXPECT_EQ(expert->text(), Settings::expertTitle());
    QTest::mouseClick(expert, Qt::LeftButton);
    EXPECT_FALSE(settings.getBasicConfigOption());
    typeExpertLine(expertField(controller), QStringLiteral("-V 4 -q 0"));
    EXPECT_EQ(settings.getExpertConfigOption(), (QStringList{QStringLiteral("-V"), QStringLiteral("4"),
                                                             QStringLiteral("-q"), QStringLiteral("0")}));

    settings.selectBasicRow(3);
    EXPECT_TRUE(child<QRadioButton>(controller, "basicPreset3")->isChecked());
}

TEST(AppControllerTest, ExpertListUpkeepFollowsTheRealComboBox)
{
    TestEnvironment env;
    const QString path = Preferences::preferencesPath();
    Preferences::writeDictionary({{QStringLiteral("ExpertConfigOption"), QString()}}, path);
    Settings settings;
    AppController controller(settings);
    controller.show();
    ExpertComboBox* combo = expertField(controller);
    ASSERT_EQ(combo->count(), 0);
    const int rows = combo->maxVisibleItems();

    // Opening the drop-down on an empty list offers one blank line, once.
    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(shownItems(combo), QStringList{QString()});
    EXPECT_EQ(combo->maxVisibleItems(), rows + 1);
    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->maxVisibleItems(), rows + 1);

    // Typing a line and leaving the field remembers it in place of the blank line, once.
    typeExpertLine(combo, QStringLiteral("-V 2"));
    EXPECT_EQ(shownItems(combo), QStringList{QStringLiteral("-V 2")});
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    typeExpertLine(combo, QStringLiteral("-V 0 -q 0"));
    EXPECT_EQ(shownItems(combo), (QStringList{QStringLiteral("-V 2"), QStringLiteral("-V 0 -q 0")}));
    EXPECT_EQ(combo->currentText(), QStringLiteral("-V 0 -q 0"));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));

    // Choosing a remembered line with the keyboard, clearing it and leaving the field forgets it.
    combo->showPopup();
    EXPECT_EQ(shownItems(combo).last(), QString());
    QAbstractItemView* list = combo->view();
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(combo->currentText(), QStringLiteral("-V 2"));
    EXPECT_EQ(settings.expertSelectedIndex(), 0);
    typeExpertLine(combo, QString());
    EXPECT_EQ(shownItems(combo), (QStringList{QStringLiteral("-V 0 -q 0"), QString()}));
    EXPECT_EQ(settings.expertItems(), shownItems(combo));
    EXPECT_TRUE(combo->currentText().isEmpty());
}

TEST(AppControllerTest, FirstStartShowsTheDefaultsAndQuittingSavesAllKeys)
{
    TestEnvironment env;
    const QString path = Preferences::preferencesPath();
    {
        Settings settings;
        AppController controller(settings);
        controller.show();
        EXPECT_EQ(child<QLineEdit>(controller, "freedbServerField")->text(),
                  QStringLiteral("gnudb.gnudb.org"));
        EXPECT_EQ(child<QLineEdit>(controller, "nameStyleTextField")->text(), QStringLiteral("%d - %t.mp3"));
        EXPECT_EQ(child<QLineEdit>(controller, "chosenOutputDirectory")->text(),
                  env.home() + QStringLiteral("/Music/Audio CD"));
        EXPECT_TRUE(child<QRadioButton>(controller, "basicPreset0")->isChecked());
        EXPECT_EQ(expertField(controller)->currentText(), QStringLiteral("--nohist -V 2 -q 2"));
        EXPECT_FALSE(QFileInfo::exists(path));

        QLineEdit* output = child<QLineEdit>(controller, "chosenOutputDirectory");
        output->clear();
        QTest::keyClicks(output, QStringLiteral("/data/Music/My Disc"));
        controller.window().close();
        ASSERT_TRUE(QFileInfo::exists(path));
    }
    const auto saved = Preferences::readDictionary(path);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 16);
    EXPECT_EQ(saved->value(QStringLiteral("OutputDirectory")).toString(), QStringLiteral("/data/Music"));

    Settings settings;
    AppController controller(settings);
    EXPECT_EQ(child<QLineEdit>(controller, "chosenOutputDirectory")->text(),
              QStringLiteral("/data/Music/Audio CD"));
}

TEST(AppControllerTest, EndingStopsARunningRipBeforeSaving)
{
    TestEnvironment env;
    const QString path = Preferences::preferencesPath();
    Settings settings;
    AppController controller(settings);
    QStringList order;
    controller.setRipSessionHooks([&] { return !settings.getptl().isEmpty(); },
                                  [&] {
                                      order << QStringLiteral("stop");
                                      EXPECT_FALSE(QFileInfo::exists(path));
                                      settings.setptl(QString());
                                  });
    settings.setptl(QStringLiteral("Processing: x     (1 of 3)"));
    controller.window().close();
    EXPECT_EQ(order, QStringList{QStringLiteral("stop")});
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST(AppControllerTest, AlertsAreWindowModalPlainTextAndDoNotBlock)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    controller.show();
    settings.runAlertWithTitle(QStringLiteral("Disc 100% <b>read</b>"),
                               QStringLiteral("%@ and %d stay <i>as they are</i>"));
    // Reaching this line means the alert did not block.
    QMessageBox* box = controller.window().findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    QStringList shown;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            shown << label->text();
        }
    EXPECT_TRUE(shown.contains(QStringLiteral("Disc 100% <b>read</b>")));
    EXPECT_TRUE(shown.contains(QStringLiteral("%@ and %d stay <i>as they are</i>")));
    box->button(QMessageBox::Ok)->click();
}

TEST(AppControllerTest, DroppedFilesAreLoggedAndChangeNothing)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    QWidget* target = controller.window().centralWidget();
    ASSERT_TRUE(target->acceptDrops());
    const QString source = settings.getChosenCDName();

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/music/1 One.aiff")),
                   QUrl::fromLocalFile(QStringLiteral("/music/2 Two.aiff"))});
    QMimeData colour;
    colour.setColorData(QColor(Qt::red));

    auto enter = [&](const QMimeData& data, Qt::DropActions actions) {
        QDragEnterEvent event(QPoint(5, 5), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    };
    EXPECT_EQ(enter(files, Qt::CopyAction | Qt::LinkAction | Qt::MoveAction), Qt::LinkAction);
    EXPECT_EQ(enter(files, Qt::CopyAction | Qt::MoveAction), Qt::CopyAction);
    EXPECT_EQ(enter(files, Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_EQ(enter(colour, Qt::CopyAction | Qt::LinkAction), Qt::IgnoreAction);

    LogCapture log;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::LinkAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
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
    EXPECT_TRUE(QFileInfo(catcher.urls.first().toLocalFile()).size() > 1000);

    QTemporaryDir empty;
    Resources::setResourceDirectory(empty.path());
    EXPECT_FALSE(controller.showHelp());
    EXPECT_EQ(catcher.urls.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

TEST(AppControllerTest, ButtonsAndProgressFollowTheSession)
{
    TestEnvironment env;
    Settings settings;
    AppController controller(settings);
    EXPECT_TRUE(controller.startButton()->isEnabled());
    EXPECT_FALSE(controller.stopButton()->isEnabled());
    EXPECT_FALSE(controller.skipButton()->isEnabled());
    controller.setButtonStates(false, true, true);
    EXPECT_FALSE(controller.startButton()->isEnabled());
    EXPECT_TRUE(controller.skipButton()->isEnabled());

    QProgressBar* bar = child<QProgressBar>(controller, "trackProgress");
    controller.showTrackStarted(3, 5);
    EXPECT_EQ(bar->maximum(), 5);
    EXPECT_EQ(bar->value(), 2);
    EXPECT_EQ(bar->text(), QStringLiteral("2 of 5 tracks done"));
    controller.showSessionEnded({QStringLiteral("Three")});
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_TRUE(controller.window().statusBar()->currentMessage().contains(QStringLiteral("Three")));
}


// Without a sound server the player falls back to the beep; either way it neither blocks nor crashes,
// and it can play again.
TEST(DesktopSoundPlayerTest, PlaysOrBeepsRepeatedly)
{
    DesktopSoundPlayer player;
    player.playFinishedSound();
    player.playFinishedSound();
    SUCCEED();
}

#include "appcontroller_test.moc"
