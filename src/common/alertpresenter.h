#pragma once

#include <QString>

// Shows a message to the user: a window-modal alert with one "OK" button in the window,
// standard error in the command-line front end. The text is shown literally.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void runAlertWithTitle(const QString& title, const QString& text) = 0;
};
