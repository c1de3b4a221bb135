#include "settings/preferences.h"

#include "common/log.h"
#include "common/resources.h"
#include "common/userpath.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdlib>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace {
const QString defaultServer = QStringLiteral("gnudb.gnudb.org");
const QString defaultMusicBrainzURL = QStringLiteral("https://musicbrainz.org");
const QString placeholder = QStringLiteral("Audio CD");

struct OptionKey {
    Settings::Option option;
    const char* key;
};

// The check boxes in the order the file lists them.
constexpr OptionKey optionKeys[] = {
    {Settings::Option::SpacesToUnderscores, "ConvertSpacesToUnderscores"},
    {Settings::Option::AddID3Tags, "AddID3Tags"},
    {Settings::Option::MakeAltPresetFaster, "MakeAltPresetFaster"},
    {Settings::Option::ZFlag, "ZFlag"},
    {Settings::Option::SoundAlertWhenFinished, "SoundAlertWhenFinished"},
    {Settings::Option::EditTrackInformation, "EditTrackInformation"},
    {Settings::Option::CreateSeparateArtistAlbumDirs, "CreateSeparateArtistAlbumDirs"},
    {Settings::Option::CreateReleaseFiles, "CreateReleaseFiles"},
    {Settings::Option::UseMusicBrainz, "UseMusicBrainz"},
};
// Off is a choice the file keeps for this one: it starts on, and loading sets it either way.
constexpr Settings::Option setEitherWay = Settings::Option::UseMusicBrainz;

using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, decltype(&plist_free)>;

QVariant variantFromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        const QString value = QString::fromUtf8(text ? text : "");
        std::free(text);
        return value;
    }
    case PLIST_UINT: {
        // libplist keeps integers as 64 bits without sign; negative ones come back through the cast.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    default:
        return QVariant();
    }
}

plist_t nodeFromVariant(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

// Integers are read by their value, so a text holding a number counts as that number.
std::optional<qint64> integerValue(const QVariantMap& dictionary, const QString& key)
{
    const auto it = dictionary.constFind(key);
    if (it == dictionary.constEnd())
        return std::nullopt;
    if (it->typeId() == QMetaType::QString) {
        // Leading white space and trailing garbage are tolerated the way a number reader would.
        const QString text = it->toString().trimmed();
        qsizetype end = 0;
        if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+')))
            ++end;
        while (end < text.size() && text[end].isDigit())
            ++end;
        return text.left(end).toLongLong();
    }
    return it->toLongLong();
}

QString textValue(const QVariantMap& dictionary, const QString& key)
{
    const auto it = dictionary.constFind(key);
    return it == dictionary.constEnd() ? QString() : it->toString();
}

// What each key may hold. Integers may also come as text holding a number; check boxes as a
// property list boolean.
enum class Kind { Text, Integer, CheckBox };

struct KeyRule {
    Kind kind;
    qint64 minimum = 0;
    qint64 maximum = 0;
};

std::optional<KeyRule> ruleFor(const QString& key)
{
    for (const OptionKey& entry : optionKeys)
        if (key == QLatin1String(entry.key))
            return KeyRule{Kind::CheckBox, 0, 1};
    if (key == QStringLiteral("ConfigOptionSelected"))
        return KeyRule{Kind::Integer, 0, Settings::basicPresetTitles().size() - 1};
    // -1 is "no item"; the upper end depends on the list and is checked when it is applied.
    if (key == QStringLiteral("ExpertConfigOptionSelected"))
        return KeyRule{Kind::Integer, -1, std::numeric_limits<int>::max()};
    if (key == QStringLiteral("EncoderJobs"))
        return KeyRule{Kind::Integer, 1, Settings::maxEncoderJobs};
    if (Preferences::keys().contains(key))
        return KeyRule{Kind::Text};
    return std::nullopt;
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
QString problemWith(const QString& key, const QVariant& value)
{
    const std::optional<KeyRule> rule = ruleFor(key);
    if (!rule)
        return QString(); // not ours: ignored
    const int type = value.typeId();
    if (rule->kind == Kind::Text)
        return type == QMetaType::QString ? QString()
                                          : QStringLiteral("holds %1, not a text").arg(shown(value));
    if (rule->kind == Kind::CheckBox && type == QMetaType::Bool)
        return QString();
    const bool integer =
        type == QMetaType::LongLong || (type == QMetaType::QString && holdsNumber(value.toString()));
    if (!integer)
        return QStringLiteral("holds %1, not a whole number").arg(shown(value));
    const qint64 number = integerValue({{key, value}}, key).value_or(0);
    if (number < rule->minimum || number > rule->maximum)
        return QStringLiteral("holds %1, outside %2 to %3")
            .arg(shown(value))
            .arg(rule->minimum)
            .arg(rule->maximum);
    return QString();
}

// The dictionary with every value of the wrong type or out of range replaced by the defaults
// file's value for that key (one log line each), so that a hand-edited or damaged file cannot
// send the rip into a relative folder or select a preset that does not exist. The two
// selections are dropped instead: without them the rows follow the stored texts.
QVariantMap checkedDictionary(const QVariantMap& dictionary)
{
    QVariantMap checked = dictionary;
    std::optional<QVariantMap> defaults;
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
        const QString problem = problemWith(it.key(), it.value());
        if (problem.isNull())
            continue;
        veskLog(QStringLiteral("Preferences: %1 %2; using its default").arg(it.key(), problem));
        checked.remove(it.key());
        if (it.key() == QStringLiteral("ConfigOptionSelected") ||
            it.key() == QStringLiteral("ExpertConfigOptionSelected"))
            continue;
        if (!defaults)
            defaults = Preferences::readDictionary(Preferences::defaultsPath()).value_or(QVariantMap());
        const QVariant fallback = defaults->value(it.key());
        if (fallback.isValid() && problemWith(it.key(), fallback).isNull())
            checked.insert(it.key(), fallback);
    }
    return checked;
}

QString lastComponentRemoved(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
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

bool Preferences::loadPreferences(Settings& settings, const QString& path)
{
    std::optional<QVariantMap> dictionary;
    if (QFileInfo::exists(path)) {
        dictionary = readDictionary(path);
        if (!dictionary)
            veskLog(QStringLiteral("Could not read the preferences file %1; using the defaults").arg(path));
    }
    if (!dictionary) {
        const QString defaults = defaultsPath();
        if (!defaults.isEmpty())
            dictionary = readDictionary(defaults);
        if (!dictionary)
            veskLog(QStringLiteral("Could not read the defaults file %1").arg(defaults));
    }
    applyDictionary(settings, dictionary.value_or(QVariantMap()));
    return dictionary.has_value();
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
    QStringList all{QStringLiteral("AudioCDLocation"),
                    QStringLiteral("OutputDirectory"),
                    QStringLiteral("MP3NameStyle"),
                    QStringLiteral("BasicConfigOption"),
                    QStringLiteral("ConfigOptionSelected"),
                    QStringLiteral("ExpertConfigOption"),
                    QStringLiteral("ExpertConfigOptionSelected")};
    for (const OptionKey& entry : optionKeys)
        all.append(QLatin1String(entry.key));
    all.append({QStringLiteral("FreedbServer"), QStringLiteral("FreedbEmail"),
                QStringLiteral("MusicBrainzURL"), QStringLiteral("EncoderJobs")});
    return all;
}

bool Preferences::setValue(Settings& settings, const QString& key, const QString& value)
{
    for (const OptionKey& entry : optionKeys) {
        if (key != QLatin1String(entry.key))
            continue;
        const QString word = value.trimmed().toLower();
        static const QStringList on{QStringLiteral("1"), QStringLiteral("on"), QStringLiteral("yes"),
                                    QStringLiteral("true")};
        static const QStringList off{QStringLiteral("0"), QStringLiteral("off"), QStringLiteral("no"),
                                     QStringLiteral("false")};
        if (!on.contains(word) && !off.contains(word))
            return false;
        settings.setCheckState(entry.option, on.contains(word) ? Settings::On : Settings::Off);
        return true;
    }
    bool isNumber = false;
    const int number = value.trimmed().toInt(&isNumber);
    if (key == QStringLiteral("AudioCDLocation")) {
        settings.setChosenCDName(UserPath::absolute(value, QDir::currentPath()));
    } else if (key == QStringLiteral("OutputDirectory")) {
        settings.setOutputDirectory((value.isEmpty() ? QDir::homePath() + QStringLiteral("/Music")
                                                     : UserPath::absolute(value, QDir::currentPath())) +
                                    QLatin1Char('/') + placeholder);
    } else if (key == QStringLiteral("MP3NameStyle")) {
        settings.setText(Settings::Text::NameStyle, value);
    } else if (key == QStringLiteral("FreedbServer")) {
        settings.setText(Settings::Text::FreedbServer, value.isEmpty() ? defaultServer : value);
    } else if (key == QStringLiteral("FreedbEmail")) {
        settings.setText(Settings::Text::FreedbEmail, value.trimmed());
    } else if (key == QStringLiteral("MusicBrainzURL")) {
        settings.setText(Settings::Text::MusicBrainzURL, value.isEmpty() ? defaultMusicBrainzURL : value);
    } else if (key == QStringLiteral("EncoderJobs")) {
        if (!isNumber || number < 1 || number > Settings::maxEncoderJobs)
            return false;
        settings.setEncoderJobs(number);
    } else if (key == QStringLiteral("BasicConfigOption")) {
        settings.setBasicConfigOption(value);
        const qsizetype row = Settings::basicPresetTitles().indexOf(value);
        if (row >= 0)
            settings.selectBasicRow(int(row));
    } else if (key == QStringLiteral("ConfigOptionSelected")) {
        if (!isNumber || number < 0 || number >= Settings::basicPresetTitles().size())
            return false;
        settings.switchBasicConfig(number);
    } else if (key == QStringLiteral("ExpertConfigOption")) {
        settings.setText(Settings::Text::ExpertText, value);
    } else if (key == QStringLiteral("ExpertConfigOptionSelected")) {
        if (!isNumber || number < 0 || number >= settings.expertItems().size())
            return false;
        settings.selectExpertItem(number);
    } else {
        return false;
    }
    return true;
}

void Preferences::applyDictionary(Settings& settings, const QVariantMap& unchecked)
{
    const QVariantMap dictionary = checkedDictionary(unchecked);
    const QStringList titles = Settings::basicPresetTitles();
    const QString basic = textValue(dictionary, QStringLiteral("BasicConfigOption"));
    if (dictionary.contains(QStringLiteral("BasicConfigOption"))) {
        settings.setBasicConfigOption(basic);
        for (int row = 0; row < titles.size(); ++row)
            if (titles.at(row) == basic)
                settings.selectBasicRow(row);
    } else {
        // The rip needs some preset; the selected row's title is the natural one.
        settings.setBasicConfigOption(titles.value(settings.selectedBasicRow()));
    }
    if (const auto row = integerValue(dictionary, QStringLiteral("ConfigOptionSelected")))
        settings.selectBasicRow(int(*row));

    settings.setChosenCDName(UserPath::absolute(textValue(dictionary, QStringLiteral("AudioCDLocation"))));
    settings.setText(Settings::Text::NameStyle, textValue(dictionary, QStringLiteral("MP3NameStyle")));

    const QString output = textValue(dictionary, QStringLiteral("OutputDirectory"));
    if (output.isEmpty())
        settings.setOutputDirectory(QDir::homePath() + QStringLiteral("/Music/") + placeholder);
    else
        settings.setOutputDirectory(UserPath::absolute(output) + QLatin1Char('/') + placeholder);

    // Loading only ever turns a check box on.
    auto turnOn = [&](const OptionKey& entry) {
        if (entry.option == setEitherWay) {
            if (const auto value = integerValue(dictionary, QLatin1String(entry.key)))
                settings.setCheckState(entry.option, *value == 1 ? Settings::On : Settings::Off);
        } else if (integerValue(dictionary, QLatin1String(entry.key)) == 1)
            settings.setCheckState(entry.option, Settings::On);
    };
    turnOn(optionKeys[0]);

    const QString expert = textValue(dictionary, QStringLiteral("ExpertConfigOption"));
    if (!expert.isEmpty())
        settings.addExpertItems(expert.split(QStringLiteral(", ")));
    if (const auto index = integerValue(dictionary, QStringLiteral("ExpertConfigOptionSelected"))) {
        if (*index >= settings.expertItems().size())
            veskLog(QStringLiteral("Preferences: ExpertConfigOptionSelected holds %1, past the %2 expert "
                                   "lines; ignored")
                        .arg(*index)
                        .arg(settings.expertItems().size()));
        else if (*index >= 0)
            settings.selectExpertItem(int(*index));
    }

    for (size_t i = 1; i < std::size(optionKeys); ++i)
        turnOn(optionKeys[i]);

    const QString server = textValue(dictionary, QStringLiteral("FreedbServer"));
    settings.setText(Settings::Text::FreedbServer, server.isEmpty() ? defaultServer : server);
    settings.setText(Settings::Text::FreedbEmail,
                     textValue(dictionary, QStringLiteral("FreedbEmail")).trimmed());
    const QString musicBrainz = textValue(dictionary, QStringLiteral("MusicBrainzURL"));
    settings.setText(Settings::Text::MusicBrainzURL,
                     musicBrainz.isEmpty() ? defaultMusicBrainzURL : musicBrainz);
    const auto jobs = integerValue(dictionary, QStringLiteral("EncoderJobs"));
    settings.setEncoderJobs(jobs ? int(*jobs) : Settings::defaultEncoderJobs());
}

QVariantMap Preferences::dictionaryFromSettings(Settings& settings)
{
    QVariantMap dictionary;
    dictionary.insert(QStringLiteral("AudioCDLocation"), settings.getChosenCDName());
    dictionary.insert(QStringLiteral("OutputDirectory"),
                      lastComponentRemoved(settings.getChosenOutputDirectory()));
    dictionary.insert(QStringLiteral("MP3NameStyle"), settings.getMP3NameStyle());
    const int row = settings.selectedBasicRow();
    dictionary.insert(QStringLiteral("BasicConfigOption"), Settings::basicPresetTitles().value(row));
    dictionary.insert(QStringLiteral("ConfigOptionSelected"), row);
    settings.saveCurrentExpertConfigOption();
    dictionary.insert(QStringLiteral("ExpertConfigOption"),
                      settings.expertItems().join(QStringLiteral(", ")));
    dictionary.insert(QStringLiteral("ExpertConfigOptionSelected"), settings.expertSelectedIndex());
    for (const OptionKey& entry : optionKeys)
        dictionary.insert(QLatin1String(entry.key),
                          settings.isOn(entry.option) ? Settings::On : Settings::Off);
    dictionary.insert(QStringLiteral("FreedbServer"), settings.getChosenFreedbServer());
    dictionary.insert(QStringLiteral("FreedbEmail"), settings.getFreedbEmail());
    dictionary.insert(QStringLiteral("MusicBrainzURL"), settings.getMusicBrainzURL());
    dictionary.insert(QStringLiteral("EncoderJobs"), settings.encoderJobs());
    return dictionary;
}

bool Preferences::savePreferences(Settings& settings, const QString& path)
{
    return writeDictionary(dictionaryFromSettings(settings), path);
}

std::optional<QVariantMap> Preferences::readDictionary(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    if (data.isEmpty() || data.size() > 16 * 1024 * 1024)
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &raw);
    PlistPtr root(raw, &plist_free);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    QVariantMap dictionary;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root.get(), &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iter, &key, &value);
        if (!key)
            break;
        const QVariant converted = variantFromNode(value);
        if (converted.isValid())
            dictionary.insert(QString::fromUtf8(key), converted);
        std::free(key);
    }
    std::free(iter);
    return dictionary;
}

bool Preferences::writeDictionary(const QVariantMap& dictionary, const QString& path)
{
    PlistPtr root(plist_new_dict(), &plist_free);
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it)
        plist_dict_set_item(root.get(), it.key().toUtf8().constData(), nodeFromVariant(it.value()));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) {
        veskLog(QStringLiteral("Could not encode the preferences for %1").arg(path));
        return false;
    }
    const QByteArray data(xml, qsizetype(length));
    plist_to_xml_free(xml);

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
