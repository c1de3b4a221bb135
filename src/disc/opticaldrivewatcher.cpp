#include "disc/opticaldrivewatcher.h"

#include "common/log.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QHash>

namespace {
const QString service = QStringLiteral("org.freedesktop.UDisks2");
const QString managerPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString objectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");

// Long enough for a busy udisksd, short enough that a hung one is noticed in the log.
constexpr int listingTimeout = 10000;
// Ejecting waits for the drive to spin down and open its tray.
constexpr int ejectTimeout = 30000;

using ManagedObjects = QMap<QDBusObjectPath, UDisks2ObjectTree::Interfaces>;

template <typename T> T argumentAt(const QDBusMessage& message, int index)
{
    const QVariantList arguments = message.arguments();
    return index < arguments.size() ? qdbus_cast<T>(arguments.at(index)) : T();
}
} // namespace

OpticalDriveWatcher::OpticalDriveWatcher(QObject* parent)
    : OpticalDriveWatcher(QDBusConnection::systemBus(), parent)
{
}

OpticalDriveWatcher::OpticalDriveWatcher(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
}

OpticalDriveWatcher::~OpticalDriveWatcher() = default;

void OpticalDriveWatcher::start()
{
    if (m_serviceWatcher)
        return;
    if (!m_bus.isConnected()) {
        veskLog(QStringLiteral("CD drives are not watched: no D-Bus system bus (%1)")
                    .arg(m_bus.lastError().message()));
        return;
    }
    // Signals first, then the listing: whatever changes after the listing was made comes after it.
    m_bus.connect(service, managerPath, objectManager, QStringLiteral("InterfacesAdded"), this,
                  SLOT(interfacesAdded(QDBusMessage)));
    m_bus.connect(service, managerPath, objectManager, QStringLiteral("InterfacesRemoved"), this,
                  SLOT(interfacesRemoved(QDBusMessage)));
    m_bus.connect(service, QString(), properties, QStringLiteral("PropertiesChanged"), {driveInterface},
                  QString(), this, SLOT(propertiesChanged(QDBusMessage)));
    m_serviceWatcher =
        new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, &OpticalDriveWatcher::list);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &OpticalDriveWatcher::serviceGone);
    list();
}

void OpticalDriveWatcher::list()
{
    m_listed = false;
    const int listing = ++m_listing;
    const QDBusMessage call = QDBusMessage::createMethodCall(service, managerPath, objectManager,
                                                             QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, listingTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, listing](QDBusPendingCallWatcher* finished) { listed(finished, listing); });
}

void OpticalDriveWatcher::listed(QDBusPendingCallWatcher* call, int listing)
{
    call->deleteLater();
    if (listing != m_listing)
        return;
    const QDBusMessage reply = call->reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        veskLog(QStringLiteral("CD drives are not watched: UDisks2 did not list them (%1)")
                    .arg(reply.errorMessage()));
        return;
    }
    const auto objects = argumentAt<ManagedObjects>(reply, 0);
    m_tree.clear();
    for (auto it = objects.begin(); it != objects.end(); ++it)
        m_tree.addInterfaces(it.key().path(), it.value());
    m_listed = true;
    // What is in the drives at start is no news; after UDisks2 came back it may be.
    const bool first = !m_everListed;
    m_everListed = true;
    update(!first);
}

void OpticalDriveWatcher::interfacesAdded(const QDBusMessage& message)
{
    if (!m_listed)
        return;
    m_tree.addInterfaces(argumentAt<QDBusObjectPath>(message, 0).path(),
                         argumentAt<UDisks2ObjectTree::Interfaces>(message, 1));
    update(true);
}

void OpticalDriveWatcher::interfacesRemoved(const QDBusMessage& message)
{
    if (!m_listed)
        return;
    m_tree.removeInterfaces(argumentAt<QDBusObjectPath>(message, 0).path(),
                            argumentAt<QStringList>(message, 1));
    update(true);
}

void OpticalDriveWatcher::propertiesChanged(const QDBusMessage& message)
{
    if (!m_listed)
        return;
    m_tree.changeProperties(message.path(), argumentAt<QString>(message, 0),
                            argumentAt<QVariantMap>(message, 1));
    update(true);
}

void OpticalDriveWatcher::serviceGone()
{
    ++m_listing;
    m_listed = false;
    m_tree.clear();
    update(true);
}

void OpticalDriveWatcher::update(bool announceDiscs)
{
    const QList<OpticalDrive> before = m_drives;
    m_drives = m_tree.opticalDrives();
    if (m_drives == before && announceDiscs)
        return;

    // Said once the new list is in place, so that a receiver asking sees it.
    QHash<QString, OpticalDrive> old;
    for (const OpticalDrive& drive : before)
        old.insert(drive.objectPath, drive);
    QList<OpticalDrive> inserted;
    QStringList removed;
    for (const OpticalDrive& drive : m_drives) {
        const OpticalDrive was = old.take(drive.objectPath);
        if (was.mediaAvailable && (!drive.mediaAvailable || was.device != drive.device))
            removed.append(was.device);
        if (drive.mediaAvailable &&
            (!was.mediaAvailable || was.device != drive.device || was.audioTracks != drive.audioTracks))
            inserted.append(drive);
    }
    for (const OpticalDrive& gone : std::as_const(old)) {
        if (gone.mediaAvailable)
            removed.append(gone.device);
    }

    Q_EMIT drivesChanged();
    if (!announceDiscs)
        return;
    for (const QString& device : std::as_const(removed))
        Q_EMIT discRemoved(device);
    for (const OpticalDrive& drive : std::as_const(inserted))
        Q_EMIT discInserted(drive.device, drive.audioTracks);
}

std::optional<OpticalDrive> OpticalDriveWatcher::drive(const QString& device) const
{
    for (const OpticalDrive& drive : m_drives) {
        if (drive.device == device)
            return drive;
    }
    return std::nullopt;
}

bool OpticalDriveWatcher::holdsAudioCD(const QString& device) const
{
    const auto found = drive(device);
    return found && found->holdsAudioCD();
}

void OpticalDriveWatcher::eject(const QString& device)
{
    const auto found = drive(device);
    if (!found || !m_bus.isConnected()) {
        const QString error = m_bus.isConnected() ? QStringLiteral("UDisks2 knows no CD drive %1").arg(device)
                                                  : QStringLiteral("No D-Bus system bus to reach UDisks2 on");
        QMetaObject::invokeMethod(
            this, [this, device, error] { Q_EMIT ejectFinished(device, error); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, found->objectPath, driveInterface, QStringLiteral("Eject"));
    call << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, ejectTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, device](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                const QString error =
                    reply.type() == QDBusMessage::ErrorMessage
                        ? QStringLiteral("Could not eject %1: %2").arg(device, reply.errorMessage())
                        : QString();
                Q_EMIT ejectFinished(device, error);
            });
}
