#include "model/album.h"

#include <gtest/gtest.h>

TEST(Album, RemoveTrackNumberRemovesTheFirstMatchOnly)
{
    Album album;
    for (const auto& [title, number] : {std::pair{"one", 1}, {"two", 2}, {"two again", 2}, {"three", 3}})
        album.addTrack(Track::trackWithArtist(u"a"_qs, QString::fromUtf8(title), number));
    album.removeTrackNumber(2);
    album.removeTrackNumber(9);
    ASSERT_EQ(album.getTracks().size(), 3);
    EXPECT_EQ(album.getTracks()[1].getTitle(), u"two again"_qs);
    EXPECT_EQ(album.getTracks()[2].getTrackNum(), 3);
}

// Track numbers come from positions, not from the file names.
TEST(Album, DefaultAlbumsNumberTheTracksByPosition)
{
    EXPECT_TRUE(Album::defaultAlbum(-2).getTracks().isEmpty());
    const Album titled = Album::defaultAlbumWithTrackTitles({u"7 X"_qs, u"9 Y"_qs});
    ASSERT_EQ(titled.getTracks().size(), 2);
    EXPECT_EQ(titled.getTracks()[1], Track::trackWithArtist(u"Artist Name"_qs, u"9 Y"_qs, 2));
}
