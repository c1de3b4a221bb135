#include "output/crc32.h"
#include "output/veskfilegenerator.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {
quint32 zlibCrc(QByteArrayView bytes)
{
    return quint32(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), z_size_t(bytes.size())));
}

QByteArray randomBytes(qsizetype size, std::mt19937& random)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random());
    return bytes;
}
} // namespace

// Every length up to a few hundred bytes and some long ones, at every alignment within 16 bytes:
// covers the tails and the switch-over points of the wide steps. Also the empty buffer.
TEST(Crc32, EqualsZlibOnRandomBuffersOfManyLengthsAndAlignments)
{
    EXPECT_EQ(Crc32::checksum(QByteArrayView("123456789")), 0xCBF43926u);
    EXPECT_EQ(VeskFileGenerator::get_crc(QByteArrayView()), 0u);
    std::mt19937 random(20261206);
    const QByteArray pool = randomBytes((1 << 20) + 4096, random);
    std::vector<qsizetype> lengths{511, 512, 1023, 4096, 4099, 65536 + 63, 1 << 20};
    for (qsizetype n = 0; n <= 300; ++n)
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
    for (int round = 0; round < 50; ++round) {
        Crc32 crc;
        qsizetype at = 0;
        while (at < data.size()) {
            // Mostly small pieces, now and then a long one, sometimes none at all.
            const qsizetype piece =
                std::min<qsizetype>(data.size() - at, random() % 8 == 0 ? random() % 70000 : random() % 200);
            crc.update(QByteArrayView(data.constData() + at, piece));
            // Reading the value midway must not disturb what follows.
            ASSERT_EQ(crc.value(), zlibCrc(QByteArrayView(data.constData(), at += piece)));
        }
        crc.reset();
        crc.update(QByteArrayView("123456789"));
        EXPECT_EQ(crc.value(), 0xCBF43926u);
    }
}
