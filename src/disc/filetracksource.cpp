#include "disc/filetracksource.h"

#include "disc/filesounddevice.h"

#include <QFileInfo>

QString FileTrackSource::name() const
{
    return QFileInfo(m_path).fileName();
}

void FileTrackSource::readHeader() const
{
    if (m_sampleFrames)
        return;
    const std::optional<AudioFormat> format = AudioFileHeader::readFile(m_path, &m_problem);
    m_format = format;
    // Lengths count CD sample frames: 44,100 a second.
    m_sampleFrames = !format || format->sampleRate <= 0 ? -1 : format->sampleFrames * 44100 / format->sampleRate;
}

qint64 FileTrackSource::sampleFrames() const
{
    readHeader();
    return *m_sampleFrames;
}

QString FileTrackSource::problem() const
{
    readHeader();
    return m_problem;
}

std::unique_ptr<QIODevice> FileTrackSource::openSound() const
{
    readHeader();
    if (!m_format)
        return nullptr;
    auto sound = std::make_unique<FileSoundDevice>(m_path, *m_format);
    if (!sound->open(QIODevice::ReadOnly))
        return nullptr;
    return sound;
}
