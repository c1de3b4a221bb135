#include "common/crc32.h"

#include <bit>
#include <cstring>
#include <mutex>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VESK_CRC32_FOLDING 1
#endif

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

#ifdef VESK_CRC32_FOLDING
#define VESK_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

VESK_FOLDING_TARGET inline __m128i load(const unsigned char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// acc times x^(128 + 64) and x^128 (the two halves of k), plus the next 16 bytes.
VESK_FOLDING_TARGET inline __m128i fold(__m128i acc, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11)), next);
}

// Folding with carry-less multiplication: four 128-bit accumulators advance 64 bytes per step
// and are then reduced to the 32-bit remainder (Barrett reduction). The constants are powers of
// x modulo the polynomial, bit-reflected. Needs size >= 64 and a multiple of 16; takes and returns
// the register as the table code does.
VESK_FOLDING_TARGET quint32 folded(quint32 crc, const unsigned char* p, std::size_t size)
{
    alignas(16) static const quint64 k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const quint64 k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const quint64 k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const quint64 poly[] = {0x01db710641, 0x01f7011641};
    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    size -= 64;

    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    while (size >= 64) {
        x1 = fold(x1, k, load(p));
        x2 = fold(x2, k, load(p + 16));
        x3 = fold(x3, k, load(p + 32));
        x4 = fold(x4, k, load(p + 48));
        p += 64;
        size -= 64;
    }

    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    while (size >= 16) {
        x1 = fold(x1, k, load(p));
        p += 16;
        size -= 16;
    }

    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), x2);

    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, low32), k, 0x00);
    return quint32(_mm_extract_epi32(_mm_xor_si128(x1, x2), 1));
}

bool canFold()
{
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}
#endif
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
#ifdef VESK_CRC32_FOLDING
    if (size >= 64 && canFold()) {
        const std::size_t whole = size & ~std::size_t(15);
        m_state = folded(m_state, p, whole);
        p += whole;
        size -= whole;
    }
#endif
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

quint32 Crc32::checksumSliced(QByteArrayView bytes)
{
    gen_table();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = std::size_t(bytes.size());
    quint32 crc = 0xFFFFFFFFu;
    if constexpr (std::endian::native == std::endian::little)
        crc = sliced(crc, p, size);
    else
        crc = bytewise(crc, p, size);
    return ~crc;
}

quint32 Crc32::checksumBytewise(QByteArrayView bytes)
{
    gen_table();
    const quint32 crc = bytewise(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(bytes.data()),
                                 std::size_t(bytes.size()));
    return ~crc;
}
