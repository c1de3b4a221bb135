#pragma once

#include "common/userpath.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// The user's options for a rip, as the main window shows them. The window binds its controls
// to these fields both ways, so every accessor reads what the user sees at the moment of the call.
// The rip session and the lookup read options only through here; nothing else keeps a copy.
class Settings : public QObject {
    Q_OBJECT
public:
    // Check box states as stored in the preferences: 1 is on; off and mixed both count as off.
    static constexpr int Off = 0;
    static constexpr int On = 1;
    static constexpr int Mixed = -1;

    enum class Option {
        SpacesToUnderscores,
        AddID3Tags,
        MakeAltPresetFaster,
        ZFlag,
        SoundAlertWhenFinished,
        EditTrackInformation,
        CreateSeparateArtistAlbumDirs,
        CreateReleaseFiles,
        UseMusicBrainz,
        FastRead,      // a disc is read without paranoia's error correction
        EjectWhenDone, // the disc is ejected at the end of a rip that read it
        VerifyAccurateRip, // the rip's checksums are compared with the AccurateRip database's
        ReplayGain,        // track and album loudness written into the tags
        CoverArt,          // the release's front cover embedded and saved as cover.jpg
        Count // not an option: how many there are
    };
    Q_ENUM(Option)

    enum class Text {
        ChosenCD,
        ChosenOutputDirectory,
        NameStyle,
        FreedbServer,
        ExpertText,
        FreedbEmail,
        MusicBrainzURL,
        AccurateRipURL,
        CoverArtURL,
        DriveReadOffsets, // "VENDOR MODEL=+6;OTHER MODEL=-472": the offsets found or confirmed per drive
        Count // not a text: how many there are
    };
    Q_ENUM(Text)

    explicit Settings(QObject* parent = nullptr);

    // Option accessors.
    bool shouldConvertSpacesToUnderscores() const { return isOn(Option::SpacesToUnderscores); }
    bool shouldAddID3Tags() const { return isOn(Option::AddID3Tags); }
    bool shouldMakeAltPresetFaster() const { return isOn(Option::MakeAltPresetFaster); }
    bool shouldSoundAlertWhenFinished() const { return isOn(Option::SoundAlertWhenFinished); }
    bool shouldEditTrackInformation() const { return isOn(Option::EditTrackInformation); }
    bool shouldCreateReleaseFiles() const { return isOn(Option::CreateReleaseFiles); }
    bool shouldCreateSeparateArtistAlbumDirs() const { return isOn(Option::CreateSeparateArtistAlbumDirs); }
    // The folders as absolute paths, whatever was typed ("~/Music", "Music": under the home folder).
    // The output folder is the one albums are made in, exactly as the user gave it.
    QString getChosenCDName() const { return UserPath::absolute(text(Text::ChosenCD)); }
    QString getChosenOutputDirectory() const;
    QString getChosenFreedbServer() const { return text(Text::FreedbServer); }
    QString getMP3NameStyle() const { return text(Text::NameStyle); }
    // The address sent in "cddb hello" (user@host); empty for the login and host names.
    QString getFreedbEmail() const { return text(Text::FreedbEmail); }
    // Whether MusicBrainz is asked when the CDDB server gives no album, and where it is.
    bool shouldUseMusicBrainz() const { return isOn(Option::UseMusicBrainz); }
    QString getMusicBrainzURL() const { return text(Text::MusicBrainzURL); }
    // How many encoders may run at once (1 to maxEncoderJobs).
    int encoderJobs() const { return m_encoderJobs; }
    void setEncoderJobs(int jobs);
    static constexpr int maxEncoderJobs = 8;
    // The processor cores, at most maxEncoderJobs.
    static int defaultEncoderJobs();
    // The drive's read offset in samples, applied when a disc is read (-maxReadOffset to
    // +maxReadOffset; 0 until the user gives the drive's).
    int readOffset() const { return m_readOffset; }
    void setReadOffset(int samples);
    static constexpr int maxReadOffset = 3000;
    bool shouldReadFast() const { return isOn(Option::FastRead); }
    bool shouldEjectWhenDone() const { return isOn(Option::EjectWhenDone); }
    bool shouldVerifyWithAccurateRip() const { return isOn(Option::VerifyAccurateRip); }
    QString getAccurateRipURL() const { return text(Text::AccurateRipURL); }
    bool shouldWriteReplayGain() const { return isOn(Option::ReplayGain); }
    bool shouldAddCoverArt() const { return isOn(Option::CoverArt); }
    QString getCoverArtURL() const { return text(Text::CoverArtURL); }
    // The read offset kept for a drive model ("VENDOR MODEL" as the drive names itself), if any.
    std::optional<int> driveReadOffset(const QString& drive) const;
    void setDriveReadOffset(const QString& drive, int samples);

    // The selected basic preset's words, or nothing for "Expert:". The encoder puts in the
    // faster variant itself when shouldMakeAltPresetFaster() says so.
    std::optional<QStringList> getBasicConfigOption() const;
    // The expert line's words; empty when the line is empty.
    QStringList getExpertConfigOption() const;
    // A line split at every single space: "a  b" gives "a", "", "b".
    static QStringList splitIntoWords(const QString& line);

    // Setters the rip session writes back through.
    void setOutputDirectory(const QString& value) { setText(Text::ChosenOutputDirectory, value); }
    void setChosenCDName(const QString& value) { setText(Text::ChosenCD, value); }

    // Raw state, for the window binding and the preferences file.
    int checkState(Option option) const;
    void setCheckState(Option option, int state);
    bool isOn(Option option) const { return checkState(option) == On; }
    QString text(Text field) const;
    void setText(Text field, const QString& value);

    // Basic presets: the column's titles, the selected row and the remembered title.
    static QStringList basicPresetTitles();
    static QString expertTitle() { return QStringLiteral("Expert:"); }
    int selectedBasicRow() const { return m_selectedBasicRow; }
    void selectBasicRow(int row);    // the selection only, as loading preferences does
    void switchBasicConfig(int row); // the user picked a cell: selection and remembered title
    QString basicConfigOption() const { return m_basicConfigOption; }
    void setBasicConfigOption(const QString& title) { m_basicConfigOption = title; }

    // The expert line's remembered list.
    QStringList expertItems() const { return m_expertItems; }
    void setExpertItems(const QStringList& items);
    int expertSelectedIndex() const { return m_expertSelectedIndex; }
    void setExpertSelectedIndex(int index);
    // Selects a remembered line and shows it as the expert text; an index outside the list is ignored.
    void selectExpertItem(int index);
    // Appends lines to the list; when it then holds any, selects the first. Loading preferences
    // does this.
    void addExpertItems(const QStringList& lines);

    // Upkeep of the remembered lines, driven by the expert combo box's events.
    // Some text field ended editing with editorText. For the expert field: an emptied field drops
    // the selected line, any other text is remembered.
    void expertFieldTextChanged(const QString& editorText);
    // Remembers the expert text once (no duplicates, no blank line), replacing the blank item.
    void saveCurrentExpertConfigOption();

    // The user chose sources: a folder (all its entries become the chosen tracks) or track files
    // in one folder (their names). Nothing chosen changes nothing.
    void applyChosenSource(const QStringList& paths);
    // The user chose an output folder: albums are made in it. Nothing chosen changes nothing.
    void applyChosenOutputDirectory(const QString& folder);

    // Source folder and chosen tracks.
    QStringList chosenTracks() const { return m_chosenTracks; }
    void setChosenTracks(const QStringList& names);
    void emptyChosenTracksArray();
    // The chosen track file names without ".DS_Store" and ".TOC.plist": the picked ones, else
    // every entry of the source folder; nothing when neither exists.
    std::optional<QStringList> getChosenTracks();
    // The folder's AIFF and WAV files in natural order (others are logged and left out), or
    // nothing when it cannot be listed.
    static std::optional<QStringList> getTracksAtPath(const QString& path);

Q_SIGNALS:
    void checkStateChanged(Settings::Option option);
    void textChanged(Settings::Text field);
    void basicRowChanged();
    void expertListChanged();
    void chosenTracksChanged();
    void encoderJobsChanged();
    void readOffsetChanged();

private:
    int m_checkStates[int(Option::Count)] = {};
    QString m_texts[int(Text::Count)];
    int m_encoderJobs = defaultEncoderJobs();
    int m_readOffset = 0;
    int m_selectedBasicRow = 0;
    QString m_basicConfigOption;
    QStringList m_expertItems;
    int m_expertSelectedIndex = -1;
    void removeExpertItem(int index);
    QStringList m_chosenTracks;
};
