#include "disc/cuesheetcopy.h"

#include "disc/discerror.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {
QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

[[noreturn]] void refuse(const QString& cuePath, const QString& why)
{
    throw DiscError(DiscError::Reason::BadImage,
                    QStringLiteral("The cue sheet %1 %2").arg(QFileInfo(cuePath).fileName(), why));
}

// The file a FILE or CDTEXTFILE line names, found beside the sheet. A sheet written on Windows may
// name it with its old folder ("C:\rips\disc.bin"); then the name alone is tried.
QString findFile(const QString& cuePath, const QString& name, int lineNumber)
{
    const QDir folder = QFileInfo(cuePath).absoluteDir();
    QFileInfo file(folder.absoluteFilePath(name));
    if (!file.exists()) {
        const QString bare = name.section(QRegularExpression(QStringLiteral("[\\\\/]")), -1);
        if (!bare.isEmpty() && QFileInfo::exists(folder.absoluteFilePath(bare)))
            file = QFileInfo(folder.absoluteFilePath(bare));
    }
    if (!file.exists())
        refuse(cuePath, QStringLiteral("names the file %1 (line %2), which is not in %3.")
                            .arg(quoted(name))
                            .arg(lineNumber)
                            .arg(QDir::toNativeSeparators(folder.absolutePath())));
    if (!file.isFile() || !file.isReadable())
        refuse(cuePath, QStringLiteral("names %1 (line %2), which is not a file Vesk may read.")
                            .arg(quoted(name))
                            .arg(lineNumber));
    return file.absoluteFilePath();
}

// The file name and what follows it on a FILE or CDTEXTFILE line: a quoted name, or an unquoted
// one up to the last word (the type).
// A name in a Latin-1 sheet is Latin-1 too.
std::pair<QString, QString> fileField(const QByteArray& rest, bool typed, bool latin1)
{
    const auto name = [latin1](const QByteArray& bytes) {
        return latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
    };
    const QByteArray field = rest.trimmed();
    if (field.startsWith('"')) {
        const qsizetype end = field.indexOf('"', 1);
        if (end > 0)
            return {name(field.mid(1, end - 1)), QString::fromLatin1(field.mid(end + 1).trimmed())};
        return {name(field.mid(1)), QString()};
    }
    const qsizetype space = typed ? field.lastIndexOf(' ') : -1;
    if (space < 0)
        return {name(field), QString()};
    return {name(field.left(space).trimmed()), QString::fromLatin1(field.mid(space + 1))};
}
} // namespace

ImageSheet CueSheetCopy::make(const QByteArray& text, const QString& cuePath)
{
    ImageSheet sheet;
    sheet.utf8Text = ImageSheet::looksLikeUtf8(text);
    const bool latin1 = !sheet.utf8Text && std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80;
    });
    QString soundFile;
    int lineNumber = 0;
    for (const QByteArray& line : ImageSheet::lines(text)) {
        ++lineNumber;
        const QByteArray trimmed = line.trimmed();
        const qsizetype space = trimmed.indexOf(' ');
        const QByteArray keyword = space < 0 ? trimmed : trimmed.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : trimmed.mid(space + 1);
        if (keyword == "FILE") {
            const auto [name, type] = fileField(rest, true, latin1);
            const QString path = findFile(cuePath, name, lineNumber);
            if (!soundFile.isEmpty() && path != soundFile)
                refuse(cuePath,
                       QStringLiteral("keeps its tracks in several files (line %1 names %2); Vesk reads "
                                      "cue sheets whose tracks are all in one file.")
                           .arg(lineNumber)
                           .arg(quoted(name)));
            const QString upperType = type.toUpper();
            if (upperType == QLatin1String("MOTOROLA"))
                sheet.bigEndian = true;
            else if (upperType != QLatin1String("BINARY"))
                refuse(cuePath,
                       QStringLiteral("keeps its sound in a %1 file (%2): only raw CD sound (BINARY or "
                                      "MOTOROLA) can be read as a disc image.")
                           .arg(type.isEmpty() ? QStringLiteral("untyped") : type, quoted(name)));
            if (soundFile.isEmpty()) {
                soundFile = path;
                sheet.links.append({QStringLiteral("image.bin"), path});
                sheet.soundFiles.append(path);
            }
            // The type is left to the copy's reader: libcdio ignores it, Vesk swaps itself.
            sheet.addLine("FILE \"image.bin\" BINARY", lineNumber);
        } else if (keyword == "CDTEXTFILE") {
            const QString path = findFile(cuePath, fileField(rest, false, latin1).first, lineNumber);
            sheet.links.append({QStringLiteral("cdtext.cdt"), path});
            sheet.addLine("CDTEXTFILE \"cdtext.cdt\"", lineNumber);
        } else if (keyword == "PREGAP" || keyword == "POSTGAP") {
            // libcdio skips a PREGAP without counting it and fails on POSTGAP; either way the
            // disc's addresses would come out wrong.
            refuse(cuePath,
                   QStringLiteral("has silence that is not in its file (%1 on line %2), which Vesk "
                                  "cannot place on the disc: it reads cue sheets whose gaps are in the "
                                  "file (INDEX 00).")
                       .arg(QString::fromLatin1(keyword))
                       .arg(lineNumber));
        } else {
            sheet.addLine(line, lineNumber);
        }
    }
    if (soundFile.isEmpty())
        refuse(cuePath, QStringLiteral("names no file of sound (no FILE line)."));
    return sheet;
}
