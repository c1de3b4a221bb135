#include "editor/gui/trackwindowcontroller.h"

#include "ui_trackwindowcontroller.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>

TrackWindowController::TrackWindowController(QWidget* parentWindow)
    : QDialog(parentWindow), m_ui(std::make_unique<Ui::TrackWindowController>())
{
    m_ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    // OK and Cancel come from the platform's button box, in its order and with its words; OK is
    // what Return presses.
    okButton()->setDefault(true);
    m_ui->tableView->verticalHeader()->hide();
    m_ui->tableView->horizontalHeader()->setStretchLastSection(true);
}

TrackWindowController::~TrackWindowController() = default;

QLineEdit* TrackWindowController::cellAtIndex(int index) const
{
    if (index == 0)
        return m_ui->artistEdit;
    return index == 1 ? m_ui->titleEdit : nullptr;
}

QLineEdit* TrackWindowController::yearField() const
{
    return m_ui->yearEdit;
}

QComboBox* TrackWindowController::genrePopUp() const
{
    return m_ui->genreBox;
}

QLineEdit* TrackWindowController::commentsField() const
{
    return m_ui->commentsEdit;
}

QTableView* TrackWindowController::tableView() const
{
    return m_ui->tableView;
}

QPushButton* TrackWindowController::okButton() const
{
    return m_ui->buttonBox->button(QDialogButtonBox::Ok);
}

QPushButton* TrackWindowController::cancelButton() const
{
    return m_ui->buttonBox->button(QDialogButtonBox::Cancel);
}

QPushButton* TrackWindowController::synchArtistButton() const
{
    return m_ui->synchButton;
}
