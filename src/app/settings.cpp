#include "app/settings.h"

#include "app/alertpresenter.h"
#include "common/log.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
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
}

QStringList Settings::basicPresetTitles()
{
    return {
        QStringLiteral("--nohist --preset standard"),
        QStringLiteral("--nohist --preset extreme"),
        QStringLiteral("--nohist --preset insane"),
        QStringLiteral("--nohist --preset medium"),
        expertTitle(),
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
    QStringList words = splitIntoWords(m_basicConfigOption);
    if (shouldMakeAltPresetFaster() && !m_basicConfigOption.contains(QStringLiteral("insane")) &&
        !m_basicConfigOption.contains(QStringLiteral("vbr-new"))) {
        // LAME reads "fast" only between "--preset" and the preset's name; anywhere else it
        // would take the word for the input file.
        const qsizetype preset = std::max(words.indexOf(QStringLiteral("--preset")),
                                          words.indexOf(QStringLiteral("--alt-preset")));
        if (preset >= 0 && preset + 1 < words.size())
            words.insert(preset + 1, QStringLiteral("fast"));
        else
            words.append(QStringLiteral("fast"));
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
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
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
