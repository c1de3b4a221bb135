#include "output/crc32.h"

#include <bit>
#include <cstring>
#include <mutex>

namespace {
constexpr int sliceCount = 16;

// s_tables[0] is the byte table. s_tables[k][n] is the CRC contribution of byte value n followed
// by k zero bytes, so sixteen look-ups, one per byte of a 16-byte step, replace sixteen
// dependent byte steps.
alignas(64) std::array<Crc32::Table, sliceCount> s_tables;
std::once_flag s_built;

void build()
{
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ Crc32::polynomial : c >> 1;
        s_tables[0][n] = c;
    }
    for (int k = 1; k < sliceCount; ++k)
        for (std::size_t n = 0; n < 256; ++n) {
            const quint32 previous = s_tables[k - 1][n];
            s_tables[k][n] = (previous >> 8) ^ s_tables[0][previous & 0xFFu];
        }
}

inline quint32 bytewise(quint32 crc, const unsigned char* p, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        crc = (crc >> 8) ^ s_tables[0][(crc ^ p[i]) & 0xFFu];
    return crc;
}

inline quint32 load32(const unsigned char* p)
{
    quint32 word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

quint32 sliced(quint32 crc, const unsigned char* p, std::size_t size)
{
    const auto& t = s_tables;
    while (size >= 16) {
        const quint32 a = load32(p) ^ crc;
        const quint32 b = load32(p + 4);
        const quint32 c = load32(p + 8);
        const quint32 d = load32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        p += 16;
        size -= 16;
    }
    return bytewise(crc, p, size);
}
} // namespace

void gen_table()
{
    std::call_once(s_built, build);
}

Crc32::Crc32()
{
    gen_table();
}

void Crc32::update(const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    if (size == 0)
        return;
    // The 16-byte step reads words in the machine's order; it is laid out for little-endian ones.
    if constexpr (std::endian::native == std::endian::little)
        m_state = sliced(m_state, p, size);
    else
        m_state = bytewise(m_state, p, size);
}

quint32 Crc32::checksum(QByteArrayView bytes)
{
    Crc32 crc;
    crc.update(bytes);
    return crc.value();
}

quint32 Crc32::checksumBytewise(QByteArrayView bytes)
{
    gen_table();
    const quint32 crc = bytewise(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(bytes.data()),
                                 std::size_t(bytes.size()));
    return ~crc;
}

const Crc32::Table& Crc32::table()
{
    gen_table();
    return s_tables[0];
}
