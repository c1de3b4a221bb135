// Discs opened through libcdio from images the tests write: the table of contents and the
// identifiers made from it (checked against libdiscid), CD-Text in Latin-1, UTF-8 and cdrdao's
// escapes, ISRCs and the catalogue number; libcdio 2.1's habits with images and how the private
// copy mends them; what the user is told when a disc or image cannot be opened.
#include "disc/cdiodisc.h"
#include "disc/cdiotracksource.h"
#include "disc/discerror.h"
#include "lookup/musicbrainz/musicbrainzdiscid.h"
#include "support/qstringprinter.h"
#include "support/testdiscimage.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cdio/cdio.h>
#include <discid/discid.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestDiscImage;

namespace {
class DiscImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(writeTestFile(path("sound.bin"), sound()));
        ASSERT_TRUE(writeTestFile(path("album.cue"), cueSheet("sound.bin")));
        ASSERT_TRUE(writeTestFile(path("tracks/disc.raw"), bigEndianSound()));
        ASSERT_TRUE(writeTestFile(path("tracks/data.iso"), dataTrack()));
        ASSERT_TRUE(writeTestFile(path("album.toc"), tocFile("tracks/disc.raw", "tracks/data.iso")));
    }
    QString path(const QString& name) const { return m_folder.filePath(name); }

    // The error opening source throws, or an empty text when it opens.
    static std::pair<DiscError::Reason, QString> failure(const QString& source)
    {
        try {
            CdioDisc::open(source);
        } catch (const DiscError& error) {
            return {error.discReason(), error.reason()};
        }
        return {DiscError::Reason::Stopped, QString()};
    }

    QTemporaryDir m_folder;
};

struct DiscIdFree {
    void operator()(DiscId* disc) const { discid_free(disc); }
};

// libdiscid's identifiers for the offsets (track 1 first) and lead-out.
std::pair<QString, QString> libdiscidIds(const QList<qint64>& offsets, int leadout)
{
    std::vector<int> table(100, 0);
    table[0] = leadout;
    for (qsizetype i = 0; i < offsets.size(); ++i)
        table[size_t(i + 1)] = int(offsets[i]);
    const std::unique_ptr<DiscId, DiscIdFree> disc(discid_new());
    EXPECT_TRUE(discid_put(disc.get(), 1, int(offsets.size()), table.data()));
    return {QString::fromLatin1(discid_get_freedb_id(disc.get())),
            QString::fromLatin1(discid_get_id(disc.get()))};
}

void expectCdText(const CdioDisc& disc)
{
    EXPECT_EQ(disc.title(), QStringLiteral("\u00d1and\u00fa"));
    EXPECT_EQ(disc.performer(), QStringLiteral("Caf\u00e9 Tacuba"));
    EXPECT_EQ(disc.title(1), QStringLiteral("Premi\u00e8re"));
    EXPECT_EQ(disc.performer(1), QStringLiteral("Zo\u00eb"));
    EXPECT_EQ(disc.title(2), QStringLiteral("Two"));
    EXPECT_TRUE(disc.performer(2).isNull());
    EXPECT_EQ(disc.title(3), QStringLiteral("Three"));
    EXPECT_EQ(disc.performer(3), QStringLiteral("Guest"));
    EXPECT_EQ(disc.isrc(1), QStringLiteral("DEA123456789"));
    EXPECT_EQ(disc.isrc(2), QStringLiteral("USABC9900002"));
    EXPECT_TRUE(disc.isrc(3).isNull());
    EXPECT_EQ(disc.mediaCatalogNumber(), QStringLiteral("0724384960650"));
}

const QList<qint64> audioOffsets{track1Start + 150, track2Start + 150, track3Start + 150};
} // namespace

TEST_F(DiscImages, CueSheetTableOfContentsCdTextAndIdentifiers)
{
    // The same disc as a Latin-1 sheet and as a UTF-8 one with a byte-order mark: libcdio reads
    // both as Latin-1.
    ASSERT_TRUE(writeTestFile(path("utf8.cue"), cueSheet("sound.bin", true)));
    for (const QString& name : {QStringLiteral("album.cue"), QStringLiteral("utf8.cue")}) {
        SCOPED_TRACE(name.toStdString());
        const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path(name));
        ASSERT_TRUE(disc->isImage());
        ASSERT_EQ(disc->tracks().size(), 3);
        const qint64 starts[] = {track1Start, track2Start, track3Start};
        const qint64 ends[] = {track2Start - 1, track3Start - 1, audioSectors - 1};
        for (int i = 0; i < 3; ++i) {
            const CdioDisc::Track& track = disc->tracks()[i];
            EXPECT_EQ(track.number, i + 1);
            EXPECT_TRUE(track.audio);
            EXPECT_EQ(track.firstSector, starts[i]);
            EXPECT_EQ(track.lastSector, ends[i]);
        }
        EXPECT_EQ(disc->pregapSectors(), track1Start);
        const std::optional<CdioDisc::Track> hidden = disc->track(0);
        ASSERT_TRUE(hidden);
        EXPECT_EQ(hidden->lastSector, track1Start - 1);
        EXPECT_FALSE(disc->track(4));
        expectCdText(*disc);

        const DiscTOC& toc = disc->toc();
        EXPECT_EQ(toc.trackOffsets(), audioOffsets);
        EXPECT_EQ(toc.leadoutBlock(), quint32(audioSectors + 150));
        EXPECT_EQ(toc.numSessions(), 1);
        const auto [freedbId, musicBrainzId] = libdiscidIds(audioOffsets, int(audioSectors + 150));
        EXPECT_EQ(discIdText(toc.cddbDiscId()), freedbId);
        const std::optional<MusicBrainzDiscId> musicBrainz = MusicBrainzDiscId::fromTOC(toc);
        ASSERT_TRUE(musicBrainz);
        EXPECT_EQ(musicBrainz->id(), musicBrainzId);
    }
}

TEST_F(DiscImages, CdrdaoTocWithDataTrackAndCdText)
{
    const std::shared_ptr<CdioDisc> disc = CdioDisc::open(path("album.toc"));
    ASSERT_EQ(disc->tracks().size(), 4);
    const CdioDisc::Track& data = disc->tracks()[3];
    EXPECT_FALSE(data.audio);
    EXPECT_EQ(data.firstSector, dataStart);
    EXPECT_EQ(data.lastSector, dataStart + dataSectors - 1);
    // The gap between the sessions is no sound of track 3.
    EXPECT_EQ(disc->tracks()[2].lastSector, audioSectors - 1);
    EXPECT_EQ(disc->tracks()[1].firstSector, track2Start);
    EXPECT_EQ(disc->pregapSectors(), track1Start);
    EXPECT_FALSE(disc->isAudioSector(audioSectors));
    EXPECT_TRUE(disc->isAudioSector(audioSectors - 1));
    EXPECT_TRUE(disc->isAudioSector(0));
    // The second language's title and the SIZE_INFO list are left out, the escapes read.
    expectCdText(*disc);

    // The identifiers treat the data track as DriveTOC does an enhanced CD's: CDDB counts it and
    // the whole disc, MusicBrainz only the audio session (the same disc as the cue sheet's).
    const DiscTOC& toc = disc->toc();
    EXPECT_EQ(toc.trackOffsets(), audioOffsets + QList<qint64>{dataStart + 150});
    EXPECT_EQ(toc.leadoutBlock(), quint32(dataStart + dataSectors + 150));
    EXPECT_EQ(toc.numSessions(), 2);
    EXPECT_EQ(discIdText(toc.cddbDiscId()),
              libdiscidIds(toc.trackOffsets(), int(dataStart + dataSectors + 150)).first);
    const std::optional<MusicBrainzDiscId> musicBrainz = MusicBrainzDiscId::fromTOC(toc);
    ASSERT_TRUE(musicBrainz);
    EXPECT_EQ(musicBrainz->id(), libdiscidIds(audioOffsets, int(audioSectors + 150)).second);
}

TEST_F(DiscImages, LibcdioImageHabitsAreMendedInThePrivateCopy)
{
    // The BIN/CUE driver reads the .bin named after the sheet, not the file its FILE line names:
    // with "album.bin" beside it, libcdio itself reads that one.
    QByteArray other(audioSectors * sectorBytes, '\x11');
    ASSERT_TRUE(writeTestFile(path("album.bin"), other));
    CdIo_t* raw = cdio_open_bincue(QFile::encodeName(path("album.cue")).constData());
    ASSERT_TRUE(raw);
    QByteArray sector(sectorBytes, '\0');
    ASSERT_EQ(cdio_read_audio_sector(raw, sector.data(), lsn_t(track2Start)), DRIVER_OP_SUCCESS);
    EXPECT_EQ(sector, other.mid(track2Start * sectorBytes, sectorBytes));
    cdio_destroy(raw);
    const std::unique_ptr<CdioSoundDevice> sound =
        CdioTrackSource(CdioDisc::open(path("album.cue")), 2, {ReadOptions::Mode::Fast}).openReader();
    EXPECT_EQ(sound->read(sectorBytes), expectedSound(track2Start, track2Start, 0));

    // A .toc's FILE is opened from the current folder, not the .toc's.
    const LogCapture libcdioSays;
    const QByteArray plainToc = "CD_DA\nTRACK AUDIO\nFILE \"tracks/disc.raw\" 0 00:10:50\n";
    ASSERT_TRUE(writeTestFile(path("relative.toc"), plainToc));
    ASSERT_NE(QDir::currentPath(), m_folder.path());
    EXPECT_FALSE(cdio_open_cdrdao(QFile::encodeName(path("relative.toc")).constData()));
    EXPECT_EQ(CdioDisc::open(path("relative.toc"))->tracks().first().lastSector, 799);

    // A LANGUAGE_MAP block over several lines, as cdrdao writes it, fails to open.
    const QByteArray mapToc = "CD_DA\nCD_TEXT {\n  LANGUAGE_MAP {\n    0 : EN\n  }\n  LANGUAGE 0 {\n"
                              "    TITLE \"Mapped\"\n  }\n}\nTRACK AUDIO\nFILE \"" +
                              QFile::encodeName(path("tracks/disc.raw")) + "\" 0 00:10:50\n";
    ASSERT_TRUE(writeTestFile(path("map.toc"), mapToc));
    EXPECT_FALSE(cdio_open_cdrdao(QFile::encodeName(path("map.toc")).constData()));
    EXPECT_EQ(CdioDisc::open(path("map.toc"))->title(), QStringLiteral("Mapped"));

    // A sheet written on Windows names the file with its old folder; the name alone is found.
    ASSERT_TRUE(writeTestFile(path("windows.cue"), cueSheet("C:\\Rips\\sound.bin")));
    EXPECT_EQ(CdioDisc::open(path("windows.cue"))->tracks().size(), 3);
}

TEST_F(DiscImages, FailuresSayWhatIsWrong)
{
    ASSERT_TRUE(writeTestFile(path("missing.cue"), cueSheet("gone.bin")));
    auto [reason, message] = failure(path("missing.cue"));
    EXPECT_EQ(reason, DiscError::Reason::BadImage);
    EXPECT_EQ(message,
              QStringLiteral("The cue sheet missing.cue names the file \u201cgone.bin\u201d (line 7), "
                             "which is not in %1.")
                  .arg(m_folder.path()));

    std::tie(reason, message) = failure(QStringLiteral("/dev/vesk-no-such-drive"));
    EXPECT_EQ(reason, DiscError::Reason::NoDrive);
    EXPECT_EQ(message, QStringLiteral("There is no drive /dev/vesk-no-such-drive."));
    std::tie(reason, message) = failure(path("sound.bin"));
    EXPECT_EQ(reason, DiscError::Reason::NoDrive);
    EXPECT_TRUE(message.contains(QLatin1String("neither a CD drive nor a disc image")))
        << message.toStdString();
    std::tie(reason, message) = failure(path("nothing.toc"));
    EXPECT_EQ(reason, DiscError::Reason::BadImage);
    EXPECT_TRUE(message.startsWith(QLatin1String("There is no disc image"))) << message.toStdString();
    if (geteuid() != 0) {
        ASSERT_TRUE(writeTestFile(path("sr0"), QByteArray()));
        ASSERT_TRUE(QFile::setPermissions(path("sr0"), QFileDevice::Permissions()));
        std::tie(reason, message) = failure(path("sr0"));
        EXPECT_EQ(reason, DiscError::Reason::NoPermission);
        EXPECT_TRUE(message.contains(QLatin1String("add yourself to the cdrom group")))
            << message.toStdString();
    }

    // What libcdio cannot read says so with the user's names and lines, not the private copy's.
    const QByteArray sheet = cueSheet("sound.bin");
    const auto sheetFailure = [&](const QByteArray& text) {
        EXPECT_TRUE(writeTestFile(path("bad.cue"), text));
        const auto [kind, words] = failure(path("bad.cue"));
        EXPECT_EQ(kind, DiscError::Reason::BadImage);
        EXPECT_FALSE(words.contains(QLatin1String("image.cue")) || words.contains(QLatin1String("image.bin")))
            << words.toStdString();
        return words;
    };
    EXPECT_EQ(
        sheetFailure(QByteArray(sheet).replace("REM DATE 1999", "ARTWORK cover.jpg")),
        QStringLiteral("libcdio cannot open the disc image bad.cue: bad.cue line 2: warning: unrecognized "
                       "keyword: ARTWORK"));
    EXPECT_TRUE(sheetFailure(QByteArray(sheet).replace("    INDEX 01 00:06:70\n",
                                                       "    INDEX 01 00:06:70\n    POSTGAP 00:02:00\n"))
                    .contains(QLatin1String("(POSTGAP on line 24)")));
    EXPECT_TRUE(sheetFailure(cueSheet("sound.bin", false, "WAVE")).contains(QLatin1String("in a WAVE file")));
    ASSERT_TRUE(writeTestFile(path("two.bin"), sound()));
    EXPECT_TRUE(sheetFailure(QByteArray(sheet).replace("  TRACK 02 AUDIO",
                                                       "FILE \"two.bin\" BINARY\n  TRACK 02 AUDIO"))
                    .contains(QLatin1String("several files")));

    // A .toc whose audio tracks do not follow each other in one file would be read from the wrong
    // places.
    ASSERT_TRUE(writeTestFile(path("gap.toc"), QByteArray(tocFile("tracks/disc.raw", "tracks/data.iso"))
                                                   .replace("00:03:25 00:03:45", "00:03:30 00:03:40")));
    std::tie(reason, message) = failure(path("gap.toc"));
    EXPECT_EQ(reason, DiscError::Reason::BadImage);
    EXPECT_TRUE(message.contains(QLatin1String("one after the other in one file (track 2")))
        << message.toStdString();
}
