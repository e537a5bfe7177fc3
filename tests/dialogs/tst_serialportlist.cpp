#include "SerialPortList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_MAIN(TestSerialPortList)
#include "tst_serialportlist.moc"
