#include "disc/udisks2objecttree.h"

#include <QDBusObjectPath>
#include <algorithm>

namespace {
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");

bool kept(const QString& interface)
{
    return interface == driveInterface || interface == blockInterface;
}

// "Optical" says the disc in the drive is one; a drive without a disc says what it takes in
// its media compatibility ("optical_cd", "optical_cd_r", ...).
bool takesCDs(const QVariantMap& drive)
{
    if (drive.value(QStringLiteral("Optical")).toBool())
        return true;
    const QStringList media = drive.value(QStringLiteral("MediaCompatibility")).toStringList();
    return std::any_of(media.begin(), media.end(),
                       [](const QString& kind) { return kind.startsWith(QLatin1String("optical_cd")); });
}

// UDisks2 gives device names as NUL-terminated bytes.
QString deviceName(const QVariant& value)
{
    QByteArray bytes = value.toByteArray();
    const qsizetype end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    return QString::fromLocal8Bit(bytes);
}
} // namespace

void UDisks2ObjectTree::addInterfaces(const QString& path, const Interfaces& interfaces)
{
    for (auto it = interfaces.begin(); it != interfaces.end(); ++it) {
        if (kept(it.key()))
            m_objects[path][it.key()] = it.value();
    }
}

void UDisks2ObjectTree::removeInterfaces(const QString& path, const QStringList& interfaces)
{
    auto object = m_objects.find(path);
    if (object == m_objects.end())
        return;
    for (const QString& interface : interfaces)
        object->remove(interface);
    if (object->isEmpty())
        m_objects.erase(object);
}

void UDisks2ObjectTree::changeProperties(const QString& path, const QString& interface,
                                         const QVariantMap& changed)
{
    auto object = m_objects.find(path);
    if (object == m_objects.end())
        return;
    auto properties = object->find(interface);
    if (properties == object->end())
        return;
    for (auto it = changed.begin(); it != changed.end(); ++it)
        properties->insert(it.key(), it.value());
}

QString UDisks2ObjectTree::deviceOf(const QString& drivePath) const
{
    // A drive has one block device; should there be more, the choice stays the same each time.
    QString found;
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        if (!it->contains(blockInterface))
            continue;
        const QVariantMap block = it->value(blockInterface);
        if (block.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path() != drivePath)
            continue;
        QString device = deviceName(block.value(QStringLiteral("Device")));
        if (device.isEmpty())
            device = deviceName(block.value(QStringLiteral("PreferredDevice")));
        if (!device.isEmpty() && (found.isEmpty() || device < found))
            found = device;
    }
    return found;
}

QList<OpticalDrive> UDisks2ObjectTree::opticalDrives() const
{
    QList<OpticalDrive> drives;
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        if (!it->contains(driveInterface))
            continue;
        const QVariantMap properties = it->value(driveInterface);
        if (!takesCDs(properties))
            continue;
        OpticalDrive drive;
        drive.objectPath = it.key();
        drive.device = deviceOf(it.key());
        if (drive.device.isEmpty())
            continue;
        drive.vendor = properties.value(QStringLiteral("Vendor")).toString().trimmed();
        drive.model = properties.value(QStringLiteral("Model")).toString().trimmed();
        drive.mediaAvailable = properties.value(QStringLiteral("MediaAvailable")).toBool();
        if (drive.mediaAvailable)
            drive.audioTracks = properties.value(QStringLiteral("OpticalNumAudioTracks")).toInt();
        drives.append(drive);
    }
    std::sort(drives.begin(), drives.end(),
              [](const OpticalDrive& a, const OpticalDrive& b) { return a.device < b.device; });
    return drives;
}
