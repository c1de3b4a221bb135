#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

class Settings;

// What loading the preferences came to. A file that was there but could not be read is kept
// byte for byte beside itself before anything may write over it: the user's settings are in it.
struct PreferencesLoad {
    // Some dictionary (the file's or the shipped defaults') was applied.
    bool applied = false;
    // The preferences file that was there but could not be read; null when there was none to read
    // or it was read.
    QString damaged;
    // Where its bytes are kept; null when they could not be copied.
    QString keptCopy;

    // The damaged file's bytes are safe (or there is no damaged file): the file may be written.
    bool maySave() const { return damaged.isNull() || !keptCopy.isNull(); }
    // For the user, naming both files; empty when nothing was damaged.
    QString title() const;
    QString message() const;
};

// The preferences file: the Settings' values as an XML property list in the user's
// configuration folder, read once when the window opens and written once when the application
// ends. Without a file (or with one that cannot be read) the shipped defaults file is used.
class Preferences {
public:
    // The reverse-domain name the file is called after.
    static QString applicationIdentifier() { return QStringLiteral("org.vesk.Vesk"); }
    // $XDG_CONFIG_HOME (by default ~/.config) + "/org.vesk.Vesk.plist".
    static QString preferencesPath();
    // The shipped defaults file, or a null string when the resources lack it.
    static QString defaultsPath();

    // Applies the file at path, or the defaults file when there is none or it cannot be read.
    // A file that cannot be read is first copied beside itself (keepDamagedFile); the caller
    // tells the user, from the answer.
    static PreferencesLoad loadPreferences(Settings& settings, const QString& path = preferencesPath());
    // Copies the file byte for byte to path + ".damaged", or ".damaged.1", ".damaged.2", ... when
    // that name holds other bytes already; a copy already holding these bytes is reused, so that
    // reading the same damaged file again keeps no second copy. The copy's path, or a null string
    // (and a log line) when it could not be made.
    static QString keepDamagedFile(const QString& path);
    // Writes the settings to path through a temporary file renamed over the old one, so a failed
    // write leaves the previous file whole. Returns whether the file was written; logs failures.
    static bool savePreferences(Settings& settings, const QString& path = preferencesPath());

    // For front ends that name a file: applies exactly that file, without falling back to the
    // defaults. False (and nothing changed) when it cannot be read as a property list dictionary.
    static bool applyPreferencesFile(Settings& settings, const QString& path);
    // Overrides one value by its key, as a command-line option does: check boxes take 1/0 (also
    // on/off, yes/no, true/false) and may be turned off; the output folder's key takes the folder
    // itself; the basic preset row's key chooses that preset; the expert lines' key takes the
    // expert line itself; an empty output folder is the user's music folder. False for an unknown key or a
    // value the key cannot take; then nothing changes.
    static bool setValue(Settings& settings, const QString& key, const QString& value);
    // Every key the file holds, in the order PreferenceKeys lists them.
    static QStringList keys();

    // The dictionary the settings are saved as, and the loading steps applied to a dictionary.
    static QVariantMap dictionaryFromSettings(Settings& settings);
    static void applyDictionary(Settings& settings, const QVariantMap& dictionary);

    // A property list file's root dictionary (XML or binary): nothing when the file cannot be read
    // or its root is no dictionary. Texts, integers, reals and booleans become QVariants.
    static std::optional<QVariantMap> readDictionary(const QString& path);
    static bool writeDictionary(const QVariantMap& dictionary, const QString& path);
};
