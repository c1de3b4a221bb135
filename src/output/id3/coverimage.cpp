#include "output/id3/coverimage.h"

QString CoverImage::mimeTypeOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("image/png");
    return {};
}

QString CoverImage::refusal(const QByteArray& bytes)
{
    if (bytes.size() > maxBytes)
        return QStringLiteral("The cover image is %1 bytes, more than the %2 MB a tag may hold")
            .arg(bytes.size())
            .arg(maxBytes / (1024 * 1024));
    if (mimeTypeOf(bytes).isNull())
        return QStringLiteral("The cover image is neither a JPEG nor a PNG image");
    return {};
}
