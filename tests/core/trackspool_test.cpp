// Tracks from a disc are read one after another into the session's cache while encoders take
// the ones already read: what reaches the encoder is the sound, byte for byte, the read-ahead
// is bounded and the cache goes with the session.
#include "common/resources.h"
#include "rip/lameprocess.h"
#include "rip/trackspool.h"
#include "settings/settings.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QBuffer>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {
// A track's sound as a disc gives it: a stream only, a pattern of its own.
struct StreamTrack : TrackSource {
    StreamTrack(QString name, int sectors, char seed) : m_name(std::move(name))
    {
        m_sound.resize(qsizetype(sectors) * samplesPerSector * 4);
        for (qsizetype i = 0; i < m_sound.size(); ++i)
            m_sound[i] = char(seed + i * 7 + i / 4096);
    }
    QString name() const override { return m_name; }
    qint64 sampleFrames() const override { return m_sound.size() / 4; }
    QString filePath() const override { return QString(); }
    std::unique_ptr<QIODevice> openSound() const override
    {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(m_sound);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    QString problem() const override { return QString(); }
    QString m_name;
    QByteArray m_sound;
};

quint32 zlibCrc(const QByteArray& bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

QStringList ripFolders(const QString& cacheRoot)
{
    return QDir(cacheRoot).entryList({s("rip-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}
} // namespace

TEST(TrackSpool, ReadsInOrderNoFurtherAheadThanAllowedAndLeavesNothing)
{
    TestEnvironment env;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + s("/vesk");
    // A session killed long ago left its folder; the next one clears it.
    ASSERT_TRUE(QDir().mkpath(cache + s("/rip-999999-stale")));
    const QString folder = TrackSpool::newFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(ripFolders(cache), QStringList({QFileInfo(folder).fileName()}));

    std::vector<std::shared_ptr<const TrackSource>> tracks;
    for (int i = 0; i < 3; ++i)
        tracks.push_back(std::make_shared<StreamTrack>(QStringLiteral("Track %1").arg(i + 1), 75 + i, char(i)));
    {
        TrackSpool spool(folder, 1);
        QList<TrackSpool::Read> reads;
        QObject::connect(&spool, &TrackSpool::trackRead, [&](const TrackSpool::Read& read) { reads << read; });
        spool.start(tracks);
        ASSERT_TRUE(QTest::qWaitFor([&] { return reads.size() == 1; }, 5000));
        QTest::qWait(100);
        EXPECT_EQ(reads.size(), 1); // one track ahead, not more
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return reads.size() == i + 1; }, 5000));
            const auto& sound = static_cast<const StreamTrack&>(*tracks[size_t(i)]).m_sound;
            EXPECT_EQ(reads[i].index, i);
            EXPECT_EQ(readTestFile(reads[i].path), sound);
            EXPECT_EQ(reads[i].crc32, zlibCrc(sound));
            spool.release(i);
            EXPECT_FALSE(QFileInfo::exists(reads[i].path));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(folder));
}

// A session of stream tracks: each encoder gets its track's sound exactly (the stand-in
// encoder copies what it is given into its file), several at once, and the cache goes at the end
// and on Stop.
TEST(TrackSpool, TheSessionEncodesEachTrackFromTheSpool)
{
    TestEnvironment env;
    QTemporaryDir work;
    QTemporaryDir resources;
    // An encoder that copies the raw sound it is given (the word after --little-endian) into the
    // file after it.
    ASSERT_TRUE(writeScript(resources.filePath(s("lame_intel")),
                            "#!/bin/sh\nin=\nout=\nprev=\nfor a in \"$@\"; do\n"
                            "  [ \"$prev\" = --little-endian ] && in=$a\n  [ -n \"$in\" ] && [ \"$prev\" = \"$in\" ] && out=$a\n"
                            "  prev=$a\ndone\ncat \"$in\" > \"$out\" || exit 3\n"
                            "printf '  1/1   (100%%)|    0:00/    0:00|    0:00/    0:00|   1.0x|    0:00 \\n' >&2\n"));
    Resources::setResourceDirectory(resources.path());

    const QString disc = work.filePath(s("disc"));
    QDir().mkpath(disc);
    const QStringList names{s("1 One.aiff"), s("2 Two.aiff"), s("3 Three.aiff"), s("4 Four.aiff")};
    std::map<QString, std::shared_ptr<StreamTrack>> streams;
    char seed = 1;
    for (const QString& name : names) {
        ASSERT_TRUE(writeCDTrack(disc + u'/' + name, 588, true)); // what the folder lists
        streams[name] = std::make_shared<StreamTrack>(name, 150 + 75 * seed, seed);
        ++seed;
    }
    Settings settings;
    settings.setOutputDirectory(work.filePath(s("out")));
    QDir().mkpath(work.filePath(s("out")));
    settings.setChosenCDName(disc);
    settings.setEncoderJobs(2);
    LAMEProcess session(settings);
    session.cdFinder().lookNowhere();
    session.setTrackSourceFactory(
        [&](const QString&, const QString& name) -> std::shared_ptr<const TrackSource> { return streams[name]; });
    QStringList readings;
    QObject::connect(&session, &LAMEProcess::trackJobChanged, [&](const TrackJob& job) {
        if (job.state == TrackJob::State::Waiting && job.reading == TrackJob::Reading::Done)
            readings << job.source->name();
    });
    QSignalSpy ended(&session, &LAMEProcess::sessionEnded);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + s("/vesk");

    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 30000));
    EXPECT_TRUE(ended.first().first().toStringList().isEmpty()) << ended.first().first().toStringList().join(u'\n').toStdString();
    EXPECT_EQ(readings, names); // read in disc order
    const QString album = work.filePath(s("out/Artist - Title"));
    const QStringList made = folderEntries(album);
    ASSERT_EQ(made.size(), names.size()) << made.join(u',').toStdString();
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(readTestFile(album + u'/' + made[i]), streams[names[i]]->m_sound) << made[i].toStdString();
    EXPECT_TRUE(ripFolders(cache).isEmpty());

    // Stopped while reading and encoding: the cache goes too.
    settings.setChosenCDName(disc);
    session.runEncoder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ripFolders(cache).isEmpty(); }, 5000));
    session.stop();
    EXPECT_TRUE(ripFolders(cache).isEmpty());
    EXPECT_TRUE(session.isStartEnabled());
}
