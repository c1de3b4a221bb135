#pragma once

#include "rip/trackjob.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>
#include <vector>

class DiscListing;
class Settings;

// The disc's tracks as the window's table shows them: a tick to rip each one, its number, title,
// artist and length, and during and after a rip how far it has got. Ticks are the chosen tracks
// of the settings, both ways; titles and artists are edited in place.
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn, TitleColumn, ArtistColumn, LengthColumn, StateColumn, ColumnCount };

    TrackListModel(DiscListing& listing, Settings& settings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    int tickedCount() const;
    // Whether the artist column says anything: a compilation, or a track whose artist is not
    // the album's.
    bool showsTrackArtists() const;
    // While a rip runs, nothing in the list changes but the rows' states.
    void setLocked(bool locked);

    // The rip that is starting takes these files: they wait, the others are left out.
    void showRipStarting(const QStringList& fileNames);
    void showJob(const TrackJob& job);
    // A row's state in words, as the state column shows it.
    QString stateText(int row) const;

Q_SIGNALS:
    void trackArtistsShownChanged(bool shown);

private:
    struct RowState {
        bool shown = false;
        TrackJob::State state = TrackJob::State::Waiting;
        TrackJob::Reading reading = TrackJob::Reading::NotYet;
        int percent = -1;
        QString estimate;
        QString reason;
        QString accurateRip;
    };
    void reset();
    void readTicks();
    void writeTicks();
    void albumChanged();

    DiscListing& m_listing;
    Settings& m_settings;
    QSet<QString> m_unticked;
    std::vector<RowState> m_states;
    bool m_locked = false;
    bool m_artistsShown = false;
};
