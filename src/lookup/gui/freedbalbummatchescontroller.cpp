#include "lookup/gui/freedbalbummatchescontroller.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

FreedbAlbumMatchesController::FreedbAlbumMatchesController(QWidget* mainWindow) : QDialog(mainWindow)
{
    setWindowTitle(tr("Choose the disc"));
    setWindowModality(Qt::WindowModal);
    resize(520, 300);

    auto* label = new QLabel(tr("Several discs match this one. Choose the right one, or none of these:"));
    label->setWordWrap(true);

    m_tableView = new QTableWidget(0, 1);
    m_tableView->setHorizontalHeaderLabels({tr("Disc")});
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->verticalHeader()->hide();
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // The platform's button order. Made in the dialog, so that the dialog knows its default
    // button: Return in the table presses it. Escape and the close box decline as "None of
    // these" does.
    auto* buttons = new QDialogButtonBox(this);
    m_chooseButton = buttons->addButton(tr("&Use this disc"), QDialogButtonBox::AcceptRole);
    m_noneButton = buttons->addButton(tr("&None of these"), QDialogButtonBox::RejectRole);
    m_chooseButton->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_tableView);
    layout->addWidget(buttons);

    connect(m_chooseButton, &QPushButton::clicked, this, &FreedbAlbumMatchesController::choseAlbum);
    connect(m_noneButton, &QPushButton::clicked, this, &FreedbAlbumMatchesController::declineAlbums);
    connect(m_tableView, &QTableWidget::itemSelectionChanged, this,
            &FreedbAlbumMatchesController::updateChooseButton);
    connect(m_tableView, &QTableWidget::cellDoubleClicked, this, &FreedbAlbumMatchesController::choseAlbum);
}

int FreedbAlbumMatchesController::displayMultipleAlbumMatches(const QStringList& matchLines)
{
    displayAlbumMatches(matchLines);
    return getChosenAlbumNumber();
}

void FreedbAlbumMatchesController::cancelChoice()
{
    if (isVisible())
        declineAlbums();
}

void FreedbAlbumMatchesController::displayAlbumMatches(const QStringList& albums)
{
    m_albums = albums;
    reloadData();
    if (!m_albums.isEmpty())
        m_tableView->selectRow(0);
    updateChooseButton();
    // Return confirms the selected row from the start.
    m_tableView->setFocus();
    // Escape and the close box decline like "None of these".
    if (exec() != QDialog::Accepted)
        m_chosenAlbumNumber = -1;
}

void FreedbAlbumMatchesController::choseAlbum()
{
    const QModelIndexList rows = m_tableView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return; // nothing to confirm; the button is disabled then
    m_chosenAlbumNumber = rows.first().row();
    accept();
}

void FreedbAlbumMatchesController::declineAlbums()
{
    m_chosenAlbumNumber = -1;
    reject();
}

void FreedbAlbumMatchesController::reloadData()
{
    m_tableView->clearSelection();
    m_tableView->setRowCount(numberOfRowsInTableView());
    for (int row = 0; row < numberOfRowsInTableView(); ++row) {
        auto* item = new QTableWidgetItem(tableView(row));
        // A row too long for the table is read whole here.
        item->setToolTip(tableView(row));
        m_tableView->setItem(row, 0, item);
    }
}

void FreedbAlbumMatchesController::updateChooseButton()
{
    m_chooseButton->setEnabled(!m_tableView->selectionModel()->selectedRows().isEmpty());
}
