#include "Session.h"

#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "PortReports.h"
#include "SearchDevicesFormUnit.h"
#include "TEditBox.h"

#include <QClipboard>
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

// Resident memory of this process in KiB.
qint64 ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
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
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("vanishAfter");
        QTest::addColumn<QString>("title");
        QTest::newRow("idle") << u"idle"_s << HandshakeCommands << QString();
        QTest::newRow("read") << u"read"_s << HandshakeCommands + 5 << u"READING ERROR"_s;
        QTest::newRow("write") << u"write"_s << HandshakeCommands + ReadCommands + 5 << u"WRITING ERROR"_s;
        QTest::newRow("search") << u"search"_s << HandshakeCommands + ReadCommands + 1 << QString();
    }

    void lineVanishingIsReportedAndTheNextConnectionWorks()
    {
        QFETCH(QString, during);
        QFETCH(int, vanishAfter);
        QFETCH(QString, title);
        radiosim::Options options;
        options.vanishAfterCommand = vanishAfter;
        options.inquiryPaceMs = 50;
        TSession s(options);
        if (during == u"search") {
            QVERIFY(PrepareMaster(s));
            s.Form->SetSearchSilenceLimit(1000);
            bool ended = false;
            WhenModalShown([&](QWidget* modal) {
                auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
                QVERIFY(dialog);
                dialog->BtnSearch->click();
                ended = QTest::qWaitFor([&] { return dialog->isEnabled(); }, 8000);
                dialog->BtnClose->click();
            });
            s.Form->BluetoothPage->BtnSearch->click();
            QVERIFY(ended);
            QVERIFY(s.Module.vanished());
            QCOMPARE(s.Form->CommMode, 0);
        } else {
            QVERIFY(s.OpenAndIdentify());
            if (during == u"idle") {
                QTRY_VERIFY(s.Module.vanished());
                QTest::qWait(300);
            } else {
                if (during == u"write") {
                    QVERIFY(s.Read());
                    ConfirmWrite(s);
                } else {
                    s.Form->BtnRead->click();
                }
                QVERIFY(s.WaitForError(8000));
                QCOMPARE(s.ErrorTitle, title);
                QVERIFY(s.Form->isEnabled());
                QCOMPARE(s.Form->CommMode, 0);
            }
        }
        if (!s.Messages.isEmpty())
            qInfo("plain messages: %s", qPrintable(s.Messages.join(u" | "_s)));
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

    void wrongAnswerAtAnItemListStepIsWrongData_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("nonNumeric");
        for (int step : {1, 4, 5, 6, 7, 11})
            QTest::addRow("step %d, item count", step) << step << false;
        // Step 5 holds text fields only (speed, parity, stop bits): no number to spoil.
        for (int step : {1, 4, 6, 7, 11})
            QTest::addRow("step %d, not a number", step) << step << true;
    }

    void wrongAnswerAtAnItemListStepIsWrongData()
    {
        QFETCH(int, step);
        QFETCH(bool, nonNumeric);
        radiosim::Options options;
        (nonNumeric ? options.nonNumericInfo : options.wrongCountInfo) = step;
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        s.Form->BtnRead->click();
        QVERIFY(s.WaitForError(8000));
        QCOMPARE(s.ErrorTitle, QStringLiteral("WRONG DATA"));
        QCOMPARE(s.ErrorDetail, QStringLiteral("Wrong Data was received\r\nRead Command Number : %1").arg(step));
        QTRY_VERIFY(s.Form->isEnabled());
        QCOMPARE(s.Form->CommMode, 0);
    }

    void echoingModuleIsReportedNotMisread()
    {
        radiosim::Options options;
        options.echo = true;
        TSession s(options);
        s.Open();
        // Its own command comes back in front of every answer.
        const bool identified = QTest::qWaitFor([&] { return s.Form->BtnRead->isEnabled(); }, 3000);
        if (identified) {
            QVERIFY(s.Read());
            QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        } else {
            QVERIFY(s.WaitForError(5000));
            QVERIFY(!s.ErrorTitle.isEmpty());
        }
        QCOMPARE(s.Form->CommMode, 0);
        QVERIFY(CloseAndOpenAnotherModule(s));
    }

    void answerJustInsideTheLimitCountsAndJustOutsideIsLate_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("identified");
        QTest::newRow("1700 ms") << 1700 << true;
        QTest::newRow("2300 ms") << 2300 << false;
    }

    void answerJustInsideTheLimitCountsAndJustOutsideIsLate()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, identified);
        radiosim::Options options;
        options.answerDelayMs = delayMs;
        TSession s(options);
        s.Open();
        if (identified) {
            QVERIFY(QTest::qWaitFor([&] { return s.Form->BtnRead->isEnabled(); }, 4 * delayMs + 2000));
            QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        } else {
            QVERIFY(s.WaitForError(6000));
            QCOMPARE(s.ErrorTitle, QStringLiteral("CONNECTING ERROR"));
            // The late answer that follows the report is dropped, and READ stays off.
            QTest::qWait(delayMs);
            QVERIFY(!s.Form->BtnRead->isEnabled());
        }
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
