#include "output/crc32.h"
#include "output/veskfilegenerator.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {
quint32 zlibCrc(QByteArrayView bytes)
{
    return quint32(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                           z_size_t(bytes.size())));
}

QByteArray randomBytes(qsizetype size, std::mt19937& random)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random());
    return bytes;
}
} // namespace

TEST(Crc32, TableAndKnownValues)
{
    const Crc32::Table& table = Crc32::table();
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
    EXPECT_EQ(Crc32::checksum(QByteArrayView("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32::checksum(QByteArrayView()), 0u);
    EXPECT_EQ(Crc32::checksumSliced(QByteArrayView()), 0u);
    EXPECT_EQ(Crc32::checksumBytewise(QByteArrayView()), 0u);
    EXPECT_EQ(VeskFileGenerator::get_crc(QByteArrayView()), 0u);
}

// Every length up to a few hundred bytes and some long ones, at every alignment within 16 bytes:
// covers the tails and the switch-over points of the wide steps.
TEST(Crc32, EqualsZlibOnRandomBuffersOfManyLengthsAndAlignments)
{
    std::mt19937 random(20261206);
    const QByteArray pool = randomBytes((1 << 20) + 4096, random);
    std::vector<qsizetype> lengths;
    for (qsizetype n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (qsizetype n : {511, 512, 1023, 4096, 4099, 65536 + 63, 1 << 20})
        lengths.push_back(n);
    for (const qsizetype length : lengths)
        for (qsizetype offset = 0; offset < 16; ++offset) {
            const QByteArrayView bytes(pool.constData() + offset, length);
            const quint32 expected = zlibCrc(bytes);
            ASSERT_EQ(Crc32::checksum(bytes), expected) << "length " << length << " offset " << offset;
            ASSERT_EQ(Crc32::checksumSliced(bytes), expected) << "length " << length << " offset " << offset;
            if (length <= 4099) {
                ASSERT_EQ(Crc32::checksumBytewise(bytes), expected) << "length " << length;
            }
        }
}

TEST(Crc32, FeedingInPiecesEqualsFeedingWhole)
{
    std::mt19937 random(7);
    const QByteArray data = randomBytes(300000, random);
    const quint32 whole = zlibCrc(data);
    for (int round = 0; round < 50; ++round) {
        Crc32 crc;
        qsizetype at = 0;
        bool checkedMidway = false;
        while (at < data.size()) {
            // Mostly small pieces, now and then a long one, sometimes none at all.
            const qsizetype piece =
                std::min<qsizetype>(data.size() - at, random() % 8 == 0 ? random() % 70000 : random() % 200);
            crc.update(QByteArrayView(data.constData() + at, piece));
            at += piece;
            // Reading the value midway must not disturb what follows.
            if (!checkedMidway && at >= data.size() / 2) {
                checkedMidway = true;
                EXPECT_EQ(crc.value(), zlibCrc(QByteArrayView(data.constData(), at)));
            }
        }
        ASSERT_EQ(crc.value(), whole) << "round " << round;
        crc.reset();
        crc.update(QByteArrayView("123456789"));
        EXPECT_EQ(crc.value(), 0xCBF43926u);
    }
}
