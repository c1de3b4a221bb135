#pragma once

#include <QObject>

class AppController;
class LAMEProcess;

// Connects the window's Start, Stop and Skip buttons and its progress display to the rip session,
// and lets the application's end stop a running rip.
class RipSessionBinding : public QObject {
    Q_OBJECT
public:
    RipSessionBinding(AppController& controller, LAMEProcess& session, QObject* parent = nullptr);
};
