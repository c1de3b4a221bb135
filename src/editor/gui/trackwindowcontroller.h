#pragma once

#include <QDialog>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace Ui {
class TrackWindowController;
}

// The track information window: a window-modal dialog over the main window holding the album
// fields, the genre pop-up, the track table and the closing buttons. TrackInfo drives it.
class TrackWindowController : public QDialog {
    Q_OBJECT
public:
    explicit TrackWindowController(QWidget* parentWindow);
    ~TrackWindowController() override;

    // The two cells of the album form: 0 is the album artist, 1 the album title; no others.
    QLineEdit* cellAtIndex(int index) const;
    QLineEdit* yearField() const;
    QComboBox* genrePopUp() const;
    QLineEdit* commentsField() const;
    QTableView* tableView() const;
    QPushButton* okButton() const;
    QPushButton* cancelButton() const;
    QPushButton* synchArtistButton() const;

private:
    std::unique_ptr<Ui::TrackWindowController> m_ui;
};
