#include "output/id3/id3extrawriter.h"

#include "output/id3/coverimage.h"
#include "output/id3/scratchcopy.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <sys/stat.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <unistd.h>

namespace {
const TagLib::String musicBrainzOwner("http://musicbrainz.org");

TagLib::String tagText(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// Frames are made as Latin-1; TagLib switches a frame to UTF-16 (2.3) or UTF-8 (2.4) when its
// text needs it.
void replaceUserText(TagLib::ID3v2::Tag& tag, const char* description, const QString& value)
{
    if (value.isEmpty())
        return;
    const TagLib::String wanted = TagLib::String(description).upper();
    const TagLib::ID3v2::FrameList existing = tag.frameList("TXXX");
    for (TagLib::ID3v2::Frame* frame : existing) {
        const auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (text && text->description().upper() == wanted)
            tag.removeFrame(frame);
    }
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
    frame->setDescription(description);
    frame->setText(tagText(value));
    tag.addFrame(frame);
}

void replaceText(TagLib::ID3v2::Tag& tag, const char* id, const QString& value)
{
    if (value.isEmpty())
        return;
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
    frame->setText(tagText(value));
    tag.addFrame(frame);
}

void replaceGain(TagLib::ID3v2::Tag& tag, const std::optional<ReplayGainValues>& values, const char* gainName,
                 const char* peakName)
{
    if (!values)
        return;
    replaceUserText(tag, gainName, values->gainText());
    replaceUserText(tag, peakName, values->peakText());
}

void replaceRecordingId(TagLib::ID3v2::Tag& tag, const QString& recordingId)
{
    if (recordingId.isEmpty())
        return;
    const TagLib::ID3v2::FrameList existing = tag.frameList("UFID");
    for (TagLib::ID3v2::Frame* frame : existing) {
        const auto* id = dynamic_cast<TagLib::ID3v2::UniqueFileIdentifierFrame*>(frame);
        if (id && id->owner() == musicBrainzOwner)
            tag.removeFrame(frame);
    }
    const QByteArray bytes = recordingId.toUtf8();
    tag.addFrame(new TagLib::ID3v2::UniqueFileIdentifierFrame(
        musicBrainzOwner, TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()))));
}

// Other pictures (a back cover, a booklet page) stay.
void replaceFrontCover(TagLib::ID3v2::Tag& tag, const QByteArray& image, const QString& mimeType)
{
    if (image.isEmpty())
        return;
    const TagLib::ID3v2::FrameList existing = tag.frameList("APIC");
    for (TagLib::ID3v2::Frame* frame : existing) {
        const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            tag.removeFrame(frame);
    }
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setMimeType(tagText(mimeType));
    frame->setPicture(TagLib::ByteVector(image.constData(), unsigned(image.size())));
    tag.addFrame(frame);
}

void addFrames(TagLib::ID3v2::Tag& tag, const ExtraTags& tags)
{
    // The type the bytes say wins over one given for them.
    replaceFrontCover(tag, tags.frontCover, CoverImage::mimeTypeOf(tags.frontCover));
    replaceGain(tag, tags.trackGain, "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK");
    replaceGain(tag, tags.albumGain, "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK");
    replaceUserText(tag, "MusicBrainz Album Id", tags.releaseId);
    replaceUserText(tag, "MusicBrainz Release Group Id", tags.releaseGroupId);
    replaceUserText(tag, "MusicBrainz Album Artist Id", tags.releaseArtistId);
    replaceUserText(tag, "MusicBrainz Artist Id", tags.artistId);
    replaceUserText(tag, "MusicBrainz Disc Id", tags.discId);
    replaceUserText(tag, "MusicBrainz Album Release Country", tags.releaseCountry);
    replaceUserText(tag, "CATALOGNUMBER", tags.catalogNumber);
    replaceRecordingId(tag, tags.recordingId);
    replaceText(tag, "TPUB", tags.label);
    replaceText(tag, "TDOR", tags.originalDate);
    // The year LAME wrote came from the album's own data; a date from elsewhere does not
    // overrule it. TagLib reads a 2.3 TYER as TDRC and writes TDRC back as TYER (and TDAT).
    if (tag.frameList("TDRC").isEmpty())
        replaceText(tag, "TDRC", tags.date);
}

// The size of the ID3v2 tag at the start of a file (header, frames, padding, footer); 0
// without one.
qint64 leadingTagSize(QFile& file)
{
    const QByteArray header = file.read(10);
    if (header.size() < 10 || !header.startsWith("ID3"))
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (uchar(header[i]) & 0x7F);
    const bool footer = uchar(header[5]) & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

// Whether everything after the ID3v2 tag (the MPEG frames and any ID3v1 tag) is the same in
// both files: TagLib does not report every failed write, and a disk that fills up while it
// moves the audio along would otherwise go unnoticed.
bool sameAudio(const QString& original, const QString& copy)
{
    QFile a(original);
    QFile b(copy);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    const qint64 aStart = leadingTagSize(a);
    const qint64 bStart = leadingTagSize(b);
    if (a.size() - aStart != b.size() - bStart || !a.seek(aStart) || !b.seek(bStart))
        return false;
    constexpr qint64 blockSize = 1 << 20;
    for (;;) {
        const QByteArray left = a.read(blockSize);
        if (left != b.read(blockSize))
            return false;
        if (left.isEmpty())
            return a.error() == QFileDevice::NoError && b.error() == QFileDevice::NoError;
    }
}

// A null string when the file may be tagged, else why not. Permission bits count even for
// root, who could otherwise replace a file its owner made read-only.
QString fileRefusal(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a file").arg(path);
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &status) != 0 || !(status.st_mode & S_IWUSR) ||
        ::access(name.constData(), W_OK) != 0)
        return QStringLiteral("%1 is read-only").arg(path);
    return {};
}
} // namespace

bool Id3ExtraWriter::write(const QString& mp3Path, const ExtraTags& tags, QString& failure)
{
    if (!tags.frontCover.isEmpty() && !(failure = CoverImage::refusal(tags.frontCover)).isNull())
        return false;
    if (!(failure = fileRefusal(mp3Path)).isNull())
        return false;
    // A link is followed: the file it names gets the tags, and the link stays a link.
    const QString path = QFileInfo(mp3Path).canonicalFilePath();
    ScratchCopy copy(path);
    if (!copy.make(failure))
        return false;
    {
        TagLib::MPEG::File file(QFile::encodeName(copy.path()).constData());
        if (!file.isValid() || file.firstFrameOffset() < 0) {
            failure = QStringLiteral("%1 is not an MP3 file").arg(mp3Path);
            return false;
        }
        // A file without a tag gets 2.3, which every player reads.
        const bool hadTag = file.hasID3v2Tag();
        TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
        const auto version =
            hadTag && tag.header()->majorVersion() == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
        addFrames(tag, tags);
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                       TagLib::File::DoNotDuplicate)) {
            failure = QStringLiteral("Could not write the tags of %1").arg(mp3Path);
            return false;
        }
    }
    if (!sameAudio(path, copy.path())) {
        failure = QStringLiteral("Could not write the tags of %1: the tagged copy came out incomplete "
                                 "(is the disk full?)")
                      .arg(mp3Path);
        return false;
    }
    return copy.replaceOriginal(failure);
}
