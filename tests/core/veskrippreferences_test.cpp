#include "app/preferences.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct RipRun {
    int exitCode = -1;
    QString err;
};

RipRun veskRip(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VESK_TEST_BINARY_DIR "/vesk-rip"), arguments);
    RipRun run;
    if (process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
    }
    return run;
}

QStringList made(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}
} // namespace

// vesk-rip starts from a preferences file (the user's own by default) and the command line
// overrides single values.
TEST(VeskRipPreferencesTest, RipsWithThePreferencesAndTheOverrides)
{
    TestEnvironment env;
    QTemporaryDir work;
    const QString cd = work.filePath(QStringLiteral("cd"));
    const QString out = work.filePath(QStringLiteral("out"));
    QDir().mkpath(cd);
    QDir().mkpath(out);
    for (int i = 1; i <= 2; ++i)
        ASSERT_TRUE(makeAiff(cd + QStringLiteral("/%1 Audio Track.aiff").arg(i), 0.5, 300 * i));

    const QVariantMap preferences{
        {QStringLiteral("OutputDirectory"), out},
        {QStringLiteral("MP3NameStyle"), QStringLiteral("%d.mp3")},
        {QStringLiteral("CreateReleaseFiles"), 1},
        {QStringLiteral("BasicConfigOption"), QStringLiteral("--nohist --preset medium")},
    };
    const QString named = work.filePath(QStringLiteral("rip.plist"));
    ASSERT_TRUE(Preferences::writeDictionary(preferences, named));
    const RipRun first = veskRip({QStringLiteral("--preferences"), named, cd});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const QStringList firstMade = made(out + QStringLiteral("/Artist - Title"));
    EXPECT_EQ(firstMade.filter(QStringLiteral(".mp3")),
              (QStringList{QStringLiteral("01.mp3"), QStringLiteral("02.mp3")}));
    EXPECT_EQ(firstMade.filter(QStringLiteral(".m3u")).size(), 1);
    EXPECT_EQ(firstMade.filter(QStringLiteral(".sfv")).size(), 1);

    // The user's own file is read without being named; --set turns a stored option off.
    ASSERT_TRUE(Preferences::writeDictionary(preferences, Preferences::preferencesPath()));
    const RipRun second = veskRip({QStringLiteral("--set"), QStringLiteral("CreateReleaseFiles=0"), cd});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(made(out + QStringLiteral("/Artist - Title 1")),
              (QStringList{QStringLiteral("01.mp3"), QStringLiteral("02.mp3")}));

    const RipRun missing =
        veskRip({QStringLiteral("--preferences"), work.filePath(QStringLiteral("none.plist")), cd});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Cannot read the preferences file")));
    EXPECT_EQ(veskRip({QStringLiteral("--set"), QStringLiteral("NoSuchKey=1"), cd}).exitCode, 2);
    EXPECT_EQ(veskRip({QStringLiteral("--set"), QStringLiteral("AddID3Tags=perhaps"), cd}).exitCode, 2);
}
