#pragma once

#include "lookup/albumchooser.h"

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTableWidget;

// Lets the user pick one of several matches for the disc: a window-modal dialog over the main
// window with one row per match, as the lookup words it ("Artist – Title (1999, rock)"), the
// first row preselected. "Use this disc", Return and a double click confirm the selected row;
// "None of these", Escape and the close box decline every match. Nothing else closes it.
class FreedbAlbumMatchesController : public QDialog, public AlbumChooser {
    Q_OBJECT
public:
    explicit FreedbAlbumMatchesController(QWidget* mainWindow);

    // AlbumChooser: shows the lines and answers the chosen row, or -1 when all were declined.
    int displayMultipleAlbumMatches(const QStringList& matchLines) override;
    // The lookup ended while the matches were shown: they are declined.
    void cancelChoice() override;

    // Shows the lines and returns once the user has confirmed a row or declined them all.
    void displayAlbumMatches(const QStringList& albums);
    // The confirming button's action: the selected row becomes the choice.
    void choseAlbum();
    // The declining button's action.
    void declineAlbums();
    int getChosenAlbumNumber() const { return m_chosenAlbumNumber; }

    // The table's contents: a row shows its whole line, and so does its tooltip.
    int numberOfRowsInTableView() const { return static_cast<int>(m_albums.size()); }
    QString tableView(int row) const { return m_albums.value(row); }

    QTableWidget* matchTable() const { return m_tableView; }
    QPushButton* chooseButton() const { return m_chooseButton; }
    QPushButton* noneButton() const { return m_noneButton; }

private:
    void reloadData();
    void updateChooseButton();

    QTableWidget* m_tableView = nullptr;
    QPushButton* m_chooseButton = nullptr;
    QPushButton* m_noneButton = nullptr;
    int m_chosenAlbumNumber = 0;
    QStringList m_albums;
};
