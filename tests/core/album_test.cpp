#include "model/album.h"

#include <gtest/gtest.h>

// Track numbers come from positions, not from the file names.
TEST(Album, DefaultAlbumsNumberTheTracksByPosition)
{
    EXPECT_TRUE(Album::defaultAlbum(-2).getTracks().isEmpty());
    const Album titled = Album::defaultAlbumWithTrackTitles({u"7 X"_qs, u"9 Y"_qs});
    ASSERT_EQ(titled.getTracks().size(), 2);
    EXPECT_EQ(titled.getTracks()[1], Track::trackWithArtist(u"Artist Name"_qs, u"9 Y"_qs, 2));
}
