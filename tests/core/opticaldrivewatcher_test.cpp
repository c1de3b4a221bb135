// The CD drives and discs UDisks2 reports, from a stand-in for UDisks2 on a bus of the test's own.
#include "disc/opticaldrivewatcher.h"
#include "support/privatebus.h"
#include "support/qstringprinter.h"
#include "support/testenvironment.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

const QString service = QStringLiteral("org.freedesktop.UDisks2");
const QString root = QStringLiteral("/org/freedesktop/UDisks2");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString cdDrive = QStringLiteral("/org/freedesktop/UDisks2/drives/HL_DT_ST_DVDRAM_GH24NSD1_K1234");
const QString usbDrive = QStringLiteral("/org/freedesktop/UDisks2/drives/PLEXTOR_PX_716UF_99");

Interfaces drive(const QString& vendor, const QString& model, bool media, uint audioTracks,
                 const QStringList& takes = {QStringLiteral("optical_cd"), QStringLiteral("optical_cd_r"),
                                             QStringLiteral("optical_dvd")})
{
    return {{driveInterface,
             {{QStringLiteral("Vendor"), vendor},
              {QStringLiteral("Model"), model},
              {QStringLiteral("MediaCompatibility"), takes},
              {QStringLiteral("Optical"), media && !takes.isEmpty()},
              {QStringLiteral("MediaAvailable"), media},
              {QStringLiteral("OpticalNumAudioTracks"), audioTracks}}}};
}

Interfaces block(const QString& drivePath, const char* device)
{
    QByteArray bytes(device);
    bytes.append('\0');
    return {{QStringLiteral("org.freedesktop.UDisks2.Block"),
             {{QStringLiteral("Device"), bytes},
              {QStringLiteral("PreferredDevice"), bytes},
              {QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(drivePath))}}}};
}

// UDisks2 as far as the watcher uses it: the object manager, the drives' properties and Eject.
class MockUDisks2 : public QDBusVirtualObject {
public:
    explicit MockUDisks2(const QDBusConnection& bus) : m_bus(bus)
    {
        qDBusRegisterMetaType<Interfaces>();
        qDBusRegisterMetaType<ManagedObjects>();
    }
    ~MockUDisks2() override { withdraw(); }

    bool publish()
    {
        return m_bus.registerVirtualObject(root, this, QDBusConnection::SubPath) &&
               m_bus.registerService(service);
    }
    void withdraw()
    {
        m_bus.unregisterService(service);
        m_bus.unregisterObject(root, QDBusConnection::UnregisterTree);
    }

    void add(const QString& path, const Interfaces& interfaces, bool announce = false)
    {
        objects[QDBusObjectPath(path)].insert(interfaces);
        if (announce)
            signal(root, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                   QStringLiteral("InterfacesAdded"),
                   {QVariant::fromValue(QDBusObjectPath(path)), QVariant::fromValue(interfaces)});
    }
    void remove(const QString& path)
    {
        const QStringList names = objects.take(QDBusObjectPath(path)).keys();
        signal(root, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
               QStringLiteral("InterfacesRemoved"), {QVariant::fromValue(QDBusObjectPath(path)), names});
    }
    void change(const QString& path, const QVariantMap& changed)
    {
        objects[QDBusObjectPath(path)][driveInterface].insert(changed);
        signal(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
               {driveInterface, changed, QStringList()});
    }
    void answerHeldListings()
    {
        for (const QDBusMessage& call : std::exchange(heldListings, {}))
            m_bus.send(call.createReply(QVariant::fromValue(objects)));
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        if (message.member() == QLatin1String("GetManagedObjects") && message.path() == root) {
            if (holdListing)
                heldListings.append(message);
            else
                m_bus.send(message.createReply(QVariant::fromValue(objects)));
        } else if (message.member() == QLatin1String("Eject") && message.interface() == driveInterface) {
            ejected.append(message.path());
            ejectSignatures.append(message.signature());
            m_bus.send(ejectError.isEmpty()
                           ? message.createReply()
                           : message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"),
                                                      ejectError));
        } else {
            m_bus.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        }
        return true;
    }

    ManagedObjects objects;
    bool holdListing = false;
    QList<QDBusMessage> heldListings;
    QStringList ejected;
    QStringList ejectSignatures;
    QString ejectError;

private:
    void signal(const QString& path, const QString& interface, const QString& name,
                const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        m_bus.send(message);
    }

    QDBusConnection m_bus;
};

bool waitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

class OpticalDriveWatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (bus.address().isEmpty())
            GTEST_SKIP() << "no D-Bus daemon of our own: " << bus.error().toStdString();
        udisks.emplace(bus.connect(QStringLiteral("udisks")));
        watcher.emplace(bus.connect(QStringLiteral("watcher")));
    }
    // Starts the watcher on what the mock holds and waits for its first listing.
    bool startListed()
    {
        QSignalSpy listed(&*watcher, &OpticalDriveWatcher::drivesChanged);
        watcher->start();
        return listed.wait(10000);
    }

    PrivateBus bus;
    LogCapture log;
    std::optional<MockUDisks2> udisks;
    std::optional<OpticalDriveWatcher> watcher;
};
} // namespace

TEST(OpticalDriveWatcherNoBusTest, WithoutABusItLogsOnceAndEjectSaysWhy)
{
    LogCapture log;
    const QString name = QStringLiteral("nowhere");
    {
        OpticalDriveWatcher watcher(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), name));
        QSignalSpy changed(&watcher, &OpticalDriveWatcher::drivesChanged);
        QSignalSpy ejected(&watcher, &OpticalDriveWatcher::ejectFinished);
        watcher.start();
        watcher.eject(QStringLiteral("/dev/sr0"));
        ASSERT_TRUE(ejected.wait(10000));
        EXPECT_EQ(ejected.at(0).at(0).toString(), QStringLiteral("/dev/sr0"));
        EXPECT_FALSE(ejected.at(0).at(1).toString().isEmpty());
        EXPECT_EQ(changed.count(), 0);
        EXPECT_TRUE(watcher.drives().isEmpty());
        EXPECT_EQ(log.lines().size(), 1) << log.lines().join(u'\n').toStdString();
    }
    QDBusConnection::disconnectFromBus(name);
}

TEST_F(OpticalDriveWatcherTest, WithoutUDisks2ItWaitsQuietlyAndListsTheDrivesOnceItComes)
{
    QSignalSpy changed(&*watcher, &OpticalDriveWatcher::drivesChanged);
    QSignalSpy inserted(&*watcher, &OpticalDriveWatcher::discInserted);
    watcher->start();
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("UDisks2 did not list them")); }));
    EXPECT_EQ(log.lines().size(), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(changed.count(), 0);

    // A disc already in the drive when the listing comes is part of the list, not news.
    udisks->add(cdDrive, drive(QStringLiteral("HL-DT-ST"), QStringLiteral("DVDRAM GH24NSD1  "), true, 12));
    udisks->add(root + QStringLiteral("/block_devices/sr0"), block(cdDrive, "/dev/sr0"));
    ASSERT_TRUE(udisks->publish());
    ASSERT_TRUE(waitFor([&] { return changed.count() > 0; }));
    ASSERT_EQ(watcher->drives().size(), 1);
    EXPECT_EQ(watcher->drives().at(0).model, QStringLiteral("DVDRAM GH24NSD1"));
    EXPECT_TRUE(watcher->holdsAudioCD(QStringLiteral("/dev/sr0")));
    EXPECT_EQ(inserted.count(), 0);
}

TEST_F(OpticalDriveWatcherTest, FindsTheCDDrivesAndFollowsDiscsAndDrivesComingAndGoing)
{
    udisks->add(cdDrive, drive(QStringLiteral("HL-DT-ST"), QStringLiteral("DVDRAM GH24NSD1"), false, 0));
    udisks->add(root + QStringLiteral("/block_devices/sr0"), block(cdDrive, "/dev/sr0"));
    // A hard disk is no CD drive, and a CD drive without a block device cannot be read.
    const QString disk = root + QStringLiteral("/drives/Samsung_SSD_870");
    udisks->add(disk, drive(QStringLiteral("ATA"), QStringLiteral("Samsung SSD 870"), true, 0, {}));
    udisks->add(root + QStringLiteral("/block_devices/sda"), block(disk, "/dev/sda"));
    udisks->add(usbDrive, drive(QStringLiteral("PLEXTOR"), QStringLiteral("PX-716UF"), false, 0));
    ASSERT_TRUE(udisks->publish());
    ASSERT_TRUE(startListed());

    ASSERT_EQ(watcher->drives().size(), 1);
    const OpticalDrive found = watcher->drives().at(0);
    EXPECT_EQ(found.objectPath, cdDrive);
    EXPECT_EQ(found.device, QStringLiteral("/dev/sr0"));
    EXPECT_EQ(found.vendor, QStringLiteral("HL-DT-ST"));
    EXPECT_EQ(found.model, QStringLiteral("DVDRAM GH24NSD1"));
    EXPECT_FALSE(found.mediaAvailable);
    EXPECT_FALSE(watcher->holdsAudioCD(QStringLiteral("/dev/sr0")));

    QSignalSpy inserted(&*watcher, &OpticalDriveWatcher::discInserted);
    QSignalSpy removed(&*watcher, &OpticalDriveWatcher::discRemoved);
    bool heldWhenSaid = false;
    QObject::connect(&*watcher, &OpticalDriveWatcher::discInserted,
                     [&](const QString& device, int) { heldWhenSaid = watcher->holdsAudioCD(device); });
    udisks->change(cdDrive, {{QStringLiteral("MediaAvailable"), true},
                             {QStringLiteral("Optical"), true},
                             {QStringLiteral("OpticalNumAudioTracks"), 12u}});
    ASSERT_TRUE(inserted.wait(10000));
    EXPECT_EQ(inserted.at(0), (QVariantList{QStringLiteral("/dev/sr0"), 12}));
    EXPECT_TRUE(heldWhenSaid);
    udisks->change(cdDrive, {{QStringLiteral("MediaAvailable"), false},
                             {QStringLiteral("Optical"), false},
                             {QStringLiteral("OpticalNumAudioTracks"), 0u}});
    ASSERT_TRUE(removed.wait(10000));
    EXPECT_EQ(removed.at(0), QVariantList{QStringLiteral("/dev/sr0")});
    EXPECT_FALSE(watcher->holdsAudioCD(QStringLiteral("/dev/sr0")));

    // The USB drive's block device shows up with a data disc in it, then the drive is unplugged.
    udisks->change(usbDrive, {{QStringLiteral("MediaAvailable"), true}});
    udisks->add(root + QStringLiteral("/block_devices/sr1"), block(usbDrive, "/dev/sr1"), true);
    ASSERT_TRUE(waitFor([&] { return inserted.count() == 2; }));
    EXPECT_EQ(inserted.at(1), (QVariantList{QStringLiteral("/dev/sr1"), 0}));
    ASSERT_EQ(watcher->drives().size(), 2);
    EXPECT_EQ(watcher->drive(QStringLiteral("/dev/sr1"))->model, QStringLiteral("PX-716UF"));
    EXPECT_FALSE(watcher->holdsAudioCD(QStringLiteral("/dev/sr1")));
    udisks->remove(usbDrive);
    ASSERT_TRUE(waitFor([&] { return removed.count() == 2; }));
    EXPECT_EQ(removed.at(1), QVariantList{QStringLiteral("/dev/sr1")});
    EXPECT_EQ(watcher->drives().size(), 1);
    EXPECT_EQ(inserted.count(), 2);
}

TEST_F(OpticalDriveWatcherTest, EjectAsksUDisks2AndSaysWhatWentWrong)
{
    udisks->add(cdDrive, drive(QStringLiteral("HL-DT-ST"), QStringLiteral("DVDRAM GH24NSD1"), true, 12));
    udisks->add(root + QStringLiteral("/block_devices/sr0"), block(cdDrive, "/dev/sr0"));
    ASSERT_TRUE(udisks->publish());
    ASSERT_TRUE(startListed());
    QSignalSpy ejected(&*watcher, &OpticalDriveWatcher::ejectFinished);

    watcher->eject(QStringLiteral("/dev/sr0"));
    ASSERT_TRUE(ejected.wait(10000));
    EXPECT_EQ(ejected.at(0), (QVariantList{QStringLiteral("/dev/sr0"), QString()}));
    EXPECT_EQ(udisks->ejected, QStringList{cdDrive});
    EXPECT_EQ(udisks->ejectSignatures, QStringList{QStringLiteral("a{sv}")});

    udisks->ejectError = QStringLiteral("Error ejecting /dev/sr0: Device or resource busy");
    watcher->eject(QStringLiteral("/dev/sr0"));
    watcher->eject(QStringLiteral("/dev/sr7"));
    ASSERT_TRUE(waitFor([&] { return ejected.count() == 3; }));
    QStringList errors;
    for (int i = 1; i < 3; ++i)
        errors.append(ejected.at(i).at(0).toString() + QStringLiteral(": ") + ejected.at(i).at(1).toString());
    errors.sort();
    EXPECT_TRUE(errors.at(0).contains(QStringLiteral("Device or resource busy")))
        << errors.at(0).toStdString();
    EXPECT_TRUE(errors.at(1).startsWith(QStringLiteral("/dev/sr7: "))) << errors.at(1).toStdString();
    EXPECT_EQ(udisks->ejected.size(), 2);
}

TEST_F(OpticalDriveWatcherTest, ALateListingHoldsWhatCameBeforeItAndUDisks2LeavingTakesTheDiscs)
{
    udisks->add(cdDrive, drive(QStringLiteral("HL-DT-ST"), QStringLiteral("DVDRAM GH24NSD1"), false, 0));
    udisks->add(root + QStringLiteral("/block_devices/sr0"), block(cdDrive, "/dev/sr0"));
    udisks->holdListing = true;
    ASSERT_TRUE(udisks->publish());
    QSignalSpy changed(&*watcher, &OpticalDriveWatcher::drivesChanged);
    QSignalSpy inserted(&*watcher, &OpticalDriveWatcher::discInserted);
    QSignalSpy removed(&*watcher, &OpticalDriveWatcher::discRemoved);
    watcher->start();
    ASSERT_TRUE(waitFor([&] { return !udisks->heldListings.isEmpty(); }));

    // The disc goes in while the listing is on its way; the listing then has it.
    udisks->change(cdDrive,
                   {{QStringLiteral("MediaAvailable"), true}, {QStringLiteral("OpticalNumAudioTracks"), 9u}});
    EXPECT_TRUE(watcher->drives().isEmpty());
    udisks->answerHeldListings();
    ASSERT_TRUE(changed.wait(10000));
    ASSERT_EQ(watcher->drives().size(), 1);
    EXPECT_EQ(watcher->drives().at(0).audioTracks, 9);
    EXPECT_EQ(inserted.count(), 0);

    udisks->withdraw();
    ASSERT_TRUE(removed.wait(10000));
    EXPECT_EQ(removed.at(0), QVariantList{QStringLiteral("/dev/sr0")});
    EXPECT_TRUE(watcher->drives().isEmpty());
}
