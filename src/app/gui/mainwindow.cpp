#include "app/gui/mainwindow.h"

#include "ui_mainwindow.h"

#include <QCloseEvent>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_mayClose && !m_mayClose()) {
        event->ignore();
        return;
    }
    Q_EMIT closing();
    event->accept();
}
