#include "encoder/lame/lameprogress.h"
#include "support/qstringprinter.h"

#include <gtest/gtest.h>

// What LAME's progress output ends with, as read from the real program, and what is no estimate.
TEST(EncoderEstimate, OnlyTheEncodersEstimateIsShown)
{
    struct Case {
        const char* chunk;
        const char* shown; // nullptr: no estimate
        qint64 seconds;
    };
    const Case cases[] = {
        {"\r  1494/2298   (65%)|    0:01/    0:02|    0:02/    0:03|   27.703x|    0:01 ", " 0:01 ", 1},
        {"|   12:47 ", "12:47 ", 767},
        {"|    0:03 \n", "0:03 \n", 3},
        {"|    1:02:03 ", "1:02:03 ", 3723},
        {"|   123 h ", "123 h ", 442800},
        {"|     :  \r", nullptr, 0},
        {"ReplayGain: +4.3dB\n", nullptr, 0},
        {"Unknown ID3v1 genre number: '999'.\n", nullptr, 0},
        {"abcdef", nullptr, 0},
        {" 0:03", nullptr, 0}, // five characters or fewer change nothing
    };
    for (const Case& c : cases) {
        const auto estimate = LameProgress::fromChunk(QString::fromLatin1(c.chunk));
        ASSERT_EQ(estimate.has_value(), c.shown != nullptr) << c.chunk;
        if (estimate) {
            EXPECT_EQ(estimate->shown, QString::fromLatin1(c.shown)) << c.chunk;
            EXPECT_EQ(estimate->seconds, c.seconds) << c.chunk;
        }
    }
}
