#include "app/settings.h"
#include "editor/gui/trackinfo.h"
#include "editor/gui/trackwindowcontroller.h"
#include "rip/lameprocess.h"
#include "support/testenvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

class RipWithEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_cd = m_work.path() + u"/cd"_qs;
        m_out = m_work.path() + u"/music"_qs;
        ASSERT_TRUE(QDir().mkpath(m_cd));
        ASSERT_TRUE(QDir().mkpath(m_out));
        ASSERT_TRUE(makeAiff(m_cd + u"/1 Audio Track.aiff"_qs, 1.0));
        m_settings.setVolumeRoots({});
        m_settings.setChosenCDName(m_cd);
        m_settings.setOutputDirectory(m_out + u"/cd"_qs);
        m_settings.setText(Settings::Text::NameStyle, u"%d - %t.mp3"_qs);
        m_settings.setCheckState(Settings::Option::AddID3Tags, Settings::On);
        m_settings.setCheckState(Settings::Option::EditTrackInformation, Settings::On);
        m_session.setTrackEditor(&m_editor);
        QSignalSpy done(&m_editor, &TrackInfo::genreListDone);
        ASSERT_TRUE(m_editor.isGenreListDone() || done.wait(60000));
    }
    // Starts a rip; whileShown runs inside the editor. True when the session ended (or never started).
    bool rip(const std::function<void()>& whileShown)
    {
        QSignalSpy ended(&m_session, &LAMEProcess::sessionEnded);
        QTimer::singleShot(0, &m_editor, [&] {
            whileShown();
            if (m_editor.trackWindowController()->isVisible())
                m_editor.trackWindowController()->reject();
        });
        m_session.runEncoder();
        return !m_session.isRunning() || QTest::qWaitFor([&] { return ended.count() > 0; }, 120000);
    }

    TestEnvironment m_environment;
    QTemporaryDir m_work;
    QString m_cd;
    QString m_out;
    Settings m_settings;
    QWidget m_mainWindow;
    TrackInfo m_editor{&m_mainWindow};
    LAMEProcess m_session{m_settings};
};

} // namespace

TEST_F(RipWithEditorTest, AnEditedTitleReachesTheFileNameAndTheTag)
{
    ASSERT_TRUE(rip([&] {
        TrackWindowController* window = m_editor.trackWindowController();
        EXPECT_EQ(m_editor.tableView(u"trackTitle"_qs, 0), u"1 Audio Track"_qs);
        window->cellAtIndex(0)->setText(u"The Band"_qs);
        window->cellAtIndex(1)->setText(u"First/Album"_qs);
        window->synchArtistButton()->click();
        QAbstractItemModel* model = window->tableView()->model();
        model->setData(model->index(0, 1), u"Edited: Song"_qs);
        window->genrePopUp()->setCurrentText(u"Jazz"_qs);
        window->okButton()->click();
    }));

    const QString folder = m_out + u"/The Band - First-Album"_qs;
    ASSERT_EQ(entries(folder), QStringList{u"01 - Edited- Song.mp3"_qs});
    TagLib::MPEG::File file(QFile::encodeName(folder + u"/01 - Edited- Song.mp3"_qs).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->title().to8Bit(true), "Edited- Song");
    EXPECT_EQ(tag->artist().to8Bit(true), "The Band");
    EXPECT_EQ(tag->album().to8Bit(true), "First-Album");
    EXPECT_EQ(tag->genre().to8Bit(true), "Jazz");
}

TEST_F(RipWithEditorTest, CancellingTheEditorEndsTheRipWithNothingMade)
{
    ASSERT_TRUE(rip([&] { m_editor.trackWindowController()->cancelButton()->click(); }));
    EXPECT_TRUE(m_session.isStartEnabled());
    EXPECT_TRUE(entries(m_out).isEmpty());
}
