#include "settings/preferences.h"

#include "common/log.h"
#include "common/propertylist.h"
#include "common/regularfile.h"
#include "common/resources.h"
#include "common/userpath.h"
#include "common/vesktools.h"
#include "settings/musicfolder.h"
#include "settings/preferencekeys.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
using Kind = PreferenceKey::Kind;
using Role = PreferenceKey::Role;

// Integers are read by their value, so a text holding a number counts as that number (read the
// way atoi reads it: leading blanks and trailing garbage are tolerated).
std::optional<qint64> integerValue(const QVariantMap& dictionary, const QString& key)
{
    const auto it = dictionary.constFind(key);
    if (it == dictionary.constEnd())
        return std::nullopt;
    if (it->typeId() == QMetaType::QString)
        return VeskTools::leadingInteger(it->toString());
    return it->toLongLong();
}

QString textValue(const QVariantMap& dictionary, const QString& key)
{
    const auto it = dictionary.constFind(key);
    return it == dictionary.constEnd() ? QString() : it->toString();
}

QString shown(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return value.toString();
}

bool holdsNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype digit =
        trimmed.startsWith(QLatin1Char('-')) || trimmed.startsWith(QLatin1Char('+')) ? 1 : 0;
    return digit < trimmed.size() && trimmed.at(digit).isDigit();
}

// Why the value cannot stand for the key, or a null string when it can.
QString problemWith(const PreferenceKey& key, const QVariant& value)
{
    const int type = value.typeId();
    if (key.kind == Kind::Text)
        return type == QMetaType::QString ? QString()
                                          : QStringLiteral("holds %1, not a text").arg(shown(value));
    if (key.kind == Kind::CheckBox && type == QMetaType::Bool)
        return QString();
    const bool integer =
        type == QMetaType::LongLong || (type == QMetaType::QString && holdsNumber(value.toString()));
    if (!integer)
        return QStringLiteral("holds %1, not a whole number").arg(shown(value));
    const qint64 number = integerValue({{key.name, value}}, key.name).value_or(0);
    if (number < key.minimum || number > key.maximum)
        return QStringLiteral("holds %1, outside %2 to %3")
            .arg(shown(value))
            .arg(key.minimum)
            .arg(key.maximum);
    return QString();
}

// The dictionary with every value of the wrong type or out of range replaced by the defaults
// file's value for that key (one log line each), so that a hand-edited or damaged file cannot
// send the rip into a relative folder or select a preset that does not exist. The two
// selections are dropped instead: without them the rows follow the stored texts. Keys the file
// does not know are left alone.
QVariantMap checkedDictionary(const QVariantMap& dictionary)
{
    QVariantMap checked = dictionary;
    std::optional<QVariantMap> defaults;
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
        const PreferenceKey* key = PreferenceKeys::find(it.key());
        const QString problem = key ? problemWith(*key, it.value()) : QString();
        if (problem.isNull())
            continue;
        veskLog(QStringLiteral("Preferences: %1 %2; using its default").arg(it.key(), problem));
        checked.remove(it.key());
        if (key->isSelection())
            continue;
        if (!defaults)
            defaults = Preferences::readDictionary(Preferences::defaultsPath()).value_or(QVariantMap());
        const QVariant fallback = defaults->value(it.key());
        if (fallback.isValid() && problemWith(*key, fallback).isNull())
            checked.insert(it.key(), fallback);
    }
    return checked;
}

// A plain text as the settings keep it, whether it comes from the file or the command line.
QString plainText(const PreferenceKey& key, const QString& value)
{
    const QString text = key.trimmed ? value.trimmed() : value;
    return text.isEmpty() && !key.fallback.isNull() ? key.fallback : text;
}

// The folder albums are made in. Files of earlier versions stored the same folder under the same
// key, so they read the same way.
QString outputFolder(const QString& value, const QString& base)
{
    return value.isEmpty() ? MusicFolder::path() : QDir::cleanPath(UserPath::absolute(value, base));
}

void applyKey(Settings& settings, const PreferenceKey& key, const QVariantMap& dictionary)
{
    const QStringList titles = Settings::basicPresetTitles();
    switch (key.role) {
    case Role::Plain:
        if (key.option) {
            // Loading only ever turns a check box on, unless the box starts on.
            const std::optional<qint64> state = integerValue(dictionary, key.name);
            if (key.startsSet && state)
                settings.setCheckState(*key.option, *state == 1 ? Settings::On : Settings::Off);
            else if (state == 1)
                settings.setCheckState(*key.option, Settings::On);
        } else if (key.text) {
            settings.setText(*key.text, plainText(key, textValue(dictionary, key.name)));
        }
        break;
    case Role::SourceFolder:
        settings.setChosenCDName(UserPath::absolute(textValue(dictionary, key.name)));
        break;
    case Role::OutputFolder:
        settings.setOutputDirectory(outputFolder(textValue(dictionary, key.name), QDir::homePath()));
        break;
    case Role::BasicTitle:
        if (dictionary.contains(key.name)) {
            const QString basic = textValue(dictionary, key.name);
            settings.setBasicConfigOption(basic);
            for (int row = 0; row < titles.size(); ++row)
                if (titles.at(row) == basic)
                    settings.selectBasicRow(row);
        } else {
            // The rip needs some preset; the selected row's title is the natural one.
            settings.setBasicConfigOption(titles.value(settings.selectedBasicRow()));
        }
        break;
    case Role::BasicRow:
        if (const auto row = integerValue(dictionary, key.name))
            settings.selectBasicRow(int(*row));
        break;
    case Role::ExpertLines: {
        const QString expert = textValue(dictionary, key.name);
        if (!expert.isEmpty())
            settings.addExpertItems(expert.split(QStringLiteral(", ")));
        break;
    }
    case Role::ExpertRow:
        if (const auto index = integerValue(dictionary, key.name)) {
            if (*index >= settings.expertItems().size())
                veskLog(QStringLiteral("Preferences: %1 holds %2, past the %3 expert lines; ignored")
                            .arg(key.name)
                            .arg(*index)
                            .arg(settings.expertItems().size()));
            else if (*index >= 0)
                settings.selectExpertItem(int(*index));
        }
        break;
    case Role::EncoderJobs: {
        const auto jobs = integerValue(dictionary, key.name);
        settings.setEncoderJobs(jobs ? int(*jobs) : Settings::defaultEncoderJobs());
        break;
    }
    case Role::ReadOffset:
        settings.setReadOffset(int(integerValue(dictionary, key.name).value_or(0)));
        break;
    }
}

QVariant savedValue(Settings& settings, const PreferenceKey& key)
{
    const int row = settings.selectedBasicRow();
    switch (key.role) {
    case Role::Plain:
        if (key.option)
            return settings.isOn(*key.option) ? Settings::On : Settings::Off;
        if (key.text)
            return settings.text(*key.text);
        break;
    case Role::SourceFolder:
        return settings.getChosenCDName();
    case Role::OutputFolder:
        return settings.getChosenOutputDirectory();
    case Role::BasicTitle:
        return Settings::basicPresetTitles().value(row);
    case Role::BasicRow:
        return row;
    case Role::ExpertLines:
        // A line typed but not yet remembered is kept too.
        settings.saveCurrentExpertConfigOption();
        return settings.expertItems().join(QStringLiteral(", "));
    case Role::ExpertRow:
        return settings.expertSelectedIndex();
    case Role::EncoderJobs:
        return settings.encoderJobs();
    case Role::ReadOffset:
        return settings.readOffset();
    }
    return QVariant();
}

// A check box's value on the command line.
std::optional<bool> switchValue(const QString& value)
{
    const QString word = value.trimmed().toLower();
    static const QStringList on{QStringLiteral("1"), QStringLiteral("on"), QStringLiteral("yes"),
                                QStringLiteral("true")};
    static const QStringList off{QStringLiteral("0"), QStringLiteral("off"), QStringLiteral("no"),
                                 QStringLiteral("false")};
    if (on.contains(word))
        return true;
    if (off.contains(word))
        return false;
    return std::nullopt;
}
} // namespace

QString Preferences::preferencesPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QLatin1Char('/') + applicationIdentifier() + QStringLiteral(".plist");
}

QString Preferences::defaultsPath()
{
    return Resources::pathForResource(QStringLiteral("Default"), QStringLiteral("cfg"));
}

QString PreferencesLoad::title() const
{
    return damaged.isNull() ? QString() : QStringLiteral("Your preferences file could not be read.");
}

QString PreferencesLoad::message() const
{
    if (damaged.isNull())
        return QString();
    if (keptCopy.isNull())
        return QStringLiteral("%1 could not be read, nor copied aside; Vesk starts from its defaults and "
                              "leaves the file as it is.")
            .arg(damaged);
    return QStringLiteral("%1 could not be read; its contents are kept in %2. Vesk starts from its defaults.")
        .arg(damaged, keptCopy);
}

PreferencesLoad Preferences::loadPreferences(Settings& settings, const QString& path)
{
    PreferencesLoad load;
    std::optional<QVariantMap> dictionary;
    const QFileInfo file(path);
    if (file.exists() || file.isSymLink()) {
        dictionary = readDictionary(path);
        if (!dictionary) {
            load.damaged = path;
            load.keptCopy = keepDamagedFile(path);
        }
    }
    if (!dictionary) {
        const QString defaults = defaultsPath();
        if (!defaults.isEmpty())
            dictionary = readDictionary(defaults);
        if (!dictionary)
            veskLog(QStringLiteral("Could not read the defaults file %1").arg(defaults));
    }
    applyDictionary(settings, dictionary.value_or(QVariantMap()));
    load.applied = dictionary.has_value();
    return load;
}

QString Preferences::keepDamagedFile(const QString& path)
{
    QString problem;
    const std::optional<QByteArray> read = RegularFile::read(path, 64 * 1024 * 1024, &problem);
    if (!read) {
        veskLog(QStringLiteral("Could not copy the damaged preferences file %1: %2").arg(path, problem));
        return QString();
    }
    const QByteArray bytes = *read;
    const QString base = path + QStringLiteral(".damaged");
    for (int number = 0; number < 100; ++number) {
        const QString copy = number == 0 ? base : base + QLatin1Char('.') + QString::number(number);
        QFile existing(copy);
        if (existing.exists() || QFileInfo(copy).isSymLink()) {
            if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() &&
                existing.readAll() == bytes)
                return copy;
            continue;
        }
        // NewOnly: a copy made meanwhile by another Vesk is never written over.
        QFile kept(copy);
        if (!kept.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            if (kept.error() == QFileDevice::OpenError && QFileInfo::exists(copy))
                continue;
            veskLog(QStringLiteral("Could not keep the damaged preferences file as %1: %2")
                        .arg(copy, kept.errorString()));
            return QString();
        }
        // On the disk before the original may be written over, whatever happens to the system.
        if (kept.write(bytes) != bytes.size() || ::fsync(kept.handle()) != 0) {
            // The system's reason: an unbuffered short write leaves the device's own text empty.
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            veskLog(
                QStringLiteral("Could not keep the damaged preferences file as %1: %2").arg(copy, reason));
            kept.close();
            kept.remove();
            return QString();
        }
        kept.close();
        return copy;
    }
    veskLog(QStringLiteral("Could not keep the damaged preferences file %1: too many copies beside it")
                .arg(path));
    return QString();
}

bool Preferences::applyPreferencesFile(Settings& settings, const QString& path)
{
    const std::optional<QVariantMap> dictionary = readDictionary(path);
    if (!dictionary)
        return false;
    applyDictionary(settings, *dictionary);
    return true;
}

QStringList Preferences::keys()
{
    QStringList names;
    for (const PreferenceKey& key : PreferenceKeys::all())
        names.append(key.name);
    return names;
}

bool Preferences::setValue(Settings& settings, const QString& name, const QString& value)
{
    const PreferenceKey* key = PreferenceKeys::find(name);
    if (!key)
        return false;
    bool isNumber = false;
    const int number = value.trimmed().toInt(&isNumber);
    if (key->kind == Kind::Integer && (!isNumber || number < key->minimum || number > key->maximum))
        return false;
    switch (key->role) {
    case Role::Plain:
        if (key->option) {
            const std::optional<bool> on = switchValue(value);
            if (!on)
                return false;
            settings.setCheckState(*key->option, *on ? Settings::On : Settings::Off);
        } else if (key->text) {
            settings.setText(*key->text, plainText(*key, value));
        }
        break;
    case Role::SourceFolder:
        settings.setChosenCDName(UserPath::absolute(value, QDir::currentPath()));
        break;
    case Role::OutputFolder:
        settings.setOutputDirectory(outputFolder(value, QDir::currentPath()));
        break;
    case Role::BasicTitle: {
        settings.setBasicConfigOption(value);
        const qsizetype row = Settings::basicPresetTitles().indexOf(value);
        if (row >= 0)
            settings.selectBasicRow(int(row));
        break;
    }
    case Role::BasicRow:
        settings.switchBasicConfig(number);
        break;
    case Role::ExpertLines:
        settings.setText(Settings::Text::ExpertText, value);
        break;
    case Role::ExpertRow:
        if (number < 0 || number >= settings.expertItems().size())
            return false;
        settings.selectExpertItem(number);
        break;
    case Role::EncoderJobs:
        settings.setEncoderJobs(number);
        break;
    case Role::ReadOffset:
        settings.setReadOffset(number);
        break;
    }
    return true;
}

void Preferences::applyDictionary(Settings& settings, const QVariantMap& unchecked)
{
    const QVariantMap dictionary = checkedDictionary(unchecked);
    for (const PreferenceKey& key : PreferenceKeys::all())
        applyKey(settings, key, dictionary);
}

QVariantMap Preferences::dictionaryFromSettings(Settings& settings)
{
    QVariantMap dictionary;
    for (const PreferenceKey& key : PreferenceKeys::all())
        dictionary.insert(key.name, savedValue(settings, key));
    return dictionary;
}

bool Preferences::savePreferences(Settings& settings, const QString& path)
{
    return writeDictionary(dictionaryFromSettings(settings), path);
}

std::optional<QVariantMap> Preferences::readDictionary(const QString& path)
{
    // Only an ordinary file of a sane size: a FIFO would hang the start, /dev/zero fill memory.
    const std::optional<QByteArray> data = RegularFile::read(path, 16 * 1024 * 1024);
    return data ? PropertyList::dictionaryFromBytes(*data) : std::nullopt;
}

bool Preferences::writeDictionary(const QVariantMap& dictionary, const QString& path)
{
    const QByteArray data = PropertyList::xmlFromDictionary(dictionary);
    if (data.isEmpty()) {
        veskLog(QStringLiteral("Could not encode the preferences for %1").arg(path));
        return false;
    }

    QDir().mkpath(QFileInfo(path).absolutePath());
    // Unbuffered, so that a short write (a full disk, a size limit) shows in write()'s answer:
    // a failed flush inside commit() is not always reported.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(data) != data.size() ||
        !file.commit()) {
        veskLog(QStringLiteral("Could not write the preferences file %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
