// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's serial ports: the list, the adapter names and the watcher.
#include "SerialPortList.h"

#include "FakePortSource.h"
#include "PortEntry.h"
#include "PortWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Builds a made-up sysfs and /dev from one line per tty:
//   "name:flag,flag,..." with the flags
//   dev     the tty has a device link      drv   the device has a bound driver
//   type=N  the UART type attribute        node  /dev/name exists
//   link    class/tty/name is a symbolic link, as in the real sysfs
class TestSerialPortList : public QObject
{
    Q_OBJECT

private:
    static void MakeTree(const QString& root, const QStringList& ttys)
    {
        QDir base(root);
        QVERIFY(base.mkpath(QStringLiteral("sys/class/tty")));
        QVERIFY(base.mkpath(QStringLiteral("sys/devices")));
        QVERIFY(base.mkpath(QStringLiteral("dev")));
        for (const QString& entry : ttys) {
            const QString name = entry.section(u':', 0, 0);
            const QStringList flags = entry.section(u':', 1).split(u',', Qt::SkipEmptyParts);
            const QString classPath = root + QStringLiteral("/sys/class/tty/") + name;
            QString folder = classPath;
            if (flags.contains(QStringLiteral("link"))) {
                folder = root + QStringLiteral("/sys/devices/") + name;
                QVERIFY(QFile::link(folder, classPath));
            }
            QVERIFY(QDir().mkpath(folder));
            if (flags.contains(QStringLiteral("dev")))
                QVERIFY(QDir().mkpath(folder + QStringLiteral("/device")));
            if (flags.contains(QStringLiteral("drv")))
                QVERIFY(QDir().mkpath(folder + QStringLiteral("/device/driver")));
            for (const QString& flag : flags) {
                if (flag.startsWith(QStringLiteral("type="))) {
                    QFile type(folder + QStringLiteral("/type"));
                    QVERIFY(type.open(QIODevice::WriteOnly));
                    type.write(flag.mid(5).toLatin1() + '\n');
                }
            }
            if (flags.contains(QStringLiteral("node"))) {
                QFile node(root + QStringLiteral("/dev/") + name);
                QVERIFY(node.open(QIODevice::WriteOnly));
            }
        }
    }

private slots:
    void listsRealPortsSortedAsText_data()
    {
        QTest::addColumn<QStringList>("ttys");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("usb adapters") << QStringList{u"ttyUSB0:dev,drv,node,link"_s, u"ttyACM0:dev,drv,node"_s}
                                      << QStringList{u"ttyACM0"_s, u"ttyUSB0"_s};
        QTest::newRow("real uart kept, phantom uarts left out")
            << QStringList{u"ttyS0:dev,drv,type=4,node,link"_s, u"ttyS1:dev,drv,type=0,node,link"_s,
                           u"ttyS3:dev,node"_s}
            << QStringList{u"ttyS0"_s};
        QTest::newRow("sorted as text, not by number")
            << QStringList{u"ttyS2:dev,drv,type=4,node"_s, u"ttyS10:dev,drv,type=4,node"_s,
                           u"ttyUSB1:dev,drv,node"_s}
            << QStringList{u"ttyS10"_s, u"ttyS2"_s, u"ttyUSB1"_s};
        QTest::newRow("other device-backed ttys")
            << QStringList{u"ttyAMA0:dev,drv,type=18,node"_s, u"rfcomm0:dev,node"_s, u"ttymxc1:dev,drv,node"_s}
            << QStringList{u"rfcomm0"_s, u"ttyAMA0"_s, u"ttymxc1"_s};
        QTest::newRow("virtual ttys and ports without a node left out")
            << QStringList{u"tty0:node"_s, u"console:node"_s, u"ptmx:node"_s, u"ttyUSB1:dev,drv"_s}
            << QStringList{};
        QTest::newRow("none") << QStringList{} << QStringList{};
    }

    void listsRealPortsSortedAsText()
    {
        QFETCH(QStringList, ttys);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        MakeTree(root.path(), ttys);
        QStringList expectedPaths;
        for (const QString& name : expected)
            expectedPaths << root.path() + QStringLiteral("/dev/") + name;
        QCOMPARE(ListSerialPorts(root.path() + QStringLiteral("/sys"), root.path() + QStringLiteral("/dev")),
                 expectedPaths);
    }

    void missingSysfsGivesAnEmptyList()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(ListSerialPorts(root.path() + QStringLiteral("/nothing"), root.path()).isEmpty());
    }

    // Properties are "KEY=VALUE" as udev hands them over.
    void entryTextNamesTheAdapter_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("properties");
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("entry");

        QTest::newRow("adapter's own strings, escaped")
            << u"/dev/ttyUSB0"_s
            << QStringList{u"ID_VENDOR_ENC=FTDI"_s, u"ID_MODEL_ENC=FT232R\\x20USB\\x20UART"_s,
                           u"ID_VENDOR=FTDI"_s, u"ID_MODEL=FT232R_USB_UART"_s, u"ID_SERIAL_SHORT=A10K3X2Q"_s,
                           u"ID_VENDOR_FROM_DATABASE=Future Technology Devices International, Ltd"_s}
            << QString() << u"/dev/ttyUSB0 \u2014 FTDI FT232R USB UART \u2014 A10K3X2Q"_s;
        QTest::newRow("plain properties with underscores")
            << u"/dev/ttyUSB1"_s
            << QStringList{u"ID_VENDOR=Silicon_Labs"_s, u"ID_MODEL=CP2102_USB_to_UART_Bridge_Controller"_s,
                           u"ID_SERIAL_SHORT=0001"_s}
            << QString() << u"/dev/ttyUSB1 \u2014 Silicon Labs CP2102 USB to UART Bridge Controller \u2014 0001"_s;
        QTest::newRow("no vendor string: the database's name, no serial number")
            << u"/dev/ttyUSB2"_s
            << QStringList{u"ID_VENDOR=1a86"_s, u"ID_VENDOR_ENC=1a86"_s, u"ID_VENDOR_ID=1a86"_s,
                           u"ID_VENDOR_FROM_DATABASE=QinHeng Electronics"_s, u"ID_MODEL_ENC=USB2.0-Serial"_s}
            << QString() << u"/dev/ttyUSB2 \u2014 QinHeng Electronics USB2.0-Serial"_s;
        QTest::newRow("model that repeats the vendor")
            << u"/dev/ttyUSB3"_s << QStringList{u"ID_VENDOR=Prolific"_s, u"ID_MODEL=Prolific_USB-Serial"_s}
            << QString() << u"/dev/ttyUSB3 \u2014 Prolific USB-Serial"_s;
        QTest::newRow("without udev's properties") << u"/dev/ttyS0"_s << QStringList{} << QString() << u"/dev/ttyS0"_s;
        QTest::newRow("held, without properties")
            << u"/dev/ttyS0"_s << QStringList{} << u"screen"_s << u"/dev/ttyS0 \u2014 in use by screen"_s;
        QTest::newRow("held adapter")
            << u"/dev/ttyACM0"_s
            << QStringList{u"ID_VENDOR_ENC=Arduino\\x20\\x28www.arduino.cc\\x29"_s, u"ID_MODEL_ENC=Uno"_s,
                           u"ID_SERIAL_SHORT=7563"_s}
            << u"minicom"_s << u"/dev/ttyACM0 \u2014 Arduino (www.arduino.cc) Uno \u2014 7563 \u2014 in use by minicom"_s;
    }

    void entryTextNamesTheAdapter()
    {
        QFETCH(QString, node);
        QFETCH(QStringList, properties);
        QFETCH(QString, holder);
        QFETCH(QString, entry);
        TPortDevice device;
        device.Node = node;
        for (const QString& property : properties)
            device.Properties.insert(property.section(u'=', 0, 0).toUtf8(), property.section(u'=', 1).toUtf8());
        TPortInfo port = PortInfoFrom(device);
        QCOMPARE(port.Path, node);
        port.HolderName = holder;
        QCOMPARE(PortEntryText(port), entry);
    }

    void watcherFollowsPortsComingAndGoing()
    {
        auto owned = std::make_unique<TFakePortSource>();
        TFakePortSource* source = owned.get();
        TPortDevice uart = UsbAdapter(u"ttyS0"_s, {});
        uart.UartType = "4";
        TPortDevice phantom = UsbAdapter(u"ttyS1"_s, {});
        phantom.UartType = "0";
        source->Devices = {uart, phantom};

        TPortWatcher watcher(std::move(owned));
        QSignalSpy changed(&watcher, &TPortWatcher::PortsChanged);
        watcher.Start();
        QVERIFY(watcher.Watching());
        QVERIFY(source->Watched());
        const auto paths = [&] {
            QStringList list;
            for (const TPortInfo& port : watcher.Ports())
                list << port.Path;
            return list;
        };
        QCOMPARE(paths(), QStringList{u"/dev/ttyS0"_s});
        QCOMPARE(changed.count(), 0);

        source->Plug(UsbAdapter(u"ttyUSB0"_s));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(paths(), (QStringList{u"/dev/ttyS0"_s, u"/dev/ttyUSB0"_s}));
        QCOMPARE(watcher.Ports().at(1).Adapter, u"FTDI FT232R USB UART"_s);
        QCOMPARE(watcher.Ports().at(1).Serial, u"A10K3X2Q"_s);

        // An on-board UART that no driver has bound is no port, however it came.
        TPortDevice unbound = UsbAdapter(u"ttyS3"_s, {});
        unbound.HasDriver = false;
        source->Plug(unbound);
        QCOMPARE(changed.count(), 1);

        // udev's "change": the same port with new properties replaces the old entry.
        source->Plug(UsbAdapter(u"ttyUSB0"_s, "FTDI", "FT232R\\x20USB\\x20UART", "B22"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(paths(), (QStringList{u"/dev/ttyS0"_s, u"/dev/ttyUSB0"_s}));
        QCOMPARE(watcher.Ports().at(1).Serial, u"B22"_s);

        source->Pull(u"/dev/ttyUSB0"_s);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(paths(), QStringList{u"/dev/ttyS0"_s});
        // Pulling what is not listed changes nothing.
        source->Pull(u"/dev/ttyUSB7"_s);
        QCOMPARE(changed.count(), 3);
    }

    void watcherAsksWhoHoldsEachPort()
    {
        auto owned = std::make_unique<TFakePortSource>();
        TFakePortSource* source = owned.get();
        source->Devices = {UsbAdapter(u"ttyUSB0"_s), UsbAdapter(u"ttyUSB1"_s, {})};
        QHash<QString, QString> holders{{u"/dev/ttyUSB1"_s, u"screen"_s}};
        TPortWatcher watcher(std::move(owned), [&](const QString& path) { return holders.value(path); });
        watcher.Start();
        QCOMPARE(watcher.Ports().at(0).HolderName, QString());
        QCOMPARE(watcher.Ports().at(1).HolderName, u"screen"_s);

        QSignalSpy changed(&watcher, &TPortWatcher::PortsChanged);
        holders = {{u"/dev/ttyUSB0"_s, u"minicom"_s}};
        watcher.RefreshHolders();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(watcher.Ports().at(0).HolderName, u"minicom"_s);
        QCOMPARE(watcher.Ports().at(1).HolderName, QString());
        // A port plugged in is asked about as well.
        holders.insert(u"/dev/ttyACM0"_s, u"cu"_s);
        source->Plug(UsbAdapter(u"ttyACM0"_s, {}));
        QCOMPARE(watcher.Ports().at(0).Path, u"/dev/ttyACM0"_s);
        QCOMPARE(watcher.Ports().at(0).HolderName, u"cu"_s);
    }

    // Without events (no udev daemon) the sysfs walk is repeated; a port that
    // appears or goes is seen on one of the next walks.
    void withoutEventsTheWatcherWalksAgain()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        MakeTree(root.path(), {u"ttyUSB0:dev,drv,node,link"_s});
        QHash<QString, int> asked;
        TPortWatcher watcher(std::make_unique<TSysfsPortSource>(root.path() + u"/sys"_s, root.path() + u"/dev"_s),
                             [&](const QString& path) {
                                 ++asked[path];
                                 return QString();
                             });
        watcher.Start();
        QVERIFY(!watcher.Watching());
        QCOMPARE(watcher.Ports().size(), 1);

        MakeTree(root.path(), {u"ttyACM0:dev,drv,node,link"_s});
        QTRY_COMPARE(watcher.Ports().size(), 2);
        QCOMPARE(watcher.Ports().at(0).Path, root.path() + u"/dev/ttyACM0"_s);
        // Looking for holders means looking at every process: each port is asked
        // about once when it appears, not on every walk.
        QTest::qWait(3 * TPortWatcher::PollInterval);
        QCOMPARE(asked.value(root.path() + u"/dev/ttyUSB0"_s), 1);
        QCOMPARE(asked.value(root.path() + u"/dev/ttyACM0"_s), 1);
        QVERIFY(QFile::remove(root.path() + u"/dev/ttyUSB0"_s));
        QTRY_COMPARE(watcher.Ports().size(), 1);
        QCOMPARE(watcher.Ports().at(0).Path, root.path() + u"/dev/ttyACM0"_s);
    }

    // The machine's own udev: whatever it has is listed, and the ports are the
    // ones the sysfs walk finds, now with names where udev knows them.
    void theMachinesUdevListsItsPorts()
    {
        std::unique_ptr<IPortSource> udev = MakeUdevPortSource();
#ifdef RADIOSET_TEST_HAVE_UDEV
        QVERIFY(udev);
#else
        if (!udev)
            QSKIP("built without libudev");
#endif
        const QList<TPortDevice> devices = udev->Enumerate();
        QStringList udevPorts;
        for (const TPortDevice& device : devices) {
            if (!IsRealPort(device))
                continue;
            udevPorts << device.Node;
            qInfo("udev: %s", qPrintable(PortEntryText(PortInfoFrom(device))));
        }
        udevPorts.sort(Qt::CaseSensitive);
        QCOMPARE(udevPorts, ListSerialPorts(u"/sys"_s, u"/dev"_s));
        if (QFileInfo::exists(u"/sys/class/tty"_s))
            QVERIFY(!devices.isEmpty()); // tty, console and ptmx at least

        // Watching works where the daemon runs; elsewhere the watcher walks again.
        const bool daemon = QFileInfo::exists(u"/run/udev/control"_s);
        QCOMPARE(udev->Watch([](const TPortEvent&) {}), daemon);
        qInfo("udev daemon %s", daemon ? "running: live updates from udev" : "not running: sysfs is walked again");

        TPortWatcher system(MakeSystemPortSource());
        system.Start();
        QStringList systemPorts;
        for (const TPortInfo& port : system.Ports())
            systemPorts << port.Path;
        QCOMPARE(systemPorts, ListSerialPorts());
        QCOMPARE(systemPorts, ListSerialPorts(u"/sys"_s, u"/dev"_s));
    }

    // A stable name links to its device; the device is what is opened and checked.
    void stableNamesResolveToTheirDevice()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString pty = QString::fromLocal8Bit(::ptsname(master));

        const QString byId = dir.filePath(u"usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0"_s);
        QVERIFY(QFile::link(pty, byId));
        const QString chained = dir.filePath(u"chained"_s);
        QVERIFY(QFile::link(byId, chained));
        const QString dangling = dir.filePath(u"usb-gone"_s);
        QVERIFY(QFile::link(dir.filePath(u"nothing"_s), dangling));

        QCOMPARE(ResolvePortPath(byId), pty);
        QCOMPARE(ResolvePortPath(chained), pty);
        QCOMPARE(ResolvePortPath(pty), pty);
        QCOMPARE(ResolvePortPath(dangling), dangling);
        QCOMPARE(ResolvePortPath(u"ttyUSB0"_s), u"ttyUSB0"_s);
        QCOMPARE(ResolvePortPath(QString()), QString());
        QCOMPARE(PortReportName(byId, pty), byId + u" ("_s + pty + u')');
        QCOMPARE(PortReportName(pty, pty), pty);
        ::close(master);
    }
};

QTEST_MAIN(TestSerialPortList)
#include "tst_serialportlist.moc"
