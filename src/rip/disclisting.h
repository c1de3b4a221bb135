#pragma once

#include "lookup/coverart/coverartfetch.h"
#include "lookup/disclookup.h"
#include "lookup/lookuphost.h"
#include "model/album.h"
#include "rip/coverartsearch.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class AlbumChooser;
class CdioDisc;
class QThread;
class DiscLookupRunner;

// One track file of the listed source folder.
struct ListedTrack {
    QString fileName;
    qint32 number = 0;         // the disc's track number, from the file's name; 0 when it has none
    qint64 sampleFrames = -1;  // -1 when the header could not be read
    QString problem;           // why the file is no track to rip, or empty

    // "3:07"; empty when the length is not known.
    QString length() const;
};

// What the window shows of the disc before a rip: the source folder's tracks and their lengths
// at once, then the titles as soon as the background lookup has them. The titles can be
// corrected in place; a rip of the folder takes them from here instead of looking up again.
class DiscListing : public QObject, public LookupHost {
    Q_OBJECT
public:
    enum class Titles {
        None,          // no folder listed
        FromFileNames, // nothing looked up (no lookup, nothing found, stopped)
        LookingUp,
        LookedUp,
        NotPaired,     // an album was found but cannot be paired with the tracks
    };

    explicit DiscListing(QObject* parent = nullptr);
    ~DiscListing() override;

    void setDiscLookupFactory(DiscLookupFactory factory) { m_lookupFactory = std::move(factory); }
    void setAlbumChooser(AlbumChooser* chooser) { m_chooser = chooser; }
    // The CDDB server a lookup asks, read when it starts.
    void setServerHost(std::function<QString()> host) { m_serverHost = std::move(host); }
    // How the front cover of titles found is looked for: the search's request for the album and
    // the disc's table of contents, or nothing when no cover is wanted. Without it, none is.
    using CoverRequest =
        std::function<std::optional<CoverArtSearch::Request>(const Album& album, const std::optional<DiscTOC>& toc)>;
    void setCoverRequest(CoverRequest request) { m_coverRequest = std::move(request); }
    // The front cover of the titles shown, once found; not found otherwise.
    const CoverArtFetch::FrontCover& cover() const { return m_cover; }

    // Lists the folder's tracks (an empty or missing folder lists none) and starts looking up
    // their titles. Listing the folder already shown again does nothing unless forced.
    void load(const QString& folder, bool force = false);
    // Asks the title sources anew; the titles edited so far give way to what they answer.
    void lookUpAgain();
    // Ends a running lookup; the tracks keep the titles they have.
    void cancelLookup();

    QString folder() const { return m_folder; }
    const std::vector<ListedTrack>& tracks() const { return m_tracks; }
    // One track for each listed track, in the same order.
    const Album& album() const { return m_album; }
    Titles titles() const { return m_titles; }
    bool isLookingUp() const { return m_titles == Titles::LookingUp; }
    // What the window says about the titles: where they came from, or what went wrong.
    QString note() const { return m_note; }
    // Whether every track's header has been read (lengths and problems are known).
    bool lengthsKnown() const { return m_lengthsKnown; }
    // The row of a track file, or -1.
    int rowOf(const QString& fileName) const;

    // Corrections made in the list.
    enum class Field { Artist, Title, Year, Genre, Comments };
    void setAlbumField(Field field, const QString& value);
    void setTrackTitle(int row, const QString& title);
    void setTrackArtist(int row, const QString& artist);

    // Every track was unticked: a rip of the folder has nothing to take (the chosen tracks of
    // the settings cannot say "none", since no choice means every track).
    void setNoneChosen(bool none) { m_noneChosen = none; }
    bool noneChosen() const { return m_noneChosen && !m_tracks.empty(); }

    // The album for a rip of these files of the folder (names as the settings keep them), one
    // track each in the order given; nothing when one of them is not listed.
    std::optional<Album> albumForTracks(const QStringList& fileNames) const;

    // LookupHost
    QString getChosenCDName() const override { return m_folder; }
    void runAlertWithTitle(const QString& title, const QString& text) override;
    void lookupFailed(const LookupFailure& failure) override;
    void lookupProgress(const QString& line) override;
    int displayMultipleAlbumMatches(const QStringList& matchLines) override;
    // A disc's own table of contents; a folder's is read as the lookup reads it.
    std::optional<DiscTOC> discTOC() override;

Q_SIGNALS:
    // A new folder was listed: every row may have changed.
    void tracksChanged();
    // The tracks' lengths are known: their headers were read, off the main thread (on a CD
    // mount every header is read from the disc).
    void lengthsChanged();
    // Titles, artists or album fields changed.
    void albumChanged();
    void noteChanged(const QString& note);
    // The titles' front cover was found (the image's bytes), or is gone (an empty array).
    void coverArtChanged(const QByteArray& image);
    // The lookup has ended, with titles or without.
    void lookupEnded();

private:
    void startLookup();
    void lookupFinished(const std::optional<Album>& album);
    void searchCover();
    void dropCover();
    void setNote(const QString& note);
    void readLengths();
    // A drive or an image: opened off the main thread (a drive takes its time), then listed.
    void openDisc();
    void discOpened(quint64 generation, const std::shared_ptr<CdioDisc>& disc, bool hiddenTrack, const QString& problem);
    void lengthsRead(quint64 generation, const std::vector<ListedTrack>& tracks);
    Album defaultAlbum() const;
    std::optional<Album> paired(const Album& found) const;

    DiscLookupFactory m_lookupFactory;
    AlbumChooser* m_chooser = nullptr;
    std::function<QString()> m_serverHost;
    CoverRequest m_coverRequest;
    std::unique_ptr<CoverArtSearch> m_coverSearch;
    CoverArtFetch::FrontCover m_cover;
    std::unique_ptr<DiscLookupRunner> m_runner;
    QString m_folder;
    std::vector<ListedTrack> m_tracks;
    Album m_album;
    Titles m_titles = Titles::None;
    bool m_noneChosen = false;
    bool m_lengthsKnown = false;
    quint64 m_generation = 0; // which listing a header reader's answer belongs to
    std::vector<QThread*> m_readers;
    std::shared_ptr<CdioDisc> m_disc;
    mutable std::mutex m_tocMutex; // the lookup's worker asks for the disc's table of contents
    std::optional<DiscTOC> m_discToc;
    QString m_note;
    QString m_failureNote; // a failure the lookup reported, kept for the end of the lookup
};
