#pragma once

#include <QByteArray>
#include <QString>

// The user's music folder as the desktop names it: XDG_MUSIC_DIR of user-dirs.dirs (the file
// xdg-user-dirs keeps, translated folder names included), else ~/Music. Albums go there until
// the user chooses another output folder, in the window and in vesk-rip alike.
class MusicFolder {
public:
    // $XDG_CONFIG_HOME/user-dirs.dirs, XDG_CONFIG_HOME defaulting to ~/.config.
    static QString userDirsPath();
    // The music folder from the user's user-dirs.dirs, else the home folder + "/Music".
    static QString path();
    // XDG_MUSIC_DIR of a user-dirs.dirs text, with "$HOME" standing for home; a null string when
    // the text names none, or names one that is neither absolute nor under "$HOME/" (the file's
    // own rule), or names the home folder itself (which the desktop takes as "no music folder").
    static QString fromUserDirs(const QByteArray& text, const QString& home);
};
