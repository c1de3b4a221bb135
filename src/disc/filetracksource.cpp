#include "disc/filetracksource.h"

#include "disc/audiofileheader.h"

#include <QFileInfo>

QString FileTrackSource::name() const
{
    return QFileInfo(m_path).fileName();
}

qint64 FileTrackSource::sampleFrames() const
{
    if (!m_sampleFrames) {
        const std::optional<AudioFormat> format = AudioFileHeader::readFile(m_path);
        m_sampleFrames = format ? format->sampleFrames : -1;
    }
    return *m_sampleFrames;
}
