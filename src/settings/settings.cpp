#include "settings/settings.h"

#include "common/log.h"
#include "common/audiotracklist.h"
#include "common/cdfolder.h"
#include "settings/preferencekeys.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cstdlib>

namespace {
void removeNonTracks(QStringList& names)
{
    names.removeAll(QStringLiteral(".DS_Store"));
    names.removeAll(CDFolder::tocFileName());
}
} // namespace

Settings::Settings(QObject* parent)
    : QObject(parent), m_basicConfigOption(basicPresetTitles().constFirst())
{
    m_chosenTracks.reserve(15);
    for (const PreferenceKey& key : PreferenceKeys::all()) {
        if (!key.startsSet)
            continue;
        if (key.option)
            m_checkStates[int(*key.option)] = On;
        if (key.text)
            m_texts[int(*key.text)] = key.fallback;
    }
}

int Settings::defaultEncoderJobs()
{
    return std::clamp(QThread::idealThreadCount(), 1, maxEncoderJobs);
}

void Settings::setEncoderJobs(int jobs)
{
    jobs = std::clamp(jobs, 1, maxEncoderJobs);
    if (jobs == m_encoderJobs)
        return;
    m_encoderJobs = jobs;
    Q_EMIT encoderJobsChanged();
}

void Settings::setReadOffset(int samples)
{
    samples = std::clamp(samples, -maxReadOffset, maxReadOffset);
    if (samples == m_readOffset)
        return;
    m_readOffset = samples;
    Q_EMIT readOffsetChanged();
}

namespace {
// "NAME=OFFSET;NAME=OFFSET" into its pairs; entries that do not read are left out.
QList<std::pair<QString, int>> driveOffsetPairs(const QString& text)
{
    QList<std::pair<QString, int>> pairs;
    for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = entry.lastIndexOf(QLatin1Char('='));
        bool ok = false;
        const int offset = equals > 0 ? entry.mid(equals + 1).trimmed().toInt(&ok) : 0;
        if (ok && std::abs(offset) <= Settings::maxReadOffset)
            pairs.append({entry.left(equals).trimmed(), offset});
    }
    return pairs;
}

// The names come from the drive: nothing in them may break the list apart.
QString listedDriveName(const QString& drive)
{
    QString name = drive;
    name.replace(QLatin1Char(';'), QLatin1Char(' ')).replace(QLatin1Char('='), QLatin1Char(' '));
    return name.simplified();
}
} // namespace

std::optional<int> Settings::driveReadOffset(const QString& drive) const
{
    const QString wanted = listedDriveName(drive);
    for (const auto& [name, offset] : driveOffsetPairs(text(Text::DriveReadOffsets)))
        if (!wanted.isEmpty() && name.compare(wanted, Qt::CaseInsensitive) == 0)
            return offset;
    return std::nullopt;
}

void Settings::setDriveReadOffset(const QString& drive, int samples)
{
    const QString name = listedDriveName(drive);
    if (name.isEmpty())
        return;
    QStringList entries;
    for (const auto& [other, offset] : driveOffsetPairs(text(Text::DriveReadOffsets)))
        if (other.compare(name, Qt::CaseInsensitive) != 0)
            entries.append(QStringLiteral("%1=%2").arg(other).arg(offset));
    entries.append(QStringLiteral("%1=%2").arg(name).arg(std::clamp(samples, -maxReadOffset, maxReadOffset)));
    setText(Text::DriveReadOffsets, entries.join(QLatin1Char(';')));
}

QStringList Settings::basicPresetTitles()
{
    // The recommended preset first: a fresh settings model rips with it. "--nohist" keeps the
    // encoder's histogram (terminal escapes) out of the output the rip reads.
    return {
        QStringLiteral("--nohist --preset standard"), QStringLiteral("--nohist --preset extreme"),
        QStringLiteral("--nohist --preset insane"),   QStringLiteral("--nohist --preset medium"),
        QStringLiteral("--nohist --preset cbr 192"),  expertTitle(),
    };
}

QStringList Settings::splitIntoWords(const QString& line)
{
    return line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

std::optional<QStringList> Settings::getBasicConfigOption() const
{
    if (m_basicConfigOption == expertTitle())
        return std::nullopt;
    return splitIntoWords(m_basicConfigOption);
}

QStringList Settings::getExpertConfigOption() const
{
    const QString line = text(Text::ExpertText);
    return line.isEmpty() ? QStringList() : splitIntoWords(line);
}

int Settings::checkState(Option option) const
{
    return m_checkStates[int(option)];
}

void Settings::setCheckState(Option option, int state)
{
    if (m_checkStates[int(option)] == state)
        return;
    m_checkStates[int(option)] = state;
    Q_EMIT checkStateChanged(option);
}

QString Settings::getChosenOutputDirectory() const
{
    // "/data/out/" and "/data/out" are one folder, and the window says where albums go in it.
    const QString folder = UserPath::absolute(text(Text::ChosenOutputDirectory));
    return folder.isEmpty() ? folder : QDir::cleanPath(folder);
}

QString Settings::text(Text field) const
{
    return m_texts[int(field)];
}

void Settings::setText(Text field, const QString& value)
{
    if (m_texts[int(field)] == value && m_texts[int(field)].isNull() == value.isNull())
        return;
    m_texts[int(field)] = value;
    // Tracks picked in one folder mean nothing in another: the source shown is the source ripped.
    if (field == Text::ChosenCD)
        emptyChosenTracksArray();
    Q_EMIT textChanged(field);
}

void Settings::selectBasicRow(int row)
{
    if (row < 0 || row >= basicPresetTitles().size() || row == m_selectedBasicRow)
        return;
    m_selectedBasicRow = row;
    Q_EMIT basicRowChanged();
}

void Settings::switchBasicConfig(int row)
{
    if (row < 0 || row >= basicPresetTitles().size())
        return;
    m_basicConfigOption = basicPresetTitles().at(row);
    if (row != m_selectedBasicRow) {
        m_selectedBasicRow = row;
        Q_EMIT basicRowChanged();
    }
}

void Settings::setExpertItems(const QStringList& items)
{
    if (m_expertItems == items)
        return;
    m_expertItems = items;
    if (m_expertSelectedIndex >= m_expertItems.size())
        m_expertSelectedIndex = -1;
    Q_EMIT expertListChanged();
}

void Settings::setExpertSelectedIndex(int index)
{
    if (index == m_expertSelectedIndex || index < -1 || index >= m_expertItems.size())
        return;
    m_expertSelectedIndex = index;
    Q_EMIT expertListChanged();
}

void Settings::selectExpertItem(int index)
{
    if (index < 0 || index >= m_expertItems.size())
        return;
    setExpertSelectedIndex(index);
    setText(Text::ExpertText, m_expertItems.at(index));
}

void Settings::addExpertItems(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    setExpertItems(m_expertItems + lines);
    selectExpertItem(0);
}

void Settings::expertFieldTextChanged(const QString& editorText)
{
    const QString line = text(Text::ExpertText);
    if (line != editorText)
        return;
    if (line.isEmpty() && !m_expertItems.isEmpty()) {
        if (m_expertSelectedIndex >= 0)
            removeExpertItem(m_expertSelectedIndex);
        return;
    }
    saveCurrentExpertConfigOption();
}

void Settings::saveCurrentExpertConfigOption()
{
    const QString line = text(Text::ExpertText);
    if (line.isEmpty() || m_expertItems.contains(line))
        return;
    QStringList items;
    int selected = -1;
    for (qsizetype i = 0; i < m_expertItems.size(); ++i) {
        if (m_expertItems.at(i).isEmpty())
            continue;
        if (i == m_expertSelectedIndex)
            selected = int(items.size());
        items.append(m_expertItems.at(i));
    }
    items.append(line);
    m_expertSelectedIndex = -1;
    setExpertItems(items);
    setExpertSelectedIndex(selected);
}

void Settings::removeExpertItem(int index)
{
    QStringList items = m_expertItems;
    items.removeAt(index);
    const int selected = m_expertSelectedIndex == index  ? -1
                         : m_expertSelectedIndex > index ? m_expertSelectedIndex - 1
                                                         : m_expertSelectedIndex;
    m_expertSelectedIndex = -1;
    setExpertItems(items);
    setExpertSelectedIndex(selected);
}

void Settings::applyChosenSource(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    emptyChosenTracksArray();
    const QFileInfo first(paths.first());
    QString folder;
    QStringList names;
    if (first.isDir()) {
        folder = first.absoluteFilePath();
        names = getTracksAtPath(folder).value_or(QStringList());
    } else {
        folder = first.absolutePath();
        for (const QString& path : paths)
            names.append(QFileInfo(path).fileName());
        AudioTrackList::sortNaturally(names);
    }
    // The folder first: a new source empties the picked tracks.
    setChosenCDName(folder);
    if (!names.isEmpty())
        setChosenTracks(names);
}

void Settings::applyChosenOutputDirectory(const QString& folder)
{
    if (!folder.isEmpty())
        setOutputDirectory(QDir::cleanPath(folder));
}

void Settings::setChosenTracks(const QStringList& names)
{
    m_chosenTracks = names;
    Q_EMIT chosenTracksChanged();
}

void Settings::emptyChosenTracksArray()
{
    if (m_chosenTracks.isEmpty())
        return;
    m_chosenTracks.clear();
    Q_EMIT chosenTracksChanged();
}

std::optional<QStringList> Settings::getChosenTracks()
{
    if (!m_chosenTracks.isEmpty()) {
        removeNonTracks(m_chosenTracks);
        return m_chosenTracks;
    }
    const QString source = getChosenCDName();
    if (source.isEmpty() || !QFileInfo::exists(source))
        return std::nullopt;
    std::optional<QStringList> names = getTracksAtPath(source);
    if (!names)
        return QStringList();
    removeNonTracks(*names);
    return names;
}

std::optional<QStringList> Settings::getTracksAtPath(const QString& path)
{
    return AudioTrackList::tracksInFolder(path);
}
