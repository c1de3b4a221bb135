#include "encoder/lame/genrelistparser.h"

#include <gtest/gtest.h>

namespace {

QStringList parse(const char* latin1)
{
    return GenreListParser::parse(GenreListParser::textFromBytes(QByteArray(latin1)));
}

} // namespace

TEST(GenreListParser, NamesRunFromTheFirstLetterToTheLineEnd)
{
    EXPECT_EQ(parse("  0 Blues\n 17 Rock\n"), (QStringList{u"Blues"_qs, u"Rock"_qs}));
    // Blanks, digits and punctuation after the first letter stay; a CR of a CR LF does not.
    EXPECT_EQ(parse("99 Rock & Roll\n100 Drum'n'Bass 2\r\n 27 Trip-Hop\n 8 Jazz+Funk"),
              (QStringList{u"Rock & Roll"_qs, u"Drum'n'Bass 2"_qs, u"Trip-Hop"_qs, u"Jazz+Funk"_qs}));
    // One character per byte: a Latin-1 letter starts a name like any other.
    EXPECT_EQ(parse("5 \xC9lectro\n"), QStringList{QString::fromUtf8("\xC3\x89lectro")});
}

TEST(GenreListParser, BlanksNumbersAloneAndForeignLinesGiveNoName)
{
    EXPECT_TRUE(parse("").isEmpty());
    EXPECT_TRUE(parse(" \n\n\t \r\n").isEmpty());
    // Blank lines between entries, a tail without letters, and a number on a line of its own
    // (its name is then read from the next line, as the scanner crosses line ends).
    EXPECT_EQ(parse("\n\n 1 Classic Rock\n\n\n 2 Country\n 3 \n 4 -- 5\n"),
              (QStringList{u"Classic Rock"_qs, u"Country"_qs}));
    EXPECT_EQ(parse("12\nDance\n"), QStringList{u"Dance"_qs});
    // A line without a genre number (a message from the encoder) is no entry and the scan ends.
    EXPECT_EQ(parse("lame: unrecognized option --genre-list\n 0 Blues\nWarning"), QStringList{u"Blues"_qs});
}
