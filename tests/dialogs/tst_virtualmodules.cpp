// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual module radioset-sim, run as its own process, in the port list: the
// list of the computer's ports, the serial port dialog while it is open, and OPEN
// of the listed entry. Each test has a runtime folder of its own.

#include "AnnouncedPorts.h"
#include "MainUnit.h"
#include "ModalDriver.h"
#include "PortEntry.h"
#include "PortWatcher.h"
#include "Pty.h"
#include "SerialFormUnit.h"
#include "SerialPortList.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// One radioset-sim process.
class TSim
{
public:
    TSim() = default;
    Q_DISABLE_COPY_MOVE(TSim)
    ~TSim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Starts it and waits for its device and the name it says it is listed under.
    bool Start(const QStringList& options = {})
    {
        // A test stopped by its watchdog runs no destructor: the module goes with it.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(QStringLiteral(RADIOSET_SIM_EXE), options);
        QElapsedTimer t;
        t.start();
        const QByteArray listed = "listed in RadioSet's serial port dialog as: ";
        while (t.elapsed() < 10000 && m_process.state() != QProcess::NotRunning
               && !(m_out.contains('\n') && m_err.contains(listed) && m_err.endsWith('\n'))) {
            m_process.waitForReadyRead(100);
            m_out += m_process.readAllStandardOutput();
            m_err += m_process.readAllStandardError();
        }
        Device = QString::fromLocal8Bit(m_out.left(m_out.indexOf('\n')));
        const qsizetype at = m_err.indexOf(listed);
        if (at >= 0)
            Entry = QString::fromUtf8(m_err.mid(at + listed.size()).trimmed());
        if (!Device.startsWith(u'/') || Entry.isEmpty()) {
            qWarning("radioset-sim: %s%s", m_out.constData(), m_err.constData());
            return false;
        }
        return true;
    }

    qint64 Pid() const { return m_process.processId(); }
    bool Signal(int signal) { return ::kill(pid_t(m_process.processId()), signal) == 0; }

    bool WaitEnd()
    {
        return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(5000);
    }

    QString Device;
    QString Entry;

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

QStringList Entries(const TPortWatcher& watcher)
{
    QStringList entries;
    for (const TPortInfo& port : watcher.Ports())
        entries << PortEntryText(port);
    return entries;
}

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemData(i, TSerialForm::PortEntryRole).toString();
    return entries;
}

QString AnnouncementOf(const QString& device)
{
    return AnnouncementFolder() + u'/' + device.mid(5).replace(u'/', u'-');
}

} // namespace

class TestVirtualModules : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_runtime;

private slots:
    void init()
    {
        // A folder of each test's own, so that nothing another module left
        // behind counts; the programs started inherit it.
        m_runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(m_runtime->isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
        QCOMPARE(AnnouncementFolder(), m_runtime->path() + u"/radioset/ports"_s);
    }

    // Two modules listed among the computer's ports, named like adapters and
    // sorted with them; one killed with SIGKILL is gone from the list although
    // its announcement stays behind; the other takes its announcement with it
    // when it is ended.
    void listHoldsTheRunningModules_data()
    {
        QTest::addColumn<int>("endSignal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void listHoldsTheRunningModules()
    {
        QFETCH(int, endSignal);
        TSim fast;
        QVERIFY(fast.Start({u"--type=legacy-fast"_s, u"--model=QN9300"_s}));
        TSim current;
        QVERIFY(current.Start({u"--no-model"_s}));
        QCOMPARE(fast.Entry, fast.Device + u" \u2014 RadioSet virtual module \u2014 legacy-fast QN9300"_s);
        QCOMPARE(current.Entry, current.Device + u" \u2014 RadioSet virtual module \u2014 current (no model name)"_s);

        const QStringList ports = ListSerialPorts();
        QVERIFY2(ports.contains(fast.Device) && ports.contains(current.Device), qPrintable(ports.join(u' ')));
        QStringList sorted = ports;
        sorted.sort(Qt::CaseSensitive);
        QCOMPARE(ports, sorted);

        TPortWatcher watcher(MakeSystemPortSource());
        const QStringList entries = Entries(watcher);
        QVERIFY2(entries.contains(fast.Entry) && entries.contains(current.Entry), qPrintable(entries.join(u'\n')));
        QCOMPARE(watcher.Ports().size(), ports.size());

        QVERIFY(current.Signal(SIGKILL));
        QVERIFY(current.WaitEnd());
        QVERIFY(QFile::exists(AnnouncementOf(current.Device)));
        QCOMPARE(ReadAnnouncedPorts(), (QList<TAnnouncedPort>{{fast.Device, u"legacy-fast"_s, u"QN9300"_s, fast.Pid()}}));
        QVERIFY(!ListSerialPorts().contains(current.Device));

        QVERIFY(QFile::exists(AnnouncementOf(fast.Device)));
        QVERIFY(fast.Signal(endSignal));
        QVERIFY(fast.WaitEnd());
        QVERIFY(!QFile::exists(AnnouncementOf(fast.Device)));
        QVERIFY(ReadAnnouncedPorts().isEmpty());
        // The next module clears away what the killed one left.
        TSim next;
        QVERIFY(next.Start());
        QCOMPARE(QDir(AnnouncementFolder()).entryList(QDir::Files),
                 QStringList{AnnouncementOf(next.Device).section(u'/', -1)});
    }

    // Only a module that still holds the lock on its announcement counts: not
    // one whose process id is in use (this test's own), nor one whose device is
    // gone, nor any in a folder that another user could have filled.
    void onlyALockedAnnouncementCounts()
    {
        const QString folder = AnnouncementFolder();
        QVERIFY(QDir().mkpath(folder));
        const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(QFile::setPermissions(m_runtime->path() + u"/radioset"_s, own));
        QVERIFY(QFile::setPermissions(folder, own));
        Pty pty;
        QVERIFY(pty.Valid());
        const QString file = AnnouncementOf(pty.SlavePath());
        QFile announcement(file);
        QVERIFY(announcement.open(QIODevice::WriteOnly));
        announcement.write("path=" + QFile::encodeName(pty.SlavePath()) + "\ntype=legacy\nmodel=QN7101\npid="
                           + QByteArray::number(::getpid()) + "\n");
        announcement.close();
        QVERIFY(ReadAnnouncedPorts().isEmpty());

        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX), 0);
        const QList<TAnnouncedPort> listed = ReadAnnouncedPorts();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed[0], (TAnnouncedPort{pty.SlavePath(), u"legacy"_s, u"QN7101"_s, ::getpid()}));
        QCOMPARE(VirtualModuleDescription(listed[0]), u"legacy QN7101"_s);

        QVERIFY(QFile::setPermissions(folder, own | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup));
        QVERIFY(ReadAnnouncedPorts().isEmpty());
        QVERIFY(QFile::setPermissions(folder, own));
        QCOMPARE(ReadAnnouncedPorts().size(), 1);

        pty.CloseMaster();
        QVERIFY(ReadAnnouncedPorts().isEmpty());
        ::close(fd);
    }

    // The announcements alone, watched: a module comes, one is killed, one ends.
    void announcementsAreWatched()
    {
        TPortWatcher watcher(MakeAnnouncedPortSource());
        watcher.Start();
        QVERIFY(watcher.Watching());
        QVERIFY(watcher.Ports().isEmpty());
        TSim first;
        QVERIFY(first.Start());
        QTRY_COMPARE(Entries(watcher), QStringList{first.Entry});
        TSim second;
        QVERIFY(second.Start({u"--type=legacy"_s}));
        QTRY_COMPARE(watcher.Ports().size(), 2);
        QVERIFY(second.Signal(SIGKILL));
        QTRY_COMPARE(Entries(watcher), QStringList{first.Entry});
        QVERIFY(first.Signal(SIGTERM));
        QTRY_VERIFY(watcher.Ports().isEmpty());
    }

    // The open dialog follows modules that start and end as it follows
    // adapters, and a virtual module, whose path sorts before every serial
    // device's, is the port it proposes.
    void openDialogFollowsTheModules()
    {
        TSerialForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int hardware = form.ComPort->count();

        TSim first;
        QVERIFY(first.Start({u"--model=QN7101"_s}));
        QTRY_VERIFY(Entries(form.ComPort).contains(first.Entry));
        TSim second;
        QVERIFY(second.Start({u"--type=legacy-fast"_s}));
        QTRY_COMPARE(form.ComPort->count(), hardware + 2);
        QVERIFY(Entries(form.ComPort).contains(second.Entry));
        QVERIFY(second.Signal(SIGKILL));
        QTRY_COMPARE(form.ComPort->count(), hardware + 1);
        QVERIFY(!Entries(form.ComPort).contains(second.Entry));
        QVERIFY(first.Signal(SIGTERM));
        QTRY_COMPARE(form.ComPort->count(), hardware);
        QVERIFY(!Entries(form.ComPort).contains(first.Entry));

        TSim third;
        QVERIFY(third.Start());
        TSerialForm fresh;
        QCOMPARE(fresh.ComPort->itemData(0, TSerialForm::PortEntryRole).toString(), third.Entry);
        QCOMPARE(fresh.ComPortText(), third.Device);
    }

    // OPEN with the entry picked from the list wakes and identifies the module.
    void openingTheListedEntryIdentifiesTheModule()
    {
        TSim sim;
        QVERIFY(sim.Start({u"--type=legacy-fast"_s, u"--model=QN9300"_s}));
        auto form = std::make_unique<TMainForm>();
        form->show();
        QString picked;
        WhenModalShown([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSerialForm*>(modal);
            if (!dialog) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            const int row = Entries(dialog->ComPort).indexOf(sim.Entry);
            if (row < 0) {
                dialog->BtnCancel->click();
                return;
            }
            dialog->ComPort->setCurrentIndex(row);
            picked = dialog->ComPortText();
            dialog->BtnSerialOpen->click();
        });
        form->BtnOpen->click();
        // An error report instead would wait for a user: close it, and fail below.
        QString unexpected;
        QTimer dismiss;
        dismiss.setInterval(20);
        connect(&dismiss, &QTimer::timeout, this, [&] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                unexpected = modal->windowTitle();
                modal->reject();
            }
        });
        dismiss.start();
        QTRY_VERIFY_WITH_TIMEOUT(form->BtnRead->isEnabled() || !unexpected.isEmpty(), 5000);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected));
        QVERIFY(form->BtnRead->isEnabled());
        QCOMPARE(picked, sim.Device);
        QCOMPARE(form->ReadParams.Local.ModelName, QByteArray("QN9300"));
        QVERIFY(form->LegacyDevice);
        QVERIFY(form->LegacyFastSwitch);
        // Leave without the exit question: the test is over.
        form->hide();
        form.reset();
    }
};

QTEST_MAIN(TestVirtualModules)
#include "tst_virtualmodules.moc"
