// The MusicBrainz disc identifier and the albums read from the web service's JSON replies.
#include "lookup/musicbrainz/musicbrainzdiscid.h"
#include "lookup/musicbrainz/musicbrainzreleasereader.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
const QString kExampleId = QStringLiteral("gS6zk4Cm6ibbcetSKMEn_n_cXMU-");

QByteArray shared(const char* name)
{
    return readTestFile(QStringLiteral(VESK_SHARED_TESTDATA_DIR "/musicbrainz/") + QLatin1String(name));
}

QStringList trackTexts(const Album& album)
{
    QStringList texts;
    for (const Track& track : album.getTracks())
        texts.append(
            QStringLiteral("%1 %2 / %3").arg(track.getTrackNum()).arg(track.getArtist(), track.getTitle()));
    return texts;
}
} // namespace

TEST(MusicBrainzDiscId, ComputedByLibdiscidFromTheTableOfContents)
{
    const auto service = MusicBrainzDiscId::fromTOC(
        DiscTOC::fromOffsets({150, 6614, 32287, 54041, 61236, 88129, 92729, 115276, 153877}, 189343));
    ASSERT_TRUE(service);
    EXPECT_EQ(service->id(), QStringLiteral("IeldkVfIh1wep_M8CMuDvA0nQ7Q-"));
    const auto example =
        MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150}, 90150));
    ASSERT_TRUE(example);
    EXPECT_EQ(example->id(), kExampleId);
    // An enhanced CD: the data track of the second session is not part of the audio disc.
    const auto enhanced = MusicBrainzDiscId::fromTOC(
        DiscTOC::fromOffsets({150, 15150, 33150, 54150, 66150, 90150 + 11400}, 120000, 2));
    ASSERT_TRUE(enhanced);
    EXPECT_EQ(enhanced->id(), kExampleId);
    EXPECT_EQ(enhanced->trackCount(), 5);

    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({}, 90150)));
    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 15150, 15000}, 90150)));
    EXPECT_FALSE(MusicBrainzDiscId::fromTOC(DiscTOC::fromOffsets({150, 95000}, 90150)));
}

TEST(MusicBrainzReleaseReader, OneReleaseGivesTheAlbumUnderTheCddbAlbumRules)
{
    const auto matches =
        MusicBrainzReleaseReader::readMatches(shared("discid-one-release.json"), kExampleId, 5);
    ASSERT_TRUE(matches);
    ASSERT_EQ(matches->size(), 1);
    const Album& album = matches->first().album;
    EXPECT_EQ(album.getArtist(), QStringLiteral("Example Ensemble"));
    EXPECT_EQ(album.getTitle(), QStringLiteral("Example Album"));
    EXPECT_EQ(album.getYear(), QStringLiteral("2019"));
    EXPECT_EQ(trackTexts(album),
              QStringList({QStringLiteral("1 Example Ensemble / Morning Light"),
                           QStringLiteral("2 Example Ensemble & Guest Singer / Sur le pont"),
                           QStringLiteral("3 Example Ensemble / Пятая-Fifth"),
                           QStringLiteral("4 Example Ensemble / Interlude"),
                           QStringLiteral("5 Example Ensemble / Closing- Night")}));
    EXPECT_EQ(matches->first().line, QStringLiteral("Example Ensemble / Example Album, 2019, XE"));
}

TEST(MusicBrainzReleaseReader, WithoutAMediumListingTheDiscTheFirstWithItsTrackCountIsTaken)
{
    const auto matches =
        MusicBrainzReleaseReader::readMatches(shared("discid-two-releases.json"), QStringLiteral("other"), 1);
    ASSERT_TRUE(matches && matches->size() == 1);
    EXPECT_EQ(trackTexts(matches->first().album),
              QStringList{QStringLiteral("1 Example Ensemble / Bonus Intro")});
}

TEST(MusicBrainzReleaseReader, ABadReplyGivesNoAlbumAtAll)
{
    const QByteArray good = shared("discid-one-release.json");
    const auto edited = [&good](const char* from, const char* to) {
        return QByteArray(good).replace(from, to);
    };
    const struct {
        const char* what;
        QByteArray reply;
        qint32 tracks;
    } cases[] = {
        {"not JSON", "releases: none", 5},
        {"HTML", "<html><body><h1>502 Bad Gateway</h1></body></html>", 5},
        {"cut off", good.left(good.size() / 2), 5},
        {"no release list", shared("not-found.json"), 5},
        {"a list of its own", "[" + good + "]", 5},
        {"no media", edited("\"media\"", "\"mediums\""), 5},
        {"no tracks", edited("\"tracks\"", "\"trax\""), 5},
        {"fewer tracks than the disc", good, 6},
        {"no release title", edited("\"title\": \"Example Album\"", "\"title\": null"), 5},
        {"a credit without a name",
         edited("\"name\": \"Guest Singer\",\n         \"joinphrase\"", "\"joinphrase\""), 5},
        {"a blank track title", edited("\"title\": \"Interlude\"", "\"title\": \" \\n \""), 5},
        {"two tracks in one place", edited("\"position\": 4", "\"position\": 2"), 5},
        {"several megabytes", edited("\"releases\"", QByteArray(3 * 1024 * 1024, ' ') + "\"releases\""), 5},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(MusicBrainzReleaseReader::readMatches(c.reply, kExampleId, c.tracks)) << c.what;

    // A reply that lists no release at all is an answer: the disc is not known.
    const auto none = MusicBrainzReleaseReader::readMatches("{\"releases\": []}", kExampleId, 5);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());
}
