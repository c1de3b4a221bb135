// The frames LAME cannot write, added to MP3s the real LAME made and read back by TagLib and,
// for a second opinion, by ffprobe; LAME's own frames, the audio and the ID3v1 tag untouched.
#include "output/id3/id3extrawriter.h"
#include "support/testenvironment.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>

namespace {
using namespace TagLib::ID3v2;

QString text(const TagLib::String& value)
{
    return QString::fromStdString(value.to8Bit(true));
}

// An MP3 of a 3 s tone tagged by LAME as a rip tags it; without a year when year is empty.
bool makeMp3(const QString& path, const QString& year)
{
    const QString wav = path + u".wav"_qs;
    QStringList arguments{u"--quiet"_qs, u"--add-id3v2"_qs, u"--tt"_qs, u"Title"_qs,
                          u"--ta"_qs,    u"Artist"_qs,      u"--tl"_qs, u"Album"_qs,
                          u"--tn"_qs,    u"3/12"_qs,        u"--tg"_qs, u"Rock"_qs,
                          u"--tc"_qs,    u"ripped"_qs,      u"--tv"_qs, u"TPE2=Band"_qs,
                          u"--tv"_qs,    u"TPOS=1/2"_qs,    u"--tv"_qs, u"TSRC=GBAYE0000001"_qs};
    if (!year.isEmpty())
        arguments << u"--ty"_qs << year;
    const bool made =
        QProcess::execute(u"sox"_qs, {u"-n"_qs, u"-r"_qs, u"44100"_qs, u"-c"_qs, u"2"_qs, u"-b"_qs, u"16"_qs,
                                      wav, u"synth"_qs, u"3"_qs, u"sine"_qs, u"440"_qs}) == 0 &&
        QProcess::execute(u"lame"_qs, arguments << wav << path) == 0;
    QFile::remove(wav);
    return made;
}

// Every frame as "ID=text", in the tag's order.
QStringList frames(const QString& path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QStringList all;
    if (file.hasID3v2Tag())
        for (const Frame* frame : file.ID3v2Tag()->frameList())
            all << QString::fromLatin1(frame->frameID().data(), int(frame->frameID().size())) + u'=' +
                       text(frame->toString());
    return all;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

int majorVersion(const QString& path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    return file.hasID3v2Tag() ? int(file.ID3v2Tag()->header()->majorVersion()) : 0;
}

// What follows the ID3v2 tag: the MPEG frames and the ID3v1 tag.
QByteArray afterTag(const QByteArray& mp3)
{
    qint64 size = 10;
    for (int i = 6; i < 10; ++i)
        size += qint64(uchar(mp3[i]) & 0x7F) << (7 * (9 - i));
    return mp3.mid(size);
}

QString id(int n)
{
    return u"a1b2c3d4-0000-4000-8000-00000000000%1"_qs.arg(n);
}

class Id3ExtrasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(makeMp3(mp3, u"1999"_qs));
        ASSERT_EQ(
            QProcess::execute(u"ffmpeg"_qs, {u"-v"_qs, u"error"_qs, u"-f"_qs, u"lavfi"_qs, u"-i"_qs,
                                             u"color=c=red:s=16x16"_qs, u"-frames:v"_qs, u"1"_qs, coverPath}),
            0);
        cover = readTestFile(coverPath);
        QFile::remove(coverPath);
        all = {cover,
               {},
               ReplayGainValues{-6.52, 0.988525},
               ReplayGainValues{-5.1, 1.0},
               id(1),
               id(2),
               id(3),
               id(4),
               id(5),
               u"lwHl8fGzJyLXQR33ug60E8jhf4k-"_qs,
               u"JP"_qs,
               u"2001-02-03"_qs,
               u"1987-06-05"_qs,
               s("ビクター"),
               u"VICP-1234"_qs};
    }

    QTemporaryDir dir;
    const QString mp3 = dir.filePath(u"03 - Title.mp3.part"_qs);
    const QString coverPath = dir.filePath(u"cover.png"_qs);
    QByteArray cover;
    ExtraTags all;
};
} // namespace

TEST_F(Id3ExtrasTest, AddsTheFramesAndKeepsLamesTagVersionAndAudio)
{
    const QByteArray before = readTestFile(mp3);
    const QStringList lameFrames = frames(mp3);
    ASSERT_EQ(majorVersion(mp3), 3);
    QString failure;
    ASSERT_TRUE(Id3ExtraWriter::write(mp3, all, failure)) << failure.toStdString();
    const QByteArray after = readTestFile(mp3);
    EXPECT_EQ(afterTag(after), afterTag(before));
    EXPECT_TRUE(after.right(128).startsWith("TAG"));
    EXPECT_EQ(majorVersion(mp3), 3);
    // LAME's frames with their values, LAME's year rather than the other date, the original year
    // only (2.3 has no full date for it), each new frame once.
    QStringList expected = lameFrames;
    expected << u"APIC=[image/png]"_qs << u"UFID="_qs << s("TPUB=ビクター") << u"TDOR=1987"_qs;
    for (const char* frame : {"REPLAYGAIN_TRACK_GAIN] -6.52 dB", "REPLAYGAIN_TRACK_PEAK] 0.988525",
                              "REPLAYGAIN_ALBUM_GAIN] -5.10 dB", "REPLAYGAIN_ALBUM_PEAK] 1.000000",
                              "MusicBrainz Album Id] a1b2c3d4-0000-4000-8000-000000000001",
                              "MusicBrainz Release Group Id] a1b2c3d4-0000-4000-8000-000000000002",
                              "MusicBrainz Album Artist Id] a1b2c3d4-0000-4000-8000-000000000003",
                              "MusicBrainz Artist Id] a1b2c3d4-0000-4000-8000-000000000004",
                              "MusicBrainz Disc Id] lwHl8fGzJyLXQR33ug60E8jhf4k-",
                              "MusicBrainz Album Release Country] JP", "CATALOGNUMBER] VICP-1234"})
        expected << u"TXXX=["_qs + QString::fromUtf8(frame);
    EXPECT_EQ(sorted(frames(mp3)), sorted(expected));
    EXPECT_TRUE(lameFrames.contains(u"TDRC=1999"_qs));

    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    const FrameList pictures = file.ID3v2Tag()->frameList("APIC");
    ASSERT_EQ(pictures.size(), 1u);
    const auto* picture = dynamic_cast<const AttachedPictureFrame*>(pictures.front());
    EXPECT_EQ(picture->type(), AttachedPictureFrame::FrontCover);
    EXPECT_EQ(text(picture->mimeType()), u"image/png"_qs);
    EXPECT_TRUE(picture->description().isEmpty());
    EXPECT_EQ(QByteArray(picture->picture().data(), int(picture->picture().size())), cover);
    const FrameList ids = file.ID3v2Tag()->frameList("UFID");
    ASSERT_EQ(ids.size(), 1u);
    const auto* id = dynamic_cast<const UniqueFileIdentifierFrame*>(ids.front());
    EXPECT_EQ(text(id->owner()), u"http://musicbrainz.org"_qs);
    EXPECT_EQ(QByteArray(id->identifier().data(), int(id->identifier().size())), all.recordingId.toUtf8());

    // ffprobe reads the tag with its own parser.
    QProcess ffprobe;
    ffprobe.start(u"ffprobe"_qs, {u"-v"_qs, u"error"_qs, u"-show_entries"_qs, u"format_tags"_qs, u"-of"_qs,
                                  u"default=nw=1"_qs, mp3});
    ASSERT_TRUE(ffprobe.waitForFinished(60000));
    const QString probed = QString::fromUtf8(ffprobe.readAllStandardOutput());
    EXPECT_TRUE(probed.contains(u"TAG:REPLAYGAIN_TRACK_GAIN=-6.52 dB\n"_qs)) << probed.toStdString();
    EXPECT_TRUE(probed.contains(u"TAG:MusicBrainz Album Id="_qs + all.releaseId + u'\n'));
    EXPECT_TRUE(probed.contains(s("TAG:publisher=ビクター\n")));
    EXPECT_EQ(folderEntries(dir.path()), QStringList{u"03 - Title.mp3.part"_qs});
}

// Writing again replaces frames of the kinds written and leaves the rest; a 2.4 tag stays 2.4,
// and a file without a year gets the date.
TEST_F(Id3ExtrasTest, WritingAgainReplacesOnlyThoseFrames)
{
    QString failure;
    ASSERT_TRUE(Id3ExtraWriter::write(mp3, all, failure)) << failure.toStdString();
    ASSERT_TRUE(Id3ExtraWriter::write(mp3, all, failure)) << failure.toStdString();
    const QStringList once = frames(mp3);
    ExtraTags later;
    later.albumGain = ReplayGainValues{2.1, 0.5};
    ASSERT_TRUE(Id3ExtraWriter::write(mp3, later, failure)) << failure.toStdString();
    QStringList expected = once;
    expected.removeOne(u"TXXX=[REPLAYGAIN_ALBUM_GAIN] -5.10 dB"_qs);
    expected.removeOne(u"TXXX=[REPLAYGAIN_ALBUM_PEAK] 1.000000"_qs);
    expected << u"TXXX=[REPLAYGAIN_ALBUM_GAIN] +2.10 dB"_qs << u"TXXX=[REPLAYGAIN_ALBUM_PEAK] 0.500000"_qs;
    EXPECT_EQ(sorted(frames(mp3)), sorted(expected));

    const QString newer = dir.filePath(u"newer.mp3"_qs);
    ASSERT_TRUE(makeMp3(newer, {}));
    {
        TagLib::MPEG::File file(QFile::encodeName(newer).constData());
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4));
    }
    ASSERT_TRUE(Id3ExtraWriter::write(newer, all, failure)) << failure.toStdString();
    EXPECT_EQ(majorVersion(newer), 4);
    EXPECT_TRUE(frames(newer).contains(u"TDRC=2001-02-03"_qs));
    EXPECT_TRUE(frames(newer).contains(u"TDOR=1987-06-05"_qs));
}

// Nothing is written, the file stays byte for byte, and no copy is left behind.
TEST_F(Id3ExtrasTest, RefusalsLeaveTheFileAsItWas)
{
    const QString text = dir.filePath(u"notes.mp3"_qs);
    ASSERT_TRUE(writeTestFile(text, "These are no MPEG frames, only words.\n"));
    const QString locked = dir.filePath(u"locked.mp3"_qs);
    ASSERT_TRUE(QFile::copy(mp3, locked));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    ExtraTags gif = all;
    gif.frontCover = "GIF89a" + QByteArray(100, 'x');
    ExtraTags huge = all;
    huge.frontCover = cover + QByteArray(10 * 1024 * 1024, '\0');

    const QStringList entries = folderEntries(dir.path());
    const struct {
        QString path;
        ExtraTags tags;
        QString reason;
    } refused[] = {{text, all, u"is not an MP3"_qs},
                   {locked, all, u"is read-only"_qs},
                   {dir.filePath(u"gone.mp3"_qs), all, u"does not exist"_qs},
                   {mp3, gif, u"neither a JPEG nor a PNG"_qs},
                   {mp3, huge, u"more than the 10 MB"_qs}};
    for (const auto& attempt : refused) {
        const QByteArray before = readTestFile(attempt.path);
        QString failure;
        EXPECT_FALSE(Id3ExtraWriter::write(attempt.path, attempt.tags, failure));
        EXPECT_TRUE(failure.contains(attempt.reason)) << failure.toStdString();
        EXPECT_EQ(readTestFile(attempt.path), before);
    }
    EXPECT_EQ(folderEntries(dir.path()), entries);

    // A disk that fills up while the tag grows (a small tmpfs needs root to mount).
    const QString small = dir.filePath(u"small"_qs);
    ASSERT_TRUE(QDir().mkpath(small));
    if (::geteuid() != 0 || QProcess::execute(u"mount"_qs, {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs, u"size=120k"_qs,
                                                            u"tmpfs"_qs, small}) != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString full = small + u"/full.mp3"_qs;
    QFile::copy(mp3, full);
    const QByteArray before = readTestFile(full);
    ExtraTags bigCover = all;
    bigCover.frontCover = cover + QByteArray(40 * 1024, '\0');
    QString failure;
    const bool written = Id3ExtraWriter::write(full, bigCover, failure);
    const QByteArray after = readTestFile(full);
    const QStringList left = folderEntries(small);
    QProcess::execute(u"umount"_qs, {small});
    EXPECT_FALSE(written);
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_EQ(after, before);
    EXPECT_EQ(left, QStringList{u"full.mp3"_qs});
}
