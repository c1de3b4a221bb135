#include "common/crc32.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

// Every short length and a few long ones at every alignment within 16 bytes cover the tails and
// the switch-over points of the wide steps; then the same data fed in pieces, read midway.
TEST(Crc32, EqualsZlibOnManyLengthsAndAlignmentsAndFedInPieces)
{
    const auto zlibCrc = [](QByteArrayView bytes) {
        return quint32(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), z_size_t(bytes.size())));
    };
    std::mt19937 random(20261206);
    QByteArray pool((1 << 20) + 16, Qt::Uninitialized);
    for (char& c : pool)
        c = char(random());
    std::vector<qsizetype> lengths{511, 512, 1023, 4096, 4099, 65536 + 63, 1 << 20};
    for (qsizetype n = 0; n <= 140; ++n)
        lengths.push_back(n);
    for (const qsizetype length : lengths)
        for (qsizetype offset = 0; offset < 16; ++offset) {
            const QByteArrayView bytes(pool.constData() + offset, length);
            ASSERT_EQ(Crc32::checksum(bytes), zlibCrc(bytes)) << "length " << length << " offset " << offset;
            ASSERT_EQ(Crc32::checksumSliced(bytes), zlibCrc(bytes)) << "length " << length;
            ASSERT_TRUE(length > 4099 || Crc32::checksumBytewise(bytes) == zlibCrc(bytes)) << length;
        }

    const QByteArrayView data(pool.constData(), 300000);
    Crc32 crc;
    for (qsizetype at = 0, piece = 0; at < data.size(); at += piece) {
        // Mostly small pieces, now and then a long one, sometimes none at all.
        piece = std::min<qsizetype>(data.size() - at, random() % 8 == 0 ? random() % 70000 : random() % 200);
        crc.update(data.sliced(at, piece));
        ASSERT_EQ(crc.value(), zlibCrc(data.first(at + piece)));
    }
}
