#pragma once

#include <optional>

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class Settings;

// vesk-rip's command line: every rip option of the settings, the source folder and the
// resource folder. Parsing and applying are separate steps so that other sources of options
// (a preferences file) can be applied in between, the command line winning.
class RipOptions {
public:
    RipOptions();

    // False with errorText() set when the command line is malformed. --help and --version
    // need no further work: see helpRequested().
    bool parse(const QStringList& arguments);
    QString errorText() const { return m_error; }
    bool helpRequested() const { return m_parser.isSet(m_help); }
    QString helpText() const { return m_parser.helpText(); }
    bool versionRequested() const { return m_parser.isSet(m_version); }
    bool accurateRipRequired() const { return m_parser.isSet(m_requireAccurate); }
    // --read-offset, when given: it wins over the offset kept for the drive.
    std::optional<int> readOffset() const;
    // "vesk-rip 0.6.7".
    static QString versionText();

    // The source folder as given (an empty text when missing).
    QString sourceFolder() const { return m_source; }
    // The resource folder to take the encoder from, or an empty text for the installed one.
    // Absolute, whatever was typed: the encoder is run from elsewhere.
    QString resourceDirectory() const;

    // Reads the preferences file named by --preferences, else the user's own when there is one,
    // else the shipped defaults, into settings; the options applied afterwards override single
    // values. False with errorText() set when a named file cannot be read. The user's own file
    // being damaged is no error: notice() then says where its bytes were kept.
    bool applyPreferences(Settings& settings);
    QString notice() const { return m_notice; }

    // Writes the given options into settings; options not given leave settings as they are,
    // except that the source folder, the output path and the chosen tracks are always set.
    // False with errorText() set when a value is not valid (an unknown preset, a chosen track
    // that is not one of the folder's): nothing has been looked up or made then.
    bool applyTo(Settings& settings);

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_output;
    QCommandLineOption m_track;
    QCommandLineOption m_id3Tags;
    QCommandLineOption m_artistAlbumDirs;
    QCommandLineOption m_spaces;
    QCommandLineOption m_releaseFiles;
    QCommandLineOption m_sound;
    QCommandLineOption m_editTrackInfo;
    QCommandLineOption m_faster;
    QCommandLineOption m_zFlag;
    QCommandLineOption m_nameStyle;
    QCommandLineOption m_server;
    QCommandLineOption m_email;
    QCommandLineOption m_musicBrainzURL;
    QCommandLineOption m_noMusicBrainz;
    QCommandLineOption m_jobs;
    QCommandLineOption m_readOffset;
    QCommandLineOption m_device;
    QCommandLineOption m_fastRead;
    QCommandLineOption m_noAccurateRip;
    QCommandLineOption m_accurateRipURL;
    QCommandLineOption m_requireAccurate;
    QCommandLineOption m_noReplayGain;
    QCommandLineOption m_noCoverArt;
    QCommandLineOption m_coverArtURL;
    QCommandLineOption m_preset;
    QCommandLineOption m_expert;
    QCommandLineOption m_resources;
    QCommandLineOption m_preferences;
    QCommandLineOption m_set;
    QString m_source;
    QString m_notice;
    QString m_error;
};
