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

} // namespace

// Every length up to a few hundred bytes and some long ones, at every alignment within 16 bytes:
// covers the tails and the switch-over points of the wide steps. Then the same data fed in pieces.
TEST(Crc32, EqualsZlibOnRandomBuffersOfManyLengthsAndAlignmentsAndFedInPieces)
{
    EXPECT_EQ(Crc32::checksum(QByteArrayView("123456789")), 0xCBF43926u);
    EXPECT_EQ(VeskFileGenerator::get_crc(QByteArrayView()), 0u);
    std::mt19937 random(20261206);
    QByteArray pool((1 << 20) + 4096, Qt::Uninitialized);
    for (char& c : pool)
        c = char(random());
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

    const QByteArrayView data(pool.constData(), 300000);
    for (int round = 0; round < 50; ++round) {
        Crc32 crc;
        qsizetype at = 0;
        while (at < data.size()) {
            // Mostly small pieces, now and then a long one, sometimes none at all.
            const qsizetype piece =
                std::min<qsizetype>(data.size() - at, random() % 8 == 0 ? random() % 70000 : random() % 200);
            crc.update(data.sliced(at, piece));
            at += piece;
            // Reading the value midway must not disturb what follows.
            ASSERT_EQ(crc.value(), zlibCrc(data.first(at)));
        }
        crc.reset();
        crc.update(QByteArrayView("123456789"));
        EXPECT_EQ(crc.value(), 0xCBF43926u);
    }
}
