#pragma once

#include <QObject>
#include <QTimer>

class DiscListing;
class LAMEProcess;
class MainWindow;
class Settings;
class TrackListModel;
class AudioCDFinder;
class OpticalDriveWatcher;

// The window's track list: the table of the listed disc, the album fields above it and the
// line saying where the titles came from, kept in step with the source the settings name. A CD
// that appears while no source is there becomes the source.
class TrackListBinding : public QObject {
    Q_OBJECT
public:
    TrackListBinding(MainWindow& window, Settings& settings, DiscListing& listing, LAMEProcess& session,
                     AudioCDFinder& finder, QObject* parent = nullptr);

    TrackListModel& model() { return *m_model; }
    // Drives and discs as UDisks2 reports them: an audio CD put in while no source is there
    // becomes the source, read from the drive; its removal empties the list.
    void followDrives(OpticalDriveWatcher& drives);
    // The genres the album's genre field offers.
    void setGenres(const QStringList& genres);

private:
    void showAlbum();
    void showArtistColumn(bool shown);
    void sourceChanged();
    void lookForCD();
    void showLocked(bool locked);

    MainWindow& m_window;
    Settings& m_settings;
    DiscListing& m_listing;
    LAMEProcess& m_session;
    AudioCDFinder& m_finder;
    TrackListModel* m_model = nullptr;
    OpticalDriveWatcher* m_drives = nullptr;
    QTimer m_sourceSettled;
    QTimer m_cdWatch;
};
