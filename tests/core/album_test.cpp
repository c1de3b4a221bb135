#include "model/album.h"

#include <gtest/gtest.h>

// Track numbers come from positions, not from the file names.
TEST(Album, DefaultAlbumsNumberTheTracksByPosition)
{
    EXPECT_TRUE(Album::defaultAlbum(-2).getTracks().isEmpty());
    const Album titled = Album::defaultAlbumWithTrackTitles({u"7 X"_qs, u"9 Y"_qs});
    ASSERT_EQ(titled.getTracks().size(), 2);
    EXPECT_EQ(titled.getTracks()[1], Track::trackWithArtist(QString(), u"9 Y"_qs, 2));
    // Nothing is invented: names take the placeholders.
    EXPECT_TRUE(titled.getArtist().isNull() && titled.getYear().isNull() && titled.getGenre().isNull());
    EXPECT_EQ(titled.artistForNames() + titled.titleForNames(), u"ArtistTitle"_qs);
}
