#include "model/album.h"

#include <gtest/gtest.h>

TEST(Album, RemoveTrackNumberRemovesFirstMatchOnlyAndKeepsNumbers)
{
    Album album;
    album.addTrack(Track::trackWithArtist(QStringLiteral("a"), QStringLiteral("one"), 1));
    album.addTrack(Track::trackWithArtist(QStringLiteral("a"), QStringLiteral("two"), 2));
    album.addTrack(Track::trackWithArtist(QStringLiteral("a"), QStringLiteral("two again"), 2));
    album.addTrack(Track::trackWithArtist(QStringLiteral("a"), QStringLiteral("three"), 3));
    album.removeTrackNumber(2);
    ASSERT_EQ(album.getTracks().size(), 3);
    EXPECT_EQ(album.getTracks()[1].getTitle(), QStringLiteral("two again"));
    album.removeTrackNumber(9);
    EXPECT_EQ(album.getTracks().size(), 3);
    EXPECT_EQ(album.getTracks()[2].getTrackNum(), 3);
}

TEST(Album, DefaultAlbumsCarryTheDefaultTextsAndPositionNumbers)
{
    const Album none = Album::defaultAlbum(-2);
    EXPECT_TRUE(none.getTracks().isEmpty());
    EXPECT_EQ(none.getYear(), QStringLiteral("1900"));
    EXPECT_EQ(none.getComments(), QStringLiteral("Ripped by Vesk"));

    const Album three = Album::defaultAlbum(3);
    ASSERT_EQ(three.getTracks().size(), 3);
    EXPECT_EQ(three.getTracks()[2].getTrackNum(), 3);
    EXPECT_EQ(three.getTracks()[2].getTitle(), QStringLiteral("Track Title"));

    const Album titled = Album::defaultAlbumWithTrackTitles({QStringLiteral("7 X"), QStringLiteral("9 Y")});
    ASSERT_EQ(titled.getTracks().size(), 2);
    EXPECT_EQ(titled.getTracks()[1].getTrackNum(), 2);
    EXPECT_EQ(titled.getTracks()[1].getTitle(), QStringLiteral("9 Y"));
    EXPECT_EQ(titled.getTracks()[0].getArtist(), QStringLiteral("Artist Name"));
    EXPECT_EQ(titled.getArtist(), QStringLiteral("Artist"));
    EXPECT_TRUE(Album().getArtist().isNull());
}
