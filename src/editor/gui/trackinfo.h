#pragma once

#include "editor/gui/trackwindowcontroller.h"
#include "encoder/lame/lameencoder.h"
#include "model/album.h"
#include "rip/trackeditor.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

class EncoderRun;
class QAbstractButton;

// The track information editor: shows an album in the track window, lets the user correct it and
// builds a fresh album from what the window shows. It is also the track table's model, one row
// per track with the columns "trackNum", "trackTitle" and "trackArtist". On creation it asks the
// encoder for its genre names to fill the genre pop-up.
class TrackInfo : public QAbstractTableModel, public TrackEditor {
    Q_OBJECT
public:
    // A table row: the column identifiers mapped to the cells' texts.
    using TrackRecord = QMap<QString, QString>;

    // The window becomes a window-modal dialog over mainWindow (may be null in tests).
    explicit TrackInfo(QWidget* mainWindow, QObject* parent = nullptr);
    ~TrackInfo() override;

    // TrackEditor
    void displayTrackInfo(const Album& album) override;
    bool userDidEditInformation() const override { return m_userEditedInformation; }
    Album getEditedInformation() const override;

    QString getAlbumArtist() const;
    QString getAlbumTitle() const;
    QString getYear() const;
    // The selected genre's title; a null string when no genre is selected.
    QString getGenre() const;
    QString getComments() const;

    static TrackRecord createTrackRecord(qint32 number, const QString& artist, const QString& title);
    void addRecord(qint32 number, const QString& artist, const QString& title);

    // The table's data source, addressed by column identifier.
    int numberOfRowsInTableView() const;
    // The row's value for the column; a null string for an unknown column or row.
    QString tableView(const QString& columnIdentifier, int row) const;
    // Stores the value in the row when the column is one of the three; anything else changes nothing.
    void tableView(const QVariant& value, const QString& columnIdentifier, int row);

    // The closing buttons' action: only the window's OK button confirms.
    void buttonResponse(QAbstractButton* button);
    // Gives every row the album artist shown in the form.
    void synchArtist();
    // The album artist has become artist: every row whose artist is empty or still the previous
    // album artist takes the new one; an artist the user gave a track of its own stays.
    void albumArtistChanged(const QString& artist);

    // The genre list: one encoder run with "--genre-list", collected chunk by chunk and parsed
    // into the pop-up when its output ends.
    void buildGenreList();
    void getLAMEGenreData(const QByteArray& chunk);
    void genreOutputEnded(bool succeeded, const QString& failure);
    bool isGenreListDone() const { return m_genreListDone; }

    TrackWindowController* trackWindowController() const { return m_trackWindowController; }

    static const QStringList& columnIdentifiers();

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The genre list run has ended (or could not start); the pop-up holds what it will hold.
    void genreListDone();

private:
    void selectGenre(const QString& genre);
    void finishGenreList();
    void commitOpenCellEditors();

    QPointer<TrackWindowController> m_trackWindowController;
    QList<TrackRecord> m_tracks;
    // The album last shown; the edited one keeps its origin, disc number and MusicBrainz ids.
    Album m_shownAlbum;
    // The encoder whose genres the pop-up offers, and its genre list run's output so far.
    LameEncoder m_encoder;
    QByteArray m_genreOutput;
    EncoderRun* m_chore = nullptr;
    // The album artist the rows that nobody changed still carry.
    QString m_followedArtist;
    bool m_userEditedInformation = false;
    bool m_genreListDone = false;
    // The pop-up item added for an album genre the list lacks; -1 when there is none.
    int m_albumGenreItem = -1;
};
