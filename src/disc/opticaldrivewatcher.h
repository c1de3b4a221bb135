#pragma once

#include "disc/opticaldrive.h"
#include "disc/udisks2objecttree.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// The CD drives UDisks2 knows and the discs going in and out of them. Everything it asks of
// UDisks2 is asynchronous: without a bus or without UDisks2 it logs a line and stays quiet, and
// it picks UDisks2 up when the service appears later.
class OpticalDriveWatcher : public QObject {
    Q_OBJECT
public:
    // Watches the system bus.
    explicit OpticalDriveWatcher(QObject* parent = nullptr);
    explicit OpticalDriveWatcher(const QDBusConnection& bus, QObject* parent = nullptr);
    ~OpticalDriveWatcher() override;

    // Lists the drives (drivesChanged() tells when the list is in) and follows them from then on.
    void start();

    // The drives known now, ordered by device; empty until the first listing is in.
    QList<OpticalDrive> drives() const { return m_drives; }
    std::optional<OpticalDrive> drive(const QString& device) const;
    bool holdsAudioCD(const QString& device) const;

    // Asks UDisks2 to eject the disc; ejectFinished() tells how it went, also for a device it
    // does not know.
    void eject(const QString& device);

Q_SIGNALS:
    // The drives or their discs changed, or the first listing is in.
    void drivesChanged();
    // A disc went in after the first listing (or a drive holding one appeared). An audio CD has
    // audio tracks; a data disc has none. Said again when the count changes while the disc is in.
    void discInserted(const QString& device, int audioTracks);
    void discRemoved(const QString& device);
    // error is empty when the disc was ejected, else says why not in words.
    void ejectFinished(const QString& device, const QString& error);

private Q_SLOTS:
    // QtDBus connects its signals by name only.
    void interfacesAdded(const QDBusMessage& message);
    void interfacesRemoved(const QDBusMessage& message);
    void propertiesChanged(const QDBusMessage& message);

private:
    void list();
    void listed(QDBusPendingCallWatcher* call, int listing);
    void serviceGone();
    // Compares the tree's drives with the ones known so far and says what changed; the first
    // listing only says that the list is in.
    void update(bool announceDiscs);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    UDisks2ObjectTree m_tree;
    QList<OpticalDrive> m_drives;
    // Signals are followed once a listing is in; the listing already holds what came before.
    bool m_listed = false;
    bool m_everListed = false;
    // Only the latest listing counts when UDisks2 came and went while one was under way.
    int m_listing = 0;
};
