#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <array>
#include <cstddef>

// Fills the shared lookup table of the standard CRC-32 (reflected polynomial 0xEDB88320, the one
// SFV files use) and the tables derived from it that let Crc32 consume sixteen bytes per step.
// Built once; later calls return at once. Crc32 calls it itself.
void gen_table();

// The standard CRC-32 (initial value and final XOR 0xFFFFFFFF, reflected), fed in pieces of any
// size: feeding a buffer in several parts gives the same value as feeding it whole. Long runs go
// through carry-less multiplication where the processor has it, else sixteen bytes per table step.
class Crc32 {
public:
    static constexpr quint32 polynomial = 0xEDB88320u;
    using Table = std::array<quint32, 256>;

    Crc32();

    void update(const void* data, std::size_t size);
    void update(QByteArrayView bytes) { update(bytes.data(), std::size_t(bytes.size())); }
    // The CRC of everything fed so far; feeding may go on afterwards.
    quint32 value() const { return ~m_state; }
    void reset() { m_state = 0xFFFFFFFFu; }

    static quint32 checksum(QByteArrayView bytes);
    // The same value from the sixteen-byte table steps alone, whatever the processor offers.
    static quint32 checksumSliced(QByteArrayView bytes);
    // The same value computed one byte per table look-up: the plain reference form.
    static quint32 checksumBytewise(QByteArrayView bytes);

private:
    quint32 m_state = 0xFFFFFFFFu;
};
