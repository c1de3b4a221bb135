#pragma once

#include "settings/settings.h"

#include <QList>
#include <QString>
#include <optional>

// One key of the preferences file: what the file holds for it, which setting it stands for and
// what it may take.
struct PreferenceKey {
    // What the file holds. Integers may also come as a text holding a number, check boxes as a
    // property-list boolean.
    enum class Kind { CheckBox, Text, Integer };
    // How the value reaches the settings. A plain key is one Settings option or text as it is;
    // the others take a step of their own.
    enum class Role {
        Plain,
        SourceFolder, // made absolute
        OutputFolder, // the folder albums are made in; empty stands for the music folder
        BasicTitle,   // the preset's title, which also selects its row
        BasicRow,
        ExpertLines, // the remembered expert lines, joined with ", "
        ExpertRow,   // the selected remembered line, -1 for none
        EncoderJobs,
        ReadOffset,
    };

    QString name{};
    Kind kind = Kind::Text;
    Role role = Role::Plain;
    std::optional<Settings::Option> option{};
    std::optional<Settings::Text> text{};
    // The window's control showing a plain value, by its object name; empty when the window
    // has none or binds the value in a way of its own.
    QString control{};
    // The values an integer may take; check boxes take 0 and 1.
    qint64 minimum = 0;
    qint64 maximum = 0;
    // What an empty text stands for; a null string when empty stays empty.
    QString fallback{};
    // Blanks around a text are dropped.
    bool trimmed = false;
    // A check box that starts on (a text that starts at its fallback) before any preferences are
    // applied; loading sets such a box either way, where other boxes are only ever turned on.
    bool startsSet = false;

    bool isSelection() const { return role == Role::BasicRow || role == Role::ExpertRow; }
};

// Every key of the preferences file, each spelled here once. Loading, saving and checking the
// file, vesk-rip's --set and the window's bindings all work from this list, so that a key is
// added or renamed in one place.
namespace PreferenceKeys {
// In the order the file is applied and the keys are listed to the user.
const QList<PreferenceKey>& all();
// The key by its name, or null for a name the file does not know.
const PreferenceKey* find(const QString& name);
// Every check box option has its key.
const PreferenceKey& of(Settings::Option option);
// The key a text is stored under, or null for a text the file does not keep as it is.
const PreferenceKey* of(Settings::Text text);
} // namespace PreferenceKeys
