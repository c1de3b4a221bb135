#include "disc/discimagecopy.h"

#include "common/regularfile.h"
#include "disc/cdiolog.h"
#include "disc/cuesheetcopy.h"
#include "disc/discerror.h"
#include "disc/tocfilecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cdio/cdio.h>

namespace {
// A sheet is text of a few kilobytes; anything much bigger is no sheet.
constexpr qint64 maxSheetBytes = 4 * 1024 * 1024;

[[noreturn]] void refuse(const QString& message)
{
    throw DiscError(DiscError::Reason::BadImage, message);
}
} // namespace

bool DiscImageCopy::isImagePath(const QString& path)
{
    return path.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".toc"), Qt::CaseInsensitive);
}

std::unique_ptr<DiscImageCopy> DiscImageCopy::make(const QString& path)
{
    std::unique_ptr<DiscImageCopy> image(new DiscImageCopy);
    image->m_path = QFileInfo(path).absoluteFilePath();
    image->m_toc = path.endsWith(QLatin1String(".toc"), Qt::CaseInsensitive);
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo::exists(path))
        refuse(QStringLiteral("There is no disc image %1.").arg(QDir::toNativeSeparators(image->m_path)));
    QString problem;
    const std::optional<QByteArray> text = RegularFile::read(path, maxSheetBytes, &problem);
    if (!text)
        refuse(QStringLiteral("The disc image %1 cannot be read: %2").arg(name, problem));

    image->m_folder =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vesk-image-XXXXXX"));
    if (!image->m_folder->isValid())
        refuse(QStringLiteral("The disc image %1 cannot be opened: no private folder (%2).")
                   .arg(name, image->m_folder->errorString()));
    const QString folder = QDir::cleanPath(image->m_folder->path());
    image->m_sheet = image->m_toc ? TocFileCopy::make(*text, image->m_path, folder)
                                  : CueSheetCopy::make(*text, image->m_path);
    image->m_copyPath = folder + QLatin1Char('/') +
                        QLatin1String(image->m_toc ? TocFileCopy::sheetName : CueSheetCopy::sheetName);
    for (const ImageSheet::Link& link : image->m_sheet.links) {
        if (!QFile::link(link.target, folder + QLatin1Char('/') + link.name))
            refuse(QStringLiteral("The disc image %1 cannot be opened: no link to %2 in %3.")
                       .arg(name, link.target, folder));
    }
    QFile copy(image->m_copyPath);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(image->m_sheet.text) != image->m_sheet.text.size())
        refuse(QStringLiteral("The disc image %1 cannot be opened: its copy cannot be written (%2).")
                   .arg(name, copy.errorString()));
    copy.close();
    for (const QString& file : image->m_sheet.soundFiles)
        image->m_soundSizes.append(QFileInfo(file).size());
    return image;
}

CdIo_t* DiscImageCopy::open() const
{
    CdioLog::install();
    CdioLog::Capture capture;
    const QByteArray copy = QFile::encodeName(m_copyPath);
    CdIo_t* cdio = m_toc ? cdio_open_cdrdao(copy.constData()) : cdio_open_bincue(copy.constData());
    if (cdio)
        return cdio;
    // The parser's own words name a line; else the last thing said.
    QString reason;
    for (const QString& line : capture.lines()) {
        if (reason.isEmpty() || line.contains(QLatin1String(" line ")))
            reason = line;
        if (line.contains(QLatin1String(" line ")))
            break;
    }
    reason = inUserTerms(reason);
    const QString name = QFileInfo(m_path).fileName();
    if (reason.isEmpty())
        refuse(QStringLiteral("libcdio cannot open the disc image %1.").arg(name));
    refuse(QStringLiteral("libcdio cannot open the disc image %1: %2").arg(name, reason));
}

QString DiscImageCopy::inUserTerms(QString line) const
{
    const QString name = QFileInfo(m_path).fileName();
    static const QRegularExpression lineNumber(QStringLiteral("(\\S+) line (\\d+)"));
    QRegularExpressionMatch match;
    if (line.contains(lineNumber, &match) &&
        QFileInfo(match.captured(1)).fileName() == QFileInfo(m_copyPath).fileName()) {
        const int copied = match.captured(2).toInt();
        const int original =
            copied >= 1 && copied <= m_sheet.lineNumbers.size() ? m_sheet.lineNumbers[copied - 1] : copied;
        line.replace(match.capturedStart(), match.capturedLength(),
                     QStringLiteral("%1 line %2").arg(name).arg(original));
    }
    const QString folder = m_folder ? QDir::cleanPath(m_folder->path()) : QString();
    for (const ImageSheet::Link& link : m_sheet.links) {
        line.replace(folder + QLatin1Char('/') + link.name, link.target);
        line.replace(link.name, QFileInfo(link.target).fileName());
    }
    line.replace(m_copyPath, name);
    line.replace(QLatin1String(m_toc ? TocFileCopy::sheetName : CueSheetCopy::sheetName), name);
    return line;
}

QString DiscImageCopy::soundProblem() const
{
    for (qsizetype i = 0; i < m_sheet.soundFiles.size(); ++i) {
        const QFileInfo file(m_sheet.soundFiles[i]);
        if (!file.exists())
            return QStringLiteral("%1 is gone").arg(QDir::toNativeSeparators(file.absoluteFilePath()));
        if (file.size() < m_soundSizes[i])
            return QStringLiteral("%1 has become shorter")
                .arg(QDir::toNativeSeparators(file.absoluteFilePath()));
    }
    return QString();
}
