// SPDX-License-Identifier: GPL-3.0-or-later
// What the user sees when the line, the port or the module misbehaves.
#include "Session.h"

#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "PortHolders.h"
#include "PortReports.h"
#include "ResidentMemory.h"
#include "SearchDevicesFormUnit.h"
#include "TEditBox.h"

#include <QClipboard>
#include <QProcess>
#include <QScopeGuard>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QTreeWidget>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Commands counted as the module numbers them: the debug character, the two
// identification queries, then the eighteen queries of a current module's read.
constexpr int HandshakeCommands = 3;
constexpr int ReadCommands = 18;

void ConfirmWrite(TSession& s)
{
    PressInNextModal(QStringLiteral("WRITE PARAMETERS"));
    s.Form->BtnWrite->click();
}

// A MASTER module, read, with the Bluetooth page open.
bool PrepareMaster(TSession& s)
{
    s.Module.setSetting("Role", "MASTER");
    if (!s.OpenAndIdentify() || !s.Read())
        return false;
    s.Form->OpenPage(PageBluetooth);
    return s.Form->BluetoothPage && s.Form->BluetoothPage->BtnSearch->isEnabled();
}

// How many descriptors of this process are open on `device`.
int DescriptorsOn(const QString& device)
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(entry)) == device)
            ++count;
    }
    return count;
}

// How many modal windows turn up within `ms`; each is closed as it appears.
int ModalsShownWithin(int ms)
{
    int shown = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            ++shown;
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
        QTest::qWait(10);
    }
    return shown;
}

bool CloseAndOpenAnotherModule(TSession& s)
{
    s.Form->BtnClose->click();
    if (!QTest::qWaitFor([&] { return s.Form->BtnOpen->isEnabled() && !s.Form->MainComPort.Connected(); }, 5000))
        return false;
    radiosim::VirtualModule other;
    if (!other.start())
        return false;
    s.Open(QStringLiteral("1E"), QString::fromStdString(other.devicePath()));
    return QTest::qWaitFor([&] { return s.Form->BtnRead->isEnabled(); }, 5000) && s.Read() &&
           s.Form->ReadParams.Local.ModelName == "QN7201";
}

} // namespace

class TestLineFaults : public QObject
{
    Q_OBJECT

private slots:
    void lineVanishingIsReportedAndTheNextConnectionWorks_data()
    {
        // The line goes either by the module's own fault (it closes its side a
        // moment after answering command vanishAfter) or by the module being
        // stopped while the exchange waits for the answer to command silentFrom.
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("vanishAfter");
        QTest::addColumn<int>("silentFrom");
        QTest::newRow("idle") << u"idle"_s << HandshakeCommands << -1;
        QTest::newRow("handshake") << u"handshake"_s << -1 << 2;
        QTest::newRow("read") << u"read"_s << HandshakeCommands + 5 << -1;
        QTest::newRow("read, module stopped") << u"read"_s << -1 << HandshakeCommands + 6;
        QTest::newRow("write") << u"write"_s << HandshakeCommands + ReadCommands + 5 << -1;
        QTest::newRow("init") << u"init"_s << -1 << HandshakeCommands + 1;
        QTest::newRow("search") << u"search"_s << HandshakeCommands + ReadCommands + 1 << -1;
        QTest::newRow("profile change") << u"profile"_s << -1 << HandshakeCommands + ReadCommands + 1;
    }

    void lineVanishingIsReportedAndTheNextConnectionWorks()
    {
        QFETCH(QString, during);
        QFETCH(int, vanishAfter);
        QFETCH(int, silentFrom);
        radiosim::Options options;
        options.vanishAfterCommand = vanishAfter;
        options.silentFromCommand = silentFrom;
        options.inquiryPaceMs = 50;
        TSession s(options);
        const QString device = s.DevicePath();
        // Stops the module once the exchange has sent the command that gets no answer.
        auto stopWhenWaiting = [&] {
            if (silentFrom > 0) {
                QTRY_VERIFY(s.Module.receivedCommands().size() >= size_t(silentFrom));
                s.Module.stop();
            }
        };

        if (during == u"search") {
            QVERIFY(PrepareMaster(s));
            s.Form->SetSearchSilenceLimit(1000);
            bool released = false;
            WhenModalShown([&](QWidget* modal) {
                auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
                QVERIFY(dialog);
                dialog->BtnSearch->click();
                // Given back by the loss, not by the search running out.
                released = QTest::qWaitFor([&] { return !dialog->isVisible(); }, 8000);
            });
            s.Form->BluetoothPage->BtnSearch->click();
            QVERIFY(released);
            QVERIFY(s.Module.vanished());
        } else if (during == u"idle") {
            QVERIFY(s.OpenAndIdentify());
            QTRY_VERIFY(s.Module.vanished());
        } else if (during == u"handshake") {
            s.Open();
            stopWhenWaiting();
        } else if (during == u"read") {
            QVERIFY(s.OpenAndIdentify());
            s.Form->BtnRead->click();
            stopWhenWaiting();
        } else if (during == u"write") {
            QVERIFY(s.OpenAndIdentify());
            QVERIFY(s.Read());
            ConfirmWrite(s);
        } else if (during == u"init") {
            QVERIFY(s.OpenAndIdentify());
            PressInNextModal(QStringLiteral("INIT DEVICE"));
            s.Form->BtnInit->click();
            stopWhenWaiting();
        } else if (during == u"profile") {
            QVERIFY(s.OpenAndIdentify());
            QVERIFY(s.Read());
            s.Form->OpenPage(PageBluetooth);
            s.Form->BluetoothPage->SupportProfile->setCurrentIndex(1);
            emit s.Form->BluetoothPage->SupportProfile->activated(1);
            QCOMPARE(s.Form->CommMode, int(ModeProfileChange));
            stopWhenWaiting();
        }

        QVERIFY(s.WaitForError(5000));
        const TReport gone = PortGoneReport(device);
        QCOMPARE(s.ErrorTitle, gone.Title);
        QCOMPARE(s.ErrorDetail, gone.Detail);
        QCOMPARE(s.ErrorMaintenance, gone.MaintenanceLine);
        QVERIFY(s.ErrorDetail.contains(device));

        // Disconnected, the port released, nothing waiting on the module.
        QVERIFY(!s.Form->MainComPort.Connected());
        QCOMPARE(DescriptorsOn(device), 0);
        QVERIFY(s.Form->isEnabled());
        QCOMPARE(s.Form->CommMode, 0);
        QVERIFY(!s.Form->SerialLED->On());
        QCOMPARE(s.Form->SerialLED->Caption(), u"SERIAL CLOSED"_s);
        QVERIFY(!s.Form->ReadyToSetLED->On());
        QVERIFY(s.Form->BtnOpen->isEnabled());
        QVERIFY(!s.Form->BtnClose->isEnabled());
        QVERIFY(!s.Form->BtnRead->isEnabled());
        QVERIFY(!s.Form->RxTimeoutTimer->Enabled());

        // One report only: no time-out after it, no plain box with a system error.
        QCOMPARE(ModalsShownWithin(2500), 0);
        QVERIFY2(s.Messages.isEmpty(), qPrintable(s.Messages.join(u" | "_s)));

        QVERIFY(CloseAndOpenAnotherModule(s));
    }

    void damagedFramingStillGivesTheModulesValues_data()
    {
        QTest::addColumn<bool>("noise");
        QTest::addColumn<bool>("bursts");
        QTest::newRow("junk before every answer") << true << false;
        QTest::newRow("answers in small pieces") << false << true;
        QTest::newRow("both") << true << true;
    }

    void damagedFramingStillGivesTheModulesValues()
    {
        QFETCH(bool, noise);
        QFETCH(bool, bursts);
        radiosim::Options options;
        options.noise = noise;
        options.randomBursts = bursts;
        options.randomSeed = 7;
        TSession s(options);
        s.Module.setSetting("DeviceName", "FRAMED");
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        QVERIFY(!s.Form->ErrorDialog->isVisible());
        QCOMPARE(s.Form->ReadParams.Bluetooth.DeviceName, QByteArray("FRAMED"));
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        QCOMPARE(s.Form->ReadParams.Uart.BaudRate, QByteArray("9600"));

        s.Form->EditParams.Security.PinCode = "2468";
        ConfirmWrite(s);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
        QCOMPARE(s.Module.settings().at("PinCode"), std::string("2468"));
    }

    void okWithoutItsLeadingLineEndIsNotTakenForAnAnswer()
    {
        // The module's first answer is then no frame at all: the user is told, nothing hangs.
        radiosim::Options options;
        options.bareOkWithoutLeadingCrLf = true;
        TSession s(options);
        s.Open();
        QVERIFY(s.WaitForError(6000));
        QCOMPARE(s.ErrorTitle, QStringLiteral("CONNECTING ERROR"));
        QVERIFY(!s.Form->BtnRead->isEnabled());
        QVERIFY(CloseAndOpenAnotherModule(s));
    }

    void echoingModuleIsReadAndWrittenByItsOwnAnswers()
    {
        // Every command comes back in front of its answer. The echo is no framed
        // answer (it has no CR LF of its own before it), so the answer taken for
        // each command is the module's own framed answer after it.
        radiosim::Options options;
        options.echo = true;
        TSession s(options);
        s.Module.setSetting("DeviceName", "ECHOED");
        s.Module.setSetting("PinCode", "4711");
        s.Open();
        QVERIFY(QTest::qWaitFor([&] { return s.Form->BtnRead->isEnabled(); }, 5000));
        QVERIFY(!s.Form->ShowErrorFormTimer->Enabled());
        QVERIFY(!s.Form->ErrorDialog->isVisible());
        QVERIFY(!s.Form->LegacyDevice);
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));

        QVERIFY(s.Read());
        QVERIFY(!s.Form->ShowErrorFormTimer->Enabled());
        QVERIFY(!s.Form->ErrorDialog->isVisible());
        const auto settings = s.Module.settings();
        QCOMPARE(s.Form->ReadParams.Bluetooth.DeviceName, QByteArray("ECHOED"));
        QCOMPARE(s.Form->ReadParams.Security.PinCode, QByteArray("4711"));
        QCOMPARE(s.Form->ReadParams.Local.LocalBDAddr, QByteArray::fromStdString(settings.at("LocalBDAddr")));
        QCOMPARE(s.Form->ReadParams.Bluetooth.ServiceName, QByteArray::fromStdString(settings.at("ServiceName")));
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));

        s.Form->EditParams.Security.PinCode = "2468";
        ConfirmWrite(s);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
        QVERIFY(!s.Form->ErrorDialog->isVisible());
        QCOMPARE(s.Module.settings().at("PinCode"), std::string("2468"));
        QCOMPARE(s.Module.receivedCommands().back(), std::string("ATZ"));
    }

    void floodAndNulBytesLeaveTheNextAnswersUnderstood()
    {
        radiosim::Options options;
        options.inquiryPaceMs = 400;
        options.devices = {{"001122334455", "AFTER FLOOD", "001F00"}};
        TSession s(options);
        QVERIFY(PrepareMaster(s));
        const qint64 before = ResidentKiB();
        qint64 peak = before;
        QStringList found;
        WhenModalShown([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
            QVERIFY(dialog);
            dialog->BtnSearch->click();
            QVERIFY(QTest::qWaitFor([&] { return s.Form->CommandStep == 1; }, 3000));
            // What the port would hand over: 1 MiB without a line end, NUL bytes among it.
            const QByteArray piece = QByteArray(4095, 'Z') + QByteArray(1, '\0');
            for (int i = 0; i < 256; ++i)
                s.Form->RxQueue.Push(piece);
            QVERIFY(QTest::qWaitFor([&] {
                peak = std::max(peak, ResidentKiB());
                return dialog->isEnabled();
            }, 20000));
            for (int i = 0; i < dialog->DeviceList->topLevelItemCount(); ++i)
                found << dialog->DeviceList->topLevelItem(i)->text(2);
            dialog->BtnClose->click();
        });
        s.Form->BluetoothPage->BtnSearch->click();
        qInfo("resident memory: %lld KiB before the flood, %lld KiB at most during it", before, peak);
        QCOMPARE(found, QStringList{u"AFTER FLOOD"_s});
        QCOMPARE(s.Form->CommMode, 0);
        // The megabyte passes through; what is kept of it must not grow with it.
        QVERIFY2(peak - before < 64 * 1024, "memory grew with the flood");
    }

    void pastedLineBreaksNeverBecomeCommands()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        // The menu opens pages once it has appeared.
        QTRY_VERIFY(!s.Form->DisplayBtnTimer->Enabled());
        int pasted = 0;
        for (int page = 0; page < PageCount; ++page) {
            s.Form->OpenPage(page);
            QWidget* form = s.Form->PageInSlot(page);
            QVERIFY(form);
            for (TEditBox* box : form->findChildren<TEditBox*>()) {
                if (!box->isEnabled() || box->isReadOnly() || !box->isVisible())
                    continue;
                const QString text = box->text();
                // The same text back, broken by line ends.
                const QString pasting = text.left(1) + u"\r\n"_s + text.mid(1) + u"\r\n"_s;
                QGuiApplication::clipboard()->setText(pasting);
                box->setFocus();
                box->selectAll();
                QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
                QVERIFY2(!box->text().contains(u'\r') && !box->text().contains(u'\n'), qPrintable(box->accessibleName()));
                // The line ends are dropped; nothing else of the text is lost.
                QVERIFY2(box->text() == text, qPrintable(box->accessibleName() + u": "_s + box->text() + u" != "_s + text));
                if (box->text() != text)
                    box->setText(text); // so that the page still passes its checks
                ++pasted;
            }
        }
        QVERIFY(pasted >= 8);
        QStringList expected;
        for (int step = 0; step <= 21; ++step)
            expected << QString::fromLatin1(WriteCommand(step, s.Form->EditParams)).chopped(1);
        expected << u"ATZ"_s;
        s.Module.clearTranscript();
        QString firstModal;
        WhenModalShown([&](QWidget* modal) {
            firstModal = modal->windowTitle();
            if (auto* error = qobject_cast<TErrorForm*>(modal))
                firstModal += u": "_s + error->Detail();
            for (auto* button : modal->findChildren<QAbstractButton*>())
                if (button->accessibleName() == u"WRITE PARAMETERS"_s)
                    return button->click();
            static_cast<QDialog*>(modal)->reject();
        });
        s.Form->BtnWrite->click();
        QTRY_VERIFY_WITH_TIMEOUT(!firstModal.isEmpty(), 5000);
        QCOMPARE(firstModal, u"Write Parameters"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
        QStringList received;
        for (const std::string& command : s.Module.receivedCommands())
            received << QString::fromStdString(command);
        QCOMPARE(received, expected);
    }

    void portHeldByAnotherProgramIsRefusedAndNamed_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::addColumn<bool>("refused");
        QTest::newRow("open without a lock") << u"open"_s << true;
        // Locked by a program that also locks: its lock is met before anything else.
        QTest::newRow("locked with flock") << u"flock"_s << true;
        QTest::newRow("UUCP lock, owner alive") << u"live lock"_s << true;
        QTest::newRow("UUCP lock, owner gone") << u"stale lock"_s << false;
    }

    void portHeldByAnotherProgramIsRefusedAndNamed()
    {
        QFETCH(QString, hold);
        QFETCH(bool, refused);
        TSession s;
        const QString device = s.DevicePath();
        QProcess holder;
        if (hold == u"open")
            holder.setStandardInputFile(device);
        if (hold == u"flock")
            holder.start(QStringLiteral("flock"), {QStringLiteral("--no-fork"), device, QStringLiteral("sleep"),
                                                   QStringLiteral("1000")});
        else
            holder.start(QStringLiteral("sleep"), { QStringLiteral("1000") });
        QVERIFY(holder.waitForStarted(5000));
        const qint64 pid = holder.processId();
        QTRY_COMPARE(PortHolders::ProcessName(pid), u"sleep"_s);
        QString lockFile;
        if (hold == u"live lock" || hold == u"stale lock") {
            if (hold == u"stale lock") {
                holder.kill();
                QVERIFY(holder.waitForFinished(5000));
            }
            lockFile = QDir(PortHolders::DefaultLockDirectories().constFirst())
                           .filePath(PortHolders::LockFileNames(device).constFirst());
            QFile lock(lockFile);
            if (!lock.open(QIODevice::WriteOnly | QIODevice::Truncate))
                QSKIP("the lock directory cannot be written here");
            lock.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
        }
        auto release = [&] {
            if (!lockFile.isEmpty())
                QFile::remove(lockFile);
            holder.kill();
            holder.waitForFinished(5000);
        };
        const auto atEnd = qScopeGuard(release);

        if (!refused) {
            QVERIFY(s.OpenAndIdentify());
            return;
        }
        s.Open();
        QVERIFY(s.WaitForError());
        QCOMPARE(s.ErrorTitle, u"SERIAL OPEN ERROR"_s);
        QCOMPARE(s.ErrorDetail, u"COM Port Opening Failed.\r\nThis port has already opened by other program.\r\n"
                                u"Held by sleep, process %1."_s.arg(pid));
        QCOMPARE(s.ErrorMaintenance, u"Check "_s + device + u" Port and Try Open Again."_s);
        QVERIFY(!s.Form->MainComPort.Connected());
        QVERIFY(s.Form->BtnOpen->isEnabled());
        QVERIFY(!s.Form->SerialLED->On());
        // The module heard nothing of the refused OPEN.
        QVERIFY(s.Module.receivedBytes().empty());

        // Once the other program has let go, the port opens.
        release();
        QVERIFY(s.OpenAndIdentify());
    }

    void portWithoutPermissionNamesTheCause()
    {
        TSession s;
        const QByteArray device = s.DevicePath().toLocal8Bit();
        QCOMPARE(::chmod(device.constData(), 0600), 0);
        // Root passes every permission check; an ordinary user's file identity does not.
        const uid_t nobody = 65534;
        ::setfsuid(nobody);
        const bool dropped = static_cast<uid_t>(::setfsuid(nobody)) == nobody;
        s.Open();
        ::setfsuid(0);
        if (!dropped)
            QSKIP("cannot take an ordinary user's file identity here");
        QVERIFY(s.WaitForError());
        QCOMPARE(s.ErrorTitle, QStringLiteral("SERIAL OPEN ERROR"));
        QCOMPARE(s.ErrorDetail, OpenFailureDetail(s.DevicePath(), EACCES));
        QVERIFY(s.ErrorDetail.startsWith(u"COM Port Opening Failed.\r\nPermission denied"_s));
        QVERIFY(s.Form->BtnOpen->isEnabled());
        QVERIFY(!s.Form->MainComPort.Connected());
    }

    void emptyPortListReportsThatNoPortWasChosen()
    {
        TSession s;
        s.Open(QStringLiteral("1E"), u""_s);
        QVERIFY(s.WaitForError());
        QCOMPARE(s.ErrorTitle, QStringLiteral("SERIAL OPEN ERROR"));
        QCOMPARE(s.ErrorDetail, OpenFailureDetail(QString(), 0));
        QCOMPARE(s.ErrorMaintenance, QStringLiteral("Check  Port and Try Open Again."));
        QVERIFY(s.Form->BtnOpen->isEnabled());
    }
};

QTEST_MAIN(TestLineFaults)
#include "tst_linefaults.moc"
