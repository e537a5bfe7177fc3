// SPDX-License-Identifier: GPL-3.0-or-later
// OPEN and CLOSE against a virtual module: debug character, open failures, restart at CLOSE.
#include "Session.h"

#include "PortReports.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The bytes the module received, in order, each with the time it arrived.
std::vector<radiosim::TranscriptEntry> FromTool(const radiosim::VirtualModule& module)
{
    std::vector<radiosim::TranscriptEntry> entries;
    for (const auto& entry : module.transcript())
        if (entry.fromTool)
            entries.push_back(entry);
    return entries;
}

bool StartUpLook(const TMainForm& f)
{
    return f.BtnOpen->isEnabled() && !f.BtnClose->isEnabled() && !f.BtnRead->isEnabled()
           && !f.BtnWrite->isEnabled() && !f.BtnInit->isEnabled() && !f.SerialLED->On()
           && f.SerialLED->Caption() == QStringLiteral("SERIAL CLOSED") && !f.ReadyToSetLED->On() && f.PagesLocked
           && !f.MainComPort.Connected();
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void openSendsLoneCrThenTheDebugCharOnce()
    {
        TSession s;
        QVERIFY2(s.Started, qPrintable(s.StartError));
        // The CR cannot leave before the click; the module's clock is the same.
        const Clock::time_point clickedAt = Clock::now();
        s.Open();
        QTRY_VERIFY(s.Form->SerialLED->On());
        QCOMPARE(s.Form->SerialLED->Caption(), QStringLiteral("SERIAL OPENED"));
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->ReadyToSetLED->On(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->BtnRead->isEnabled(), 5000);

        const std::string received = s.Module.receivedBytes();
        QVERIFY(received.rfind("\r\x1E", 0) == 0); // CR first, the debug char next
        QCOMPARE(std::count(received.begin(), received.end(), '\x1E'), 1);

        // The debug character follows the CR no sooner than 200 ms later. The
        // module notes when it read each byte, and a busy machine may read the CR
        // late, so the bound counts from the click, before the CR was sent.
        Clock::time_point debugAt{};
        for (const auto& e : FromTool(s.Module)) {
            if (e.bytes.find('\x1E') != std::string::npos)
                debugAt = e.when;
        }
        QVERIFY(debugAt - clickedAt >= std::chrono::milliseconds(200));

        QCOMPARE(s.Form->BtnOpen->isEnabled(), false);
        QCOMPARE(s.Form->BtnClose->isEnabled(), true);
        QCOMPARE(s.Form->BtnInit->isEnabled(), true);
        QCOMPARE(s.Form->BtnWrite->isEnabled(), false);
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        QCOMPARE(s.Form->EditParams.Local.ModelName, QByteArray("QN7201"));
    }

    void debugCharTextGivesItsByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        QTest::newRow("one digit") << QStringLiteral("5") << 5;
        QTest::newRow("lower case") << QStringLiteral("ff") << 255;
        QTest::newRow("upper case") << QStringLiteral("FF") << 255;
        QTest::newRow("zero") << QStringLiteral("00") << 0;
    }

    void debugCharTextGivesItsByte()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        radiosim::Options options;
        options.debugChar = static_cast<unsigned char>(byte);
        TSession s(options);
        QVERIFY(s.Started);
        s.Open(text);
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->ReadyToSetLED->On(), 3000);
        QCOMPARE(s.Form->DebugCharValue, byte);
        QCOMPARE(static_cast<unsigned char>(s.Module.receivedBytes().at(1)), static_cast<unsigned char>(byte));
    }

    void emptyDebugCharReportsAndOpensNothing()
    {
        TSession s;
        s.Open(QString());
        QVERIFY(s.WaitForError());
        QCOMPARE(s.ErrorTitle, QStringLiteral("DEBUG CHAR ERROR"));
        QCOMPARE(s.ErrorMaintenance, QStringLiteral("Retry Connect Again with Correct Debug Char"));
        QVERIFY(StartUpLook(*s.Form));
        QVERIFY(s.Module.receivedBytes().empty());
    }

    void nonHexDebugCharShowsThePlainMessage()
    {
        TSession s;
        s.Open(QStringLiteral("G1"));
        QCOMPARE(s.Messages, QStringList{QStringLiteral("'$G1' is not a valid integer value")});
        QCOMPARE(s.Form->DebugCharValue, 0);
        QVERIFY(StartUpLook(*s.Form));
    }

    // Only 0-9, a-f and A-F are hexadecimal digits; digits of other scripts
    // (a full-width five, an Arabic-Indic three) are refused the same way.
    void nonAsciiDigitsInTheDebugCharAreRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("full-width five") << QStringLiteral("\uFF15");
        QTest::newRow("one and full-width five") << QStringLiteral("1\uFF15");
        QTest::newRow("Arabic-Indic three") << QStringLiteral("\u0663");
        QTest::newRow("superscript two") << QStringLiteral("\u00B2");
        QTest::newRow("space and digit") << QStringLiteral(" 1");
    }
    void nonAsciiDigitsInTheDebugCharAreRefused()
    {
        QFETCH(QString, typed);
        TSession s;
        s.Open(typed);
        QCOMPARE(s.Messages, QStringList{QStringLiteral("'$%1' is not a valid integer value").arg(typed)});
        QCOMPARE(s.Form->DebugCharValue, 0);
        QVERIFY(StartUpLook(*s.Form));
        QVERIFY(s.Module.receivedBytes().empty());
    }

    void cancelledDialogChangesNothing()
    {
        TSession s;
        s.Form->CommandStep = 7;
        s.Form->CommMode = ModeReading;
        PressInNextModal(QStringLiteral("CANCEL"));
        s.Form->BtnOpen->click();
        QCOMPARE(s.Form->CommandStep, -1);
        QCOMPARE(s.Form->CommMode, 0);
        QVERIFY(StartUpLook(*s.Form));
    }

    void openFailuresNameTheirCause_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("secondLine");
        QTest::newRow("held by another program") << QStringLiteral("held")
                                                 << QStringLiteral("This port has already opened by other program.");
        QTest::newRow("missing") << QStringLiteral("missing")
                                 << QStringLiteral("This port does not exist on this computer (is the adapter plugged in?).");
        QTest::newRow("regular file") << QStringLiteral("file") << QStringLiteral("This is not a serial port device.");
    }

    void openFailuresNameTheirCause()
    {
        QFETCH(QString, kind);
        QFETCH(QString, secondLine);
        TSession s;
        QTemporaryDir dir;
        QString port = s.DevicePath();
        int holder = -1;
        if (kind == QLatin1String("held")) {
            holder = ::open(s.Module.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        } else if (kind == QLatin1String("missing")) {
            port = QStringLiteral("/dev/ttyUSB_radioset_missing");
        } else {
            port = dir.filePath(QStringLiteral("plain"));
            QFile f(port);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        s.Open(QStringLiteral("1E"), port);
        QVERIFY(s.WaitForError());
        if (holder >= 0)
            ::close(holder);
        QCOMPARE(s.ErrorTitle, QStringLiteral("SERIAL OPEN ERROR"));
        QCOMPARE(s.ErrorDetail, QStringLiteral("COM Port Opening Failed.\r\n") + secondLine);
        QCOMPARE(s.ErrorMaintenance, QStringLiteral("Check ") + port + QStringLiteral(" Port and Try Open Again."));
        QVERIFY(StartUpLook(*s.Form));
    }

    // A stable name such as /dev/serial/by-id/usb-... works as the port it links
    // to: a link in a folder of our own stands in for udev's.
    void stableNameWorksAsThePortItLinksTo_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("opens its port") << false;
        QTest::newRow("held port refused, both names reported") << true;
    }

    void stableNameWorksAsThePortItLinksTo()
    {
        QFETCH(bool, held);
        TSession s;
        QVERIFY2(s.Started, qPrintable(s.StartError));
        QTemporaryDir byId;
        QVERIFY(byId.isValid());
        const QString link = byId.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0"));
        QVERIFY(QFile::link(s.DevicePath(), link));
        int holder = -1;
        if (held) {
            holder = ::open(s.Module.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        s.Open(QStringLiteral("1E"), link);
        if (!held) {
            QTRY_VERIFY_WITH_TIMEOUT(s.Form->BtnRead->isEnabled(), 5000);
            QCOMPARE(s.Form->MainComPort.Port(), s.DevicePath());
            return;
        }
        QVERIFY(s.WaitForError());
        ::close(holder);
        QCOMPARE(s.ErrorTitle, QStringLiteral("SERIAL OPEN ERROR"));
        QVERIFY2(s.ErrorDetail.startsWith(QStringLiteral("COM Port Opening Failed.\r\nThis port has already opened by "
                                                          "other program.")),
                 qPrintable(s.ErrorDetail));
        QCOMPARE(s.ErrorMaintenance,
                 QStringLiteral("Check ") + link + QStringLiteral(" (") + s.DevicePath() + QStringLiteral(") Port and Try Open Again."));
        QVERIFY(StartUpLook(*s.Form));
    }

    void permissionDeniedNamesTheGroupThatOwnsThePort()
    {
        // As root no open is refused for want of permission, so the text is checked
        // on its own, for a file owned by the group serial ports usually have.
        const group* dialout = ::getgrnam("dialout");
        if (!dialout)
            QSKIP("no dialout group on this machine");
        QTemporaryDir dir;
        const QString port = dir.filePath(QStringLiteral("ttyUSB9"));
        QFile file(port);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(::chown(QFile::encodeName(port).constData(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
        QCOMPARE(OpenFailureDetail(port, EACCES),
                 QStringLiteral("COM Port Opening Failed.\r\nPermission denied: the port belongs to the group "
                                "'dialout'.\r\nJoin it (sudo usermod -aG dialout $USER), then log in again."));
        QCOMPARE(OpenFailureDetail(QString(), ENOENT),
                 QStringLiteral("COM Port Opening Failed.\r\nNo COM PORT was chosen: this computer shows no serial port."));
    }

    void closeRestartsOnlyAModuleInConfigurationMode()
    {
        // Lamp lit: "ATZ\r" goes out, and the port is closed 100 ms later.
        TSession lit;
        QVERIFY(lit.OpenAndIdentify());
        lit.Module.clearTranscript();
        lit.Form->BtnClose->click();
        QVERIFY(lit.Form->MainComPort.Connected()); // not before 100 ms
        QTRY_VERIFY(StartUpLook(*lit.Form));
        QCOMPARE(lit.Module.receivedBytes(), std::string("ATZ\r"));

        // Lamp dark (the module never woke up): nothing is sent.
        radiosim::Options deaf;
        deaf.debugChar = 0x42;
        TSession dark(deaf);
        dark.Open();
        QTRY_VERIFY(dark.Form->MainComPort.Connected());
        QTest::qWait(300);
        dark.Module.clearTranscript();
        dark.Form->BtnClose->click();
        QTRY_VERIFY(StartUpLook(*dark.Form));
        QVERIFY(dark.Module.receivedBytes().empty());
    }

    void twoReportsWithinTheDelayShowOneDialogWithTheLastTexts()
    {
        TSession s;
        int shown = 0;
        QString title;
        WhenModalShown([&](QWidget* modal) {
            ++shown;
            title = static_cast<TErrorForm*>(modal)->Title();
            static_cast<QDialog*>(modal)->accept();
        });
        s.Form->ReportError(QStringLiteral("FIRST"), QStringLiteral("a"), QStringLiteral("b"));
        QTest::qWait(100);
        s.Form->ReportError(QStringLiteral("SECOND"), QStringLiteral("c"), QStringLiteral("d"));
        QTRY_COMPARE(shown, 1);
        QTest::qWait(300);
        QCOMPARE(shown, 1);
        QCOMPARE(title, QStringLiteral("SECOND"));
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
