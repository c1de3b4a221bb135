#include "common/audiotracklist.h"

#include "common/cdfolder.h"
#include "common/log.h"
#include "common/vesktools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <dirent.h>

bool AudioTrackList::isAudioTrackName(const QString& name)
{
    if (name.startsWith(QLatin1Char('.')))
        return false;
    static const QStringList suffixes{QStringLiteral(".aiff"), QStringLiteral(".aif"),
                                      QStringLiteral(".aifc"), QStringLiteral(".wav")};
    return std::any_of(suffixes.begin(), suffixes.end(), [&](const QString& suffix) {
        return name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive);
    });
}

qint32 AudioTrackList::trackNumber(const QString& fileName)
{
    if (const qint32 number = VeskTools::extractRealTrackNumberFromString(fileName); number != 0)
        return number;
    static const QRegularExpression gvfsName(QStringLiteral("^Track ([0-9]{1,3})\\.wav$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return gvfsName.match(fileName).captured(1).toInt();
}

bool AudioTrackList::naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            // Compare the digit runs without their leading zeros: the longer one is larger.
            QStringView runA = QStringView(a).mid(i, endA - i);
            QStringView runB = QStringView(b).mid(j, endB - j);
            while (runA.size() > 1 && runA.front() == QLatin1Char('0'))
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == QLatin1Char('0'))
                runB = runB.mid(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (const int order = runA.compare(runB); order != 0)
                return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

void AudioTrackList::sortNaturally(QStringList& names)
{
    std::sort(names.begin(), names.end(), naturalLess);
}

std::optional<QStringList> AudioTrackList::tracksInFolder(const QString& folder, bool logLeftOut)
{
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir() || !dir.isReadable())
        return std::nullopt;
    QStringList tracks;
    QStringList leftOut;
    QStringList unreadable;
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        if (entry.isFile() && isAudioTrackName(entry.fileName()))
            tracks.append(entry.fileName());
        else
            leftOut.append(entry.fileName());
    }
    // A name whose bytes are not UTF-8 ("caf\xe9.wav" from a Latin-1 system) has no text that
    // opens it again, and the folder listing above passes over it: the user must hear of it.
    if (DIR* raw = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* item = ::readdir(raw)) {
            const QByteArray bytes(item->d_name);
            const QString name = QFile::decodeName(bytes);
            if (QFile::encodeName(name) != bytes && isAudioTrackName(name))
                unreadable.append(name);
        }
        ::closedir(raw);
    }
    if (!unreadable.isEmpty()) {
        sortNaturally(unreadable);
        veskLog(QStringLiteral("Left out of %1, since their names are not UTF-8 (rename them to rip them): %2")
                    .arg(folder, unreadable.join(QStringLiteral(", "))));
    }
    sortNaturally(tracks);
    sortNaturally(leftOut);
    // The Mac's own bookkeeping is expected on a CD volume and not worth a word.
    leftOut.removeAll(QStringLiteral(".DS_Store"));
    leftOut.removeAll(CDFolder::tocFileName());
    if (logLeftOut && !leftOut.isEmpty())
        veskNotice(QStringLiteral("Not audio tracks, left out of %1: %2")
                    .arg(folder, leftOut.join(QStringLiteral(", "))));
    return tracks;
}

QString AudioTrackList::titleFromFileName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}
