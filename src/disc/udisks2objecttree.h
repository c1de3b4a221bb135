#pragma once

#include "disc/opticaldrive.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// UDisks2's objects as far as finding CD drives goes: the properties of their Drive and Block
// interfaces by object path, kept from the object manager's listing and its signals.
class UDisks2ObjectTree {
public:
    // Interface name to its properties, as GetManagedObjects and InterfacesAdded give them.
    using Interfaces = QMap<QString, QVariantMap>;

    void clear() { m_objects.clear(); }
    void addInterfaces(const QString& path, const Interfaces& interfaces);
    void removeInterfaces(const QString& path, const QStringList& interfaces);
    // Changes known interfaces only: a signal for an object the tree never saw is stale.
    void changeProperties(const QString& path, const QString& interface, const QVariantMap& changed);

    // The drives that take CDs and have a block device, ordered by device.
    QList<OpticalDrive> opticalDrives() const;

private:
    QString deviceOf(const QString& drivePath) const;

    QHash<QString, Interfaces> m_objects;
};
