#include "lookup/gui/freedbalbummatchescontroller.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

FreedbAlbumMatchesController::FreedbAlbumMatchesController(QWidget* mainWindow) : QDialog(mainWindow)
{
    setWindowTitle(tr("Choose an Album"));
    setWindowModality(Qt::WindowModal);
    resize(520, 300);

    auto* label = new QLabel(tr("The server knows several discs that match this one. Choose the right one:"));
    label->setWordWrap(true);

    m_tableView = new QTableWidget(0, 1);
    m_tableView->setHorizontalHeaderLabels({tr("Match")});
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->verticalHeader()->hide();
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_noneButton = new QPushButton(tr("None of These"));
    m_noneButton->setAutoDefault(false);
    m_chooseButton = new QPushButton(tr("Choose"));
    m_chooseButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_noneButton);
    buttons->addWidget(m_chooseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_tableView);
    layout->addLayout(buttons);

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
    // Escape and the close box decline like "None of These".
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
    for (int row = 0; row < numberOfRowsInTableView(); ++row)
        m_tableView->setItem(row, 0, new QTableWidgetItem(tableView(row)));
}

void FreedbAlbumMatchesController::updateChooseButton()
{
    m_chooseButton->setEnabled(!m_tableView->selectionModel()->selectedRows().isEmpty());
}
