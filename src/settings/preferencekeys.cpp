#include "settings/preferencekeys.h"

#include <limits>

namespace {
using Kind = PreferenceKey::Kind;
using Role = PreferenceKey::Role;
using Option = Settings::Option;
using Text = Settings::Text;

QString latin1(const char* text)
{
    return QLatin1String(text);
}

QList<PreferenceKey> makeKeys()
{
    const qint64 lastPresetRow = Settings::basicPresetTitles().size() - 1;
    // The upper end of the expert selection depends on the list; it is checked when applied.
    const qint64 anyRow = std::numeric_limits<int>::max();
    auto box = [](const char* name, Option option, const char* control, bool startsOn = false) {
        return PreferenceKey{.name = latin1(name),
                             .kind = Kind::CheckBox,
                             .option = option,
                             .control = latin1(control),
                             .maximum = 1,
                             .startsSet = startsOn};
    };
    return {
        {.name = latin1("AudioCDLocation"),
         .role = Role::SourceFolder,
         .text = Text::ChosenCD,
         .control = latin1("chosenCD")},
        {.name = latin1("OutputDirectory"),
         .role = Role::OutputFolder,
         .text = Text::ChosenOutputDirectory,
         .control = latin1("chosenOutputDirectory")},
        {.name = latin1("MP3NameStyle"), .text = Text::NameStyle, .control = latin1("nameStyleTextField")},
        {.name = latin1("BasicConfigOption"), .role = Role::BasicTitle},
        {.name = latin1("ConfigOptionSelected"),
         .kind = Kind::Integer,
         .role = Role::BasicRow,
         .maximum = lastPresetRow},
        {.name = latin1("ExpertConfigOption"), .role = Role::ExpertLines},
        {.name = latin1("ExpertConfigOptionSelected"),
         .kind = Kind::Integer,
         .role = Role::ExpertRow,
         .minimum = -1,
         .maximum = anyRow},
        box("ConvertSpacesToUnderscores", Option::SpacesToUnderscores, "spacesToUnderscores"),
        box("AddID3Tags", Option::AddID3Tags, "addID3Tags"),
        box("MakeAltPresetFaster", Option::MakeAltPresetFaster, "makeAltPresetFaster"),
        box("ZFlag", Option::ZFlag, "zFlag"),
        box("SoundAlertWhenFinished", Option::SoundAlertWhenFinished, "soundAlertWhenFinished"),
        box("EditTrackInformation", Option::EditTrackInformation, "editTrackInformation"),
        box("CreateSeparateArtistAlbumDirs", Option::CreateSeparateArtistAlbumDirs,
            "createSeparateArtistAlbumDirs"),
        box("CreateReleaseFiles", Option::CreateReleaseFiles, "createReleaseFiles"),
        // MusicBrainz is asked unless the user says no.
        box("UseMusicBrainz", Option::UseMusicBrainz, "useMusicBrainz", true),
        box("FastRead", Option::FastRead, "fastRead"),
        box("EjectWhenDone", Option::EjectWhenDone, "ejectWhenDone"),
        box("VerifyAccurateRip", Option::VerifyAccurateRip, "verifyAccurateRip", true),
        box("ReplayGain", Option::ReplayGain, "replayGain", true),
        box("CoverArt", Option::CoverArt, "coverArt", true),
        {.name = latin1("FreedbServer"),
         .text = Text::FreedbServer,
         .control = latin1("freedbServerField"),
         .fallback = latin1("https://gnudb.gnudb.org/~cddb/cddb.cgi")},
        {.name = latin1("FreedbEmail"),
         .text = Text::FreedbEmail,
         .control = latin1("freedbEmailField"),
         .trimmed = true},
        {.name = latin1("MusicBrainzURL"),
         .text = Text::MusicBrainzURL,
         .fallback = latin1("https://musicbrainz.org"),
         .startsSet = true},
        {.name = latin1("AccurateRipURL"),
         .text = Text::AccurateRipURL,
         .fallback = latin1("http://www.accuraterip.com"),
         .startsSet = true},
        {.name = latin1("CoverArtURL"),
         .text = Text::CoverArtURL,
         .fallback = latin1("https://coverartarchive.org"),
         .startsSet = true},
        {.name = latin1("DriveReadOffsets"), .text = Text::DriveReadOffsets, .trimmed = true},
        {.name = latin1("EncoderJobs"),
         .kind = Kind::Integer,
         .role = Role::EncoderJobs,
         .control = latin1("encoderJobs"),
         .minimum = 1,
         .maximum = Settings::maxEncoderJobs},
        {.name = latin1("ReadOffset"),
         .kind = Kind::Integer,
         .role = Role::ReadOffset,
         .control = latin1("readOffset"),
         .minimum = -Settings::maxReadOffset,
         .maximum = Settings::maxReadOffset},
    };
}
} // namespace

namespace PreferenceKeys {
const QList<PreferenceKey>& all()
{
    static const QList<PreferenceKey> keys = makeKeys();
    return keys;
}

const PreferenceKey* find(const QString& name)
{
    for (const PreferenceKey& key : all())
        if (key.name == name)
            return &key;
    return nullptr;
}

const PreferenceKey& of(Settings::Option option)
{
    for (const PreferenceKey& key : all())
        if (key.option == option)
            return key;
    Q_UNREACHABLE();
}

const PreferenceKey* of(Settings::Text text)
{
    for (const PreferenceKey& key : all())
        if (key.text == text)
            return &key;
    return nullptr;
}
} // namespace PreferenceKeys
