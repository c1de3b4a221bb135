#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}

// The main window as the form defines it; AppController binds its controls to the settings.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    Ui::MainWindow& ui() { return *m_ui; }
    // Asked before the window closes; answering false keeps it open (a question to the user
    // may close it later).
    void setCloseGuard(std::function<bool()> mayClose) { m_mayClose = std::move(mayClose); }

Q_SIGNALS:
    // The window is closing: a running rip must stop and the preferences be saved first.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::function<bool()> m_mayClose;
};
