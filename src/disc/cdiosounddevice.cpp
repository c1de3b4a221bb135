#include "disc/cdiosounddevice.h"

#include "disc/discerror.h"

#include <algorithm>
#include <cstring>

namespace {
// Sectors read a call: in fast mode this many at once, a little over a quarter second of sound.
constexpr qint64 chunkSectors = 26;
constexpr qint64 samplesPerSector = 588;
constexpr qint64 bytesPerSample = 4;

qint64 floorDivide(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The first sample of the shifted track, counted on the disc from sector 0.
qint64 firstSample(const CdioDisc::Track& track, const ReadOptions& options)
{
    return track.firstSector * samplesPerSector + options.offset;
}
} // namespace

CdioSoundDevice::CdioSoundDevice(std::shared_ptr<const CdioDisc> disc, const CdioDisc::Track& track,
                                 const ReadOptions& options, QObject* parent)
    : QIODevice(parent),
      m_reader(
          disc, floorDivide(firstSample(track, options), samplesPerSector),
          floorDivide(firstSample(track, options) + track.sectors() * samplesPerSector - 1, samplesPerSector),
          options),
      m_skipBytes((firstSample(track, options) -
                   floorDivide(firstSample(track, options), samplesPerSector) * samplesPerSector) *
                  bytesPerSample),
      m_totalBytes(track.sectors() * CdioSectorReader::sectorBytes)
{
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

const ReadReport& CdioSoundDevice::report() const
{
    m_report = m_reader.report();
    m_report.finished = m_deliveredBytes == m_totalBytes && m_failure.isEmpty();
    m_report.failure = m_failure;
    m_report.crc32 = m_report.finished ? m_crc.value() : 0;
    return m_report;
}

qint64 CdioSoundDevice::bytesAvailable() const
{
    return qint64(m_buffer.size() - m_bufferPosition) + QIODevice::bytesAvailable();
}

bool CdioSoundDevice::atEnd() const
{
    return m_deliveredBytes == m_totalBytes || !m_failure.isEmpty();
}

bool CdioSoundDevice::fill()
{
    m_buffer.resize(chunkSectors * CdioSectorReader::sectorBytes);
    m_bufferPosition = 0;
    try {
        const qint64 sectors = m_reader.read(m_buffer.data(), chunkSectors);
        m_buffer.resize(sectors * CdioSectorReader::sectorBytes);
    } catch (const DiscError& error) {
        m_buffer.clear();
        m_failure = error.reason();
        setErrorString(m_failure);
        return false;
    }
    if (m_skipBytes > 0) {
        const qint64 skip = std::min<qint64>(m_skipBytes, m_buffer.size());
        m_bufferPosition = qsizetype(skip);
        m_skipBytes -= skip;
    }
    return !m_buffer.isEmpty();
}

qint64 CdioSoundDevice::readData(char* data, qint64 maxSize)
{
    if (!m_failure.isEmpty())
        return -1;
    qint64 copied = 0;
    while (copied < maxSize && m_deliveredBytes < m_totalBytes) {
        if (m_bufferPosition >= m_buffer.size() && !fill()) {
            if (m_failure.isEmpty()) {
                // The run of sectors ended early: cannot happen with a sane range, but never loop.
                m_failure = QStringLiteral("The track ended before its last sample.");
                setErrorString(m_failure);
            }
            break;
        }
        const qint64 n = std::min(
            {maxSize - copied, qint64(m_buffer.size() - m_bufferPosition), m_totalBytes - m_deliveredBytes});
        std::memcpy(data + copied, m_buffer.constData() + m_bufferPosition, size_t(n));
        m_crc.update(data + copied, size_t(n));
        m_bufferPosition += qsizetype(n);
        m_deliveredBytes += n;
        copied += n;
    }
    if (copied == 0 && (m_deliveredBytes == m_totalBytes || !m_failure.isEmpty()))
        return -1;
    return copied;
}
