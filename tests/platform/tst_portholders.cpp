// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the other programs that have a serial port open, on real
// pseudo-terminals and with real child processes.
#include "PortHolders.h"
#include "Pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// A child that keeps `path` open as its standard input and does nothing else.
class Holder
{
public:
    explicit Holder(const QString& path)
    {
        m_process.setStandardInputFile(path);
        m_process.start(QStringLiteral("sleep"), { QStringLiteral("1000") });
        m_process.waitForStarted(5000);
    }
    ~Holder()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    Q_DISABLE_COPY_MOVE(Holder)
    qint64 Pid() const { return m_process.processId(); }
    // The child has its standard input in place once it runs "sleep".
    bool Ready() const
    {
        return Pid() > 0 && QTest::qWaitFor([this] { return PortHolders::ProcessName(Pid()) == u"sleep"; }, 5000);
    }

private:
    QProcess m_process;
};

// The id of a process that has ended.
qint64 DeadPid()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForStarted(5000);
    const qint64 pid = p.processId();
    p.waitForFinished(5000);
    return pid;
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestPortHolders : public QObject
{
    Q_OBJECT

private slots:
    void childWithThePortOpenIsNamed()
    {
        Pty pty;
        QVERIFY(pty.Valid());
        QVERIFY(!FindPortHolder(pty.SlavePath()));
        Holder holder(pty.SlavePath());
        QVERIFY(holder.Ready());
        const auto found = FindPortHolder(pty.SlavePath());
        QVERIFY(found);
        QCOMPARE(found->Pid, holder.Pid());
        QCOMPARE(found->Name, u"sleep"_s);
    }

    void linkToThePortLeadsToTheSameHolder()
    {
        Pty pty;
        QVERIFY(pty.Valid());
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("by-id-link"));
        QVERIFY(QFile::link(pty.SlavePath(), link));
        Holder holder(pty.SlavePath());
        QVERIFY(holder.Ready());
        const auto found = FindPortHolder(link);
        QVERIFY(found);
        QCOMPARE(found->Pid, holder.Pid());
    }

    void anotherDeviceIsNoHolder()
    {
        // Device numbers, not names: the child holds a different terminal.
        Pty held;
        Pty free;
        QVERIFY(held.Valid() && free.Valid());
        Holder holder(held.SlavePath());
        QVERIFY(holder.Ready());
        QVERIFY(!FindPortHolder(free.SlavePath()));
    }

    void thisProcessIsNeverAHolder()
    {
        Pty pty;
        QVERIFY(pty.Valid());
        const int fd = ::open(QFile::encodeName(pty.SlavePath()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const auto found = FindPortHolder(pty.SlavePath());
        ::close(fd);
        QVERIFY(!found);
    }

    void missingDeviceHasNoHolder()
    {
        QVERIFY(!FindPortHolder(QStringLiteral("/dev/ttyRADIOSET-none")));
        QVERIFY(!FindPortHolder(QString()));
    }

    void virtualModuleDoesNotHoldItsOwnPort()
    {
        // The module keeps the master side of its pseudo-terminal, which is a
        // device of its own; the side the program opens stays free.
        QProcess sim;
        sim.start(QStringLiteral(RADIOSET_SIM_EXE), {});
        QVERIFY(sim.waitForStarted(5000));
        QElapsedTimer t;
        t.start();
        while (!sim.canReadLine() && t.elapsed() < 10000)
            sim.waitForReadyRead(200);
        const QString device = QString::fromLatin1(sim.readLine().trimmed());
        QVERIFY2(device.startsWith(u'/'), qPrintable(device));
        QVERIFY(!FindPortHolder(device));
        {
            Holder holder(device);
            QVERIFY(holder.Ready());
            const auto found = FindPortHolder(device);
            QVERIFY(found);
            QCOMPARE(found->Pid, holder.Pid());
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    void lockFileNames()
    {
        QCOMPARE(PortHolders::LockFileNames(QStringLiteral("/dev/ttyUSB0")), QStringList { u"LCK..ttyUSB0"_s });
        QCOMPARE(PortHolders::LockFileNames(QStringLiteral("/dev/pts/7")),
                 (QStringList { u"LCK..pts_7"_s, u"LCK..7"_s }));
    }

    void lockFileOwner_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("held");

        QTest::newRow("text, live process") << QByteArray("%1\n") << true << true;
        QTest::newRow("text padded, live process") << QByteArray("      %1\n") << true << true;
        QTest::newRow("binary, live process") << QByteArray("binary") << true << true;
        QTest::newRow("text, ended process") << QByteArray("%1\n") << false << false;
        QTest::newRow("binary, ended process") << QByteArray("binary") << false << false;
        QTest::newRow("this process") << QByteArray("self") << true << false;
        QTest::newRow("garbage") << QByteArray("not a pid\n") << true << false;
        QTest::newRow("empty") << QByteArray() << true << false;
    }

    void lockFileOwner()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, live);
        QFETCH(bool, held);

        Pty pty;
        QVERIFY(pty.Valid());
        QTemporaryDir locks;
        QVERIFY(locks.isValid());
        std::optional<Holder> owner;
        qint64 pid = 0;
        if (live) {
            // The owner holds some other file; the lock alone must count.
            owner.emplace(QStringLiteral("/dev/null"));
            QVERIFY(owner->Ready());
            pid = owner->Pid();
        } else {
            pid = DeadPid();
        }
        if (content == "binary") {
            const qint32 binary = qint32(pid);
            content = QByteArray(reinterpret_cast<const char*>(&binary), sizeof binary);
        } else if (content == "self") {
            content = QByteArray::number(qint64(::getpid()));
            pid = ::getpid();
        } else if (content.contains("%1")) {
            content.replace("%1", QByteArray::number(pid));
        }
        const QString name = PortHolders::LockFileNames(pty.SlavePath()).constFirst();
        WriteFile(locks.filePath(name), content);

        QVERIFY(!FindPortHolder(pty.SlavePath()) || !held); // nothing has the device open
        const auto found = PortHolders::FindPortHolder(pty.SlavePath(), { QStringLiteral("/nonexistent"), locks.path() });
        QCOMPARE(bool(found), held);
        if (held) {
            QCOMPARE(found->Pid, pid);
            QCOMPARE(found->Name, u"sleep"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestPortHolders)
#include "tst_portholders.moc"
