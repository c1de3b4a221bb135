#include "settings/settings.h"

#include "common/alertpresenter.h"
#include "common/log.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

namespace {
QStringList defaultVolumeRoots()
{
    QStringList roots{QStringLiteral("/Volumes")};
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty()) {
        roots << QStringLiteral("/run/media/") + user << QStringLiteral("/media/") + user;
    }
    roots << QStringLiteral("/media");
    return roots;
}

// Compares runs of digits by their value and everything else character by character.
bool naturalLess(const QString& a, const QString& b)
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

void removeNonTracks(QStringList& names)
{
    names.removeAll(QStringLiteral(".DS_Store"));
    names.removeAll(QStringLiteral(".TOC.plist"));
}
} // namespace

Settings::Settings(QObject* parent)
    : QObject(parent), m_basicConfigOption(basicPresetTitles().constFirst()),
      m_volumeRoots(defaultVolumeRoots())
{
    m_chosenTracks.reserve(15);
    m_checkStates[int(Option::UseMusicBrainz)] = On;
    m_texts[int(Text::MusicBrainzURL)] = QStringLiteral("https://musicbrainz.org");
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
    return basicPresetWords(m_basicConfigOption, shouldMakeAltPresetFaster());
}

QStringList Settings::basicPresetWords(const QString& title, bool faster)
{
    QStringList words = splitIntoWords(title);
    if (!faster || title.contains(QStringLiteral("insane")) || title.contains(QStringLiteral("vbr-new")))
        return words;
    // LAME 3.100 reads "fast" only as the first word after "--preset", and only before a named
    // VBR preset; anywhere else it rejects the whole command line and every track would fail.
    static const QStringList named{QStringLiteral("medium"), QStringLiteral("standard"),
                                   QStringLiteral("extreme")};
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words.at(i) == QStringLiteral("--preset") && named.contains(words.at(i + 1))) {
            words.insert(i + 1, QStringLiteral("fast"));
            break;
        }
    }
    return words;
}

QStringList Settings::getExpertConfigOption() const
{
    const QString line = text(Text::ExpertText);
    return line.isEmpty() ? QStringList() : splitIntoWords(line);
}

void Settings::setExpertTextFieldEnabled(bool enabled)
{
    if (m_expertEnabled == enabled)
        return;
    m_expertEnabled = enabled;
    Q_EMIT enabledStatesChanged();
}

void Settings::setNameStyleTextFieldEnabled(bool enabled)
{
    if (m_nameStyleEnabled == enabled)
        return;
    m_nameStyleEnabled = enabled;
    Q_EMIT enabledStatesChanged();
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

QString Settings::text(Text field) const
{
    return m_texts[int(field)];
}

void Settings::setText(Text field, const QString& value)
{
    if (m_texts[int(field)] == value && m_texts[int(field)].isNull() == value.isNull())
        return;
    m_texts[int(field)] = value;
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

void Settings::setExpertVisibleItems(int count)
{
    if (count == m_expertVisibleItems)
        return;
    m_expertVisibleItems = count;
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
    setExpertVisibleItems(m_expertItems.size() > 4 ? 5 : int(m_expertItems.size()) + 1);
}

void Settings::expertFieldPoppingUp()
{
    if (!m_expertItems.isEmpty() && m_expertItems.last().isEmpty())
        return;
    setExpertItems(m_expertItems + QStringList{QString()});
    adjustExpertVisibleItems();
}

void Settings::adjustExpertVisibleItems()
{
    if (m_expertItems.size() > 4 || m_expertVisibleItems > 4)
        return;
    setExpertVisibleItems(m_expertVisibleItems + 1);
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
    }
    if (!names.isEmpty())
        setChosenTracks(names);
    setChosenCDName(folder);
}

void Settings::applyChosenOutputDirectory(const QString& folder)
{
    if (folder.isEmpty())
        return;
    QString name = QFileInfo(getChosenCDName()).fileName();
    if (name.isEmpty())
        name = QStringLiteral("Audio CD");
    setOutputDirectory(folder + QLatin1Char('/') + name);
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
    QDir dir(path);
    if (!QFileInfo(path).isDir() || !dir.isReadable())
        return std::nullopt;
    // Linux file systems list entries in no useful order; sort the way a person reads track
    // names, numbers by value, so that "2 Audio Track" comes before "10 Audio Track".
    QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

QString Settings::findAudioCD() const
{
    for (const QString& root : m_volumeRoots) {
        const std::optional<QStringList> entries = getTracksAtPath(root);
        if (!entries)
            continue;
        for (const QString& entry : *entries) {
            const QString volume = root + QLatin1Char('/') + entry;
            if (QFileInfo::exists(volume + QStringLiteral("/.TOC.plist")))
                return volume;
        }
    }
    return QString();
}

void Settings::runAlertWithTitle(const QString& title, const QString& message)
{
    if (m_alerts)
        m_alerts->runAlertWithTitle(title, message);
    else
        veskLog(title + QStringLiteral(": ") + message);
}

void Settings::runAlertBadCD()
{
    runAlertWithTitle(
        QStringLiteral("Could not find an audio CD!"),
        QStringLiteral("Please make sure there is an audio CD in your CD-ROM drive.\n\nIt may be "
                       "the case that the CD has not yet mounted; please wait a few seconds and "
                       "try again."));
}
