#include "ripoptions.h"

#include "common/audiotracklist.h"
#include "common/log.h"
#include "common/userpath.h"
#include "common/veskexception.h"
#include "common/vesktools.h"
#include "disc/audiocdfinder.h"
#include "disc/audiofileheader.h"
#include "disc/cdiodisc.h"
#include "disc/discsourcepath.h"
#include "settings/musicfolder.h"
#include "settings/preferencekeys.h"
#include "settings/preferences.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <unistd.h>

namespace {
// The source and output folders have options of their own, so --set does not take their keys.
bool isSettable(const PreferenceKey* key)
{
    return key && key->role != PreferenceKey::Role::SourceFolder &&
           key->role != PreferenceKey::Role::OutputFolder;
}

QString settableKeys()
{
    QStringList names;
    for (const PreferenceKey& key : PreferenceKeys::all())
        if (isSettable(&key))
            names.append(key.name);
    return names.join(QStringLiteral(", "));
}

// "; its tracks are 1 Audio Track.aiff, 2 Audio Track.aiff, ..." for a message on a track not found.
QString listed(const std::optional<QStringList>& tracks)
{
    if (!tracks)
        return QStringLiteral(" (the folder cannot be listed)");
    if (tracks->isEmpty())
        return QStringLiteral("; it holds no AIFF or WAV files");
    constexpr qsizetype shown = 8;
    QString text = QStringLiteral("; its tracks are ") + tracks->mid(0, shown).join(QStringLiteral(", "));
    if (tracks->size() > shown)
        text += QStringLiteral(" and %1 more").arg(tracks->size() - shown);
    return text;
}

QString presetList()
{
    QStringList titles = Settings::basicPresetTitles();
    titles.removeAll(Settings::expertTitle());
    return QStringLiteral("\"") + titles.join(QStringLiteral("\", \"")) + QStringLiteral("\"");
}
} // namespace

RipOptions::RipOptions()
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")),
      m_version(QStringLiteral("version"), QStringLiteral("Show the version and exit.")),
      m_output({QStringLiteral("o"), QStringLiteral("output")},
               QStringLiteral("Folder the album folder is made in (default: the output folder of the "
                              "preferences, else your music folder, XDG_MUSIC_DIR of user-dirs.dirs or "
                              "~/Music: %1).")
                   .arg(MusicFolder::path()),
               QStringLiteral("DIR")),
      m_track(
          {QStringLiteral("t"), QStringLiteral("track")},
          QStringLiteral("Rip only this track of SOURCE_FOLDER: its number (3) or its file name (\"3 Audio "
                         "Track.aiff\"); repeat for more tracks, in ripping order. Default: every AIFF and "
                         "WAV file in the folder."),
          QStringLiteral("NAME")),
      m_id3Tags(QStringLiteral("id3-tags"), QStringLiteral("Write ID3 tags (title, number, artist, album, "
                                                           "year, genre, comment) into the MP3 files.")),
      m_artistAlbumDirs(QStringLiteral("artist-album-dirs"),
                        QStringLiteral("Put the files into DIR/Artist/Album instead of DIR/Artist - Album.")),
      m_spaces(QStringLiteral("spaces-to-underscores"),
               QStringLiteral("Replace spaces with underscores in the folder and file names made.")),
      m_releaseFiles(QStringLiteral("release-files"),
                     QStringLiteral("Write an M3U playlist and an SFV checksum file into the album folder.")),
      m_sound(QStringLiteral("sound"),
              QStringLiteral(
                  "Play the desktop's \"complete\" sound when the rip ends (canberra-gtk-play or paplay).")),
      m_editTrackInfo(QStringLiteral("edit-track-info"),
                      QStringLiteral("Edit the track information before ripping (vesk-rip has no editor: the "
                                     "album is ripped as it is).")),
      m_faster(QStringLiteral("faster"),
               QStringLiteral("Use the faster variant of the basic preset (not for \"insane\").")),
      m_zFlag(QStringLiteral("z-flag"), QStringLiteral("Set the stored Z option (no effect on a rip).")),
      m_nameStyle({QStringLiteral("n"), QStringLiteral("name-style")},
                  QStringLiteral("File name style: %d track number, %t track name, %a artist, %l album title "
                                 "(default: \"%d - %t.mp3\")."),
                  QStringLiteral("STYLE")),
      m_server(QStringLiteral("server"),
               QStringLiteral("CDDB server to ask for the album's titles: a web address (http:// or "
                              "https://) or a host name (host[:port], the old protocol on port 8880)."),
               QStringLiteral("URL|HOST")),
      m_email(QStringLiteral("email"),
              QStringLiteral("E-mail address sent to the CDDB server in \"cddb hello\" (the public server "
                             "asks for a real one). Default: your login and host names."),
              QStringLiteral("ADDRESS")),
      m_musicBrainzURL(QStringLiteral("musicbrainz-url"),
                       QStringLiteral("MusicBrainz service asked when the CDDB server has no album "
                                      "(default: %1).")
                           .arg(PreferenceKeys::of(Settings::Text::MusicBrainzURL)->fallback),
                       QStringLiteral("URL")),
      m_noMusicBrainz(QStringLiteral("no-musicbrainz"),
                      QStringLiteral("Never ask MusicBrainz, even when the CDDB server has no album.")),
      m_jobs({QStringLiteral("j"), QStringLiteral("jobs")},
             QStringLiteral("Encoders run at once for a folder on disk, 1 to %1 (default: the processor "
                            "cores). A CD is read one track at a time.")
                 .arg(Settings::maxEncoderJobs),
             QStringLiteral("N")),
      m_readOffset(QStringLiteral("read-offset"),
                   QStringLiteral("The drive's read offset in samples, %1 to %2, applied exactly when a disc "
                                  "is read (default: 0, or the preferences' ReadOffset).")
                       .arg(-Settings::maxReadOffset)
                       .arg(Settings::maxReadOffset),
                   QStringLiteral("N")),
      m_device(QStringLiteral("device"), QStringLiteral("Rip the audio CD in this drive (/dev/sr0)."),
               QStringLiteral("DEVICE")),
      m_fastRead(QStringLiteral("fast-read"),
                 QStringLiteral("Read a disc straight through, without cdparanoia's error correction.")),
      m_noAccurateRip(QStringLiteral("no-accuraterip"),
                      QStringLiteral("Do not check the rip against the AccurateRip database.")),
      m_accurateRipURL(QStringLiteral("accuraterip-url"),
                       QStringLiteral("AccurateRip database asked after the reading (default: %1).")
                           .arg(PreferenceKeys::of(Settings::Text::AccurateRipURL)->fallback),
                       QStringLiteral("URL")),
      m_requireAccurate(QStringLiteral("require-accurate"),
                        QStringLiteral("Exit with 3 unless AccurateRip calls every track accurately ripped.")),
      m_noReplayGain(QStringLiteral("no-replaygain"),
                     QStringLiteral("Do not measure the tracks' loudness for ReplayGain tags.")),
      m_noCoverArt(QStringLiteral("no-cover-art"),
                   QStringLiteral("Do not fetch the front cover from the Cover Art Archive.")),
      m_coverArtURL(QStringLiteral("coverart-url"),
                    QStringLiteral("Cover Art Archive asked for the release's front cover (default: %1).")
                        .arg(PreferenceKeys::of(Settings::Text::CoverArtURL)->fallback),
                    QStringLiteral("URL")),
      m_preset({QStringLiteral("p"), QStringLiteral("preset")},
               QStringLiteral("Basic encoder preset: one of %1, or the last word of one (\"standard\"). "
                              "Default: the first.")
                   .arg(presetList()),
               QStringLiteral("TITLE")),
      m_expert({QStringLiteral("e"), QStringLiteral("expert")},
               QStringLiteral("Expert encoder options, one line of LAME options separated by spaces "
                              "(used instead of a basic preset)."),
               QStringLiteral("LINE")),
      m_resources(QStringLiteral("resources"),
                  QStringLiteral("Take the encoder (lame_intel or lame_ppc) from this folder."),
                  QStringLiteral("DIR")),
      m_preferences(QStringLiteral("preferences"),
                    QStringLiteral("Start from the options of this preferences file (default: your own, %1, "
                                   "when it exists, else the defaults the window starts from). The options "
                                   "given here override its values.")
                        .arg(Preferences::preferencesPath()),
                    QStringLiteral("FILE")),
      m_set(QStringLiteral("set"),
            QStringLiteral("Override one preferences value, for example %1=0 (repeatable). Keys: %2.")
                .arg(PreferenceKeys::of(Settings::Option::CreateReleaseFiles).name, settableKeys()),
            QStringLiteral("KEY=VALUE"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Rips a folder of audio CD track files (AIFF or WAV) into MP3 files with LAME.\n"
                       "Prints the status and the estimated time remaining as they change; messages go to "
                       "standard error. Exits with 0 only when every track was encoded."));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({m_help,          m_output,       m_track,  m_id3Tags,       m_artistAlbumDirs,
                         m_spaces,        m_releaseFiles, m_sound,  m_editTrackInfo, m_faster,
                         m_zFlag,         m_nameStyle,    m_server, m_email,         m_musicBrainzURL,
                         m_noMusicBrainz, m_jobs,         m_preset, m_expert,        m_resources,
                         m_preferences,   m_set,          m_readOffset, m_fastRead, m_device,
                         m_noAccurateRip, m_accurateRipURL, m_requireAccurate, m_noReplayGain,
                         m_noCoverArt, m_coverArtURL});
    m_parser.addOption(m_version);
    m_parser.addPositionalArgument(
        QStringLiteral("SOURCE_FOLDER"),
        QStringLiteral("The folder holding the track files (an audio CD's folder), a disc image (a .cue "
                       "or cdrdao .toc file) or a CD drive (/dev/sr0). Default: the audio CD the desktop "
                       "has mounted."),
        QStringLiteral("[SOURCE_FOLDER]"));
}

bool RipOptions::parse(const QStringList& arguments)
{
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return false;
    }
    if (helpRequested() || versionRequested())
        return true;
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > 1) {
        m_error = QStringLiteral("Only one SOURCE_FOLDER may be given.");
        return false;
    }
    if (m_parser.isSet(m_jobs)) {
        bool isNumber = false;
        const int jobs = m_parser.value(m_jobs).toInt(&isNumber);
        if (!isNumber || jobs < 1 || jobs > Settings::maxEncoderJobs) {
            m_error = QStringLiteral("--jobs takes a number from 1 to %1.").arg(Settings::maxEncoderJobs);
            return false;
        }
    }
    if (m_parser.isSet(m_readOffset)) {
        bool isNumber = false;
        const int offset = m_parser.value(m_readOffset).toInt(&isNumber);
        if (!isNumber || offset < -Settings::maxReadOffset || offset > Settings::maxReadOffset) {
            m_error = QStringLiteral("--read-offset takes a number of samples from %1 to %2.")
                          .arg(-Settings::maxReadOffset)
                          .arg(Settings::maxReadOffset);
            return false;
        }
    }
    if (m_parser.isSet(m_preset) && m_parser.isSet(m_expert)) {
        m_error = QStringLiteral("--preset and --expert exclude each other.");
        return false;
    }
    m_source = UserPath::absolute(positional.value(0), QDir::currentPath());
    if (m_parser.isSet(m_device)) {
        if (!m_source.isEmpty()) {
            m_error = QStringLiteral("--device and a SOURCE exclude each other.");
            return false;
        }
        m_source = m_parser.value(m_device);
        if (!DiscSourcePath::isDisc(m_source)) {
            m_error = QStringLiteral("%1 is no CD drive.").arg(m_source);
            return false;
        }
    }
    if (!m_source.isEmpty() && !QFileInfo(m_source).isDir() && !DiscSourcePath::isDisc(m_source)) {
        m_error = QStringLiteral("%1 is not a folder, a disc image (.cue, .toc) or a CD drive.").arg(m_source);
        return false;
    }
    return true;
}

QString RipOptions::versionText()
{
    return QStringLiteral("vesk-rip " VESK_VERSION);
}

QString RipOptions::resourceDirectory() const
{
    return UserPath::absolute(m_parser.value(m_resources), QDir::currentPath());
}

bool RipOptions::applyPreferences(Settings& settings)
{
    if (!m_parser.isSet(m_preferences)) {
        // As the window does: the user's own file, else the shipped defaults; a damaged file is
        // kept aside and said once.
        m_notice = Preferences::loadPreferences(settings).message();
        return true;
    }
    const QString path = UserPath::absolute(m_parser.value(m_preferences), QDir::currentPath());
    if (!Preferences::applyPreferencesFile(settings, path)) {
        m_error = QStringLiteral("Cannot read the preferences file %1.").arg(path);
        return false;
    }
    return true;
}

bool RipOptions::applyTo(Settings& settings)
{
    const auto check = [&](const QCommandLineOption& option, Settings::Option setting) {
        if (m_parser.isSet(option))
            settings.setCheckState(setting, Settings::On);
    };
    check(m_id3Tags, Settings::Option::AddID3Tags);
    check(m_artistAlbumDirs, Settings::Option::CreateSeparateArtistAlbumDirs);
    check(m_spaces, Settings::Option::SpacesToUnderscores);
    check(m_releaseFiles, Settings::Option::CreateReleaseFiles);
    check(m_sound, Settings::Option::SoundAlertWhenFinished);
    check(m_editTrackInfo, Settings::Option::EditTrackInformation);
    check(m_faster, Settings::Option::MakeAltPresetFaster);
    check(m_zFlag, Settings::Option::ZFlag);
    if (m_parser.isSet(m_nameStyle))
        settings.setText(Settings::Text::NameStyle, m_parser.value(m_nameStyle));
    if (m_parser.isSet(m_server))
        settings.setText(Settings::Text::FreedbServer, m_parser.value(m_server));
    if (m_parser.isSet(m_email))
        settings.setText(Settings::Text::FreedbEmail, m_parser.value(m_email).trimmed());
    if (m_parser.isSet(m_musicBrainzURL))
        settings.setText(Settings::Text::MusicBrainzURL, m_parser.value(m_musicBrainzURL));
    if (m_parser.isSet(m_noMusicBrainz))
        settings.setCheckState(Settings::Option::UseMusicBrainz, Settings::Off);
    if (m_parser.isSet(m_jobs))
        settings.setEncoderJobs(m_parser.value(m_jobs).toInt());
    if (m_parser.isSet(m_readOffset))
        settings.setReadOffset(m_parser.value(m_readOffset).toInt());
    if (m_parser.isSet(m_fastRead))
        settings.setCheckState(Settings::Option::FastRead, Settings::On);
    if (m_parser.isSet(m_noAccurateRip))
        settings.setCheckState(Settings::Option::VerifyAccurateRip, Settings::Off);
    if (m_parser.isSet(m_accurateRipURL))
        settings.setText(Settings::Text::AccurateRipURL, m_parser.value(m_accurateRipURL).trimmed());
    if (m_parser.isSet(m_noReplayGain))
        settings.setCheckState(Settings::Option::ReplayGain, Settings::Off);
    if (m_parser.isSet(m_noCoverArt))
        settings.setCheckState(Settings::Option::CoverArt, Settings::Off);
    if (m_parser.isSet(m_coverArtURL))
        settings.setText(Settings::Text::CoverArtURL, m_parser.value(m_coverArtURL).trimmed());

    const QStringList titles = Settings::basicPresetTitles();
    if (m_parser.isSet(m_preset)) {
        const QString wanted = m_parser.value(m_preset);
        qsizetype row = titles.indexOf(wanted);
        for (qsizetype i = 0; row < 0 && i < titles.size(); ++i) {
            if (titles[i] != Settings::expertTitle() &&
                titles[i].split(QLatin1Char(' ')).constLast() == wanted)
                row = i;
        }
        if (row < 0 || titles[row] == Settings::expertTitle()) {
            m_error = QStringLiteral("Unknown preset \"%1\"; the presets are %2.").arg(wanted, presetList());
            return false;
        }
        settings.switchBasicConfig(int(row));
    }
    if (m_parser.isSet(m_expert)) {
        settings.switchBasicConfig(int(titles.indexOf(Settings::expertTitle())));
        settings.setText(Settings::Text::ExpertText, m_parser.value(m_expert));
    }

    if (m_source.isEmpty()) {
        // The drive itself where it holds an audio CD and may be read, else the desktop's mount.
        QString unreadable;
        for (int drive = 0; drive < 8 && m_source.isEmpty(); ++drive) {
            const QString device = QStringLiteral("/dev/sr%1").arg(drive);
            if (!DiscSourcePath::isDisc(device))
                continue;
            if (::access(QFile::encodeName(device).constData(), R_OK) != 0) {
                unreadable = device;
                continue;
            }
            try {
                CdioDisc::open(device);
                m_source = device;
            } catch (const VeskException&) {
                // No audio CD in this one.
            }
        }
        if (m_source.isEmpty())
            m_source = AudioCDFinder().findAudioCD();
        if (m_source.isEmpty()) {
            m_error = unreadable.isEmpty()
                          ? QStringLiteral("Could not find an audio CD. Insert one, or name a SOURCE_FOLDER, a "
                                           "disc image or --device.")
                          : QStringLiteral("Could not find an audio CD: %1 may not be read; add yourself to the "
                                           "cdrom group (or open the CD once in the file manager).")
                                .arg(unreadable);
            return false;
        }
        veskLog(QStringLiteral("Ripping the audio CD at %1").arg(m_source));
    }
    const QString source = QDir::cleanPath(QFileInfo(m_source).absoluteFilePath());
    settings.setChosenCDName(source);
    // The album folder is made inside the output folder: --output's, else the preferences' (the
    // music folder when they name none).
    QString outputFolder = settings.getChosenOutputDirectory();
    if (m_parser.isSet(m_output))
        outputFolder = UserPath::absolute(m_parser.value(m_output), QDir::currentPath());
    else if (outputFolder.isEmpty())
        outputFolder = MusicFolder::path();
    settings.setOutputDirectory(QDir::cleanPath(outputFolder));
    // A chosen track that is not one of the folder's, or no readable sound file, is said now, not
    // as a failed encoder run after the lookup and the album folder.
    const std::optional<QStringList> tracks = AudioTrackList::tracksInFolder(source, false);
    QStringList chosen;
    if (DiscSourcePath::isDisc(source)) {
        // A disc's tracks go by their numbers; the session says which the disc lacks.
        for (const QString& wanted : m_parser.values(m_track)) {
            if (!wanted.contains(QRegularExpression(QStringLiteral("^\\d+$")))) {
                m_error = QStringLiteral("--track %1: a disc's tracks are chosen by their numbers.").arg(wanted);
                return false;
            }
            chosen.append(DiscSourcePath::trackName(wanted.toInt()));
        }
    }
    for (const QString& wanted : DiscSourcePath::isDisc(source) ? QStringList() : m_parser.values(m_track)) {
        QString name = wanted;
        if (wanted.contains(QRegularExpression(QStringLiteral("^\\d+$")))) {
            const qint32 number = wanted.toInt();
            const QStringList numbered = tracks.value_or(QStringList());
            const auto found = std::find_if(numbered.begin(), numbered.end(), [&](const QString& track) {
                return AudioTrackList::trackNumber(track) == number;
            });
            if (found == numbered.end()) {
                m_error =
                    QStringLiteral("--track %1: %2 has no track %1%3.").arg(wanted, source, listed(tracks));
                return false;
            }
            name = *found;
        } else if (tracks && !tracks->contains(name)) {
            m_error = QStringLiteral("--track %1: %2 has no track file named \"%1\"%3.")
                          .arg(wanted, source, listed(tracks));
            return false;
        }
        QString problem;
        if (!AudioFileHeader::readFile(VeskTools::joinedPath(source, name), &problem)) {
            m_error = QStringLiteral("--track %1: %2 %3.")
                          .arg(wanted, VeskTools::joinedPath(source, name), problem);
            return false;
        }
        chosen.append(name);
    }
    settings.setChosenTracks(chosen);

    for (const QString& assignment : m_parser.values(m_set)) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        const QString key = assignment.left(equals);
        if (equals < 0 || !isSettable(PreferenceKeys::find(key)) ||
            !Preferences::setValue(settings, key, assignment.mid(equals + 1))) {
            m_error = QStringLiteral("Cannot set \"%1\"; give KEY=VALUE with one of %2 (the source and "
                                     "output folders have their own options).")
                          .arg(assignment, settableKeys());
            return false;
        }
    }
    return true;
}

std::optional<int> RipOptions::readOffset() const
{
    if (!m_parser.isSet(m_readOffset))
        return std::nullopt;
    return m_parser.value(m_readOffset).toInt();
}
