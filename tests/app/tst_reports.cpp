// SPDX-License-Identifier: GPL-3.0-or-later
// Every report of the sequencer and the connection, raised by the flow that
// raises it and read off the error dialog as the user sees it: its group box
// title, its detail lines and its maintenance lines, each word of each.

#include "Session.h"

#include <QGroupBox>
#include <QLabel>

namespace {

struct TShown
{
    QString title, detail, maintenance;
};

// Reads the next error dialog off its controls and closes it.
void ReadNextErrorDialog(std::optional<TShown>& shown)
{
    WhenModalShown([&shown](QWidget* modal) {
        if (auto* error = qobject_cast<TErrorForm*>(modal))
            shown = TShown{error->ErrorTitle->title(), error->ErrorDetail->text(), error->MaintenanceAddLine->text()};
        static_cast<QDialog*>(modal)->accept();
    }, 15000);
}

QString Lines(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void eachReportAsTheErrorDialogShowsIt_data()
    {
        QTest::addColumn<QString>("flow");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("maintenance");

        QTest::newRow("OPEN without a debug character")
            << "open empty" << "DEBUG CHAR ERROR"
            << Lines("Debug Char must be input in connecting\nDebug Char is used for Configuration Mode in the device.")
            << Lines("Retry Connect Again with Correct Debug Char");
        QTest::newRow("debug character answered ERROR")
            << "debug refused" << "Debug Char ERROR"
            << Lines("Debug Char was wrong\nError Data was recevied for Debug Char")
            << Lines("After Serial Port Close, then Retry Connect with Correct Debug Char\nOr Contact and Refer Manufacturer.");
        QTest::newRow("debug character unanswered")
            << "debug unanswered" << "CONNECTING ERROR"
            << Lines("Input Debug Char was wrong\nOr Response Data was not received.")
            << Lines("After Serial Port Close, then Retry Connect with Correct Debug Char\nOr Contact and Refer Manufacturer.");
        QTest::newRow("read query unanswered, step 5")
            << "read silent 5" << "READING ERROR"
            << Lines("Response Data was not received for Read Command\nRead Command Number : 5")
            << Lines("Contact and Refer Manufacturer");
        QTest::newRow("2.0 module, fast switching query unanswered, step 16")
            << "read silent 16 on 2.0" << "READING ERROR"
            << Lines("Response Data was not received for Read Command\nRead Command Number : 16")
            << Lines("Contact and Refer Manufacturer");
        QTest::newRow("model query at the end of a read unanswered, step 17")
            << "read silent 17" << "READING ERROR"
            << Lines("Response Data was not received for Read Command\nRead Command Number : 17")
            << Lines("Contact and Refer Manufacturer");
        QTest::newRow("wrong item count in a read answer")
            << "read wrong count" << "WRONG DATA" << Lines("Wrong Data was received\nRead Command Number : 16")
            << Lines("Retry Read Again\nOr Contact and Refer Manufacturer.");
        QTest::newRow("write command unanswered")
            << "write silent" << "WRITING ERROR"
            << Lines("Response Data was not received for Write Command\nWrite Command Number : 2")
            << Lines("Contact and Refer Manufacturer");
        QTest::newRow("write command refused")
            << "write refused" << "ERROR RECEIVED"
            << Lines("Error Data was received\nWrite Command Number : 5\nCommand : AT+BTSEC")
            << Lines("Retry Write Again\nOr Contact and Refer Manufacturer.");
        QTest::newRow("factory reset unanswered")
            << "init silent" << "INITIALIZATION ERROR"
            << Lines("Response Data was not received for Init Command\nCommand : AT&F (Initialization Command)")
            << Lines("Contact and Refer Manufacturer");
        QTest::newRow("factory reset refused")
            << "init refused" << "WRONG DATA RECEIVED" << Lines("Wrong Data was received\nInit Command : AT&F")
            << Lines("Retry Init Again\nOr Contact and Refer Manufacturer.");
    }

    void eachReportAsTheErrorDialogShowsIt()
    {
        QFETCH(QString, flow);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        QFETCH(QString, maintenance);

        radiosim::Options options;
        QString debugChar = QStringLiteral("1E");
        bool identify = true;
        bool read = false;
        QString press;
        // Commands are counted from the debug character (1) and the two
        // handshake queries (2, 3); a full read of a current module is 18 more.
        if (flow == u"open empty") {
            debugChar.clear();
            identify = false;
        } else if (flow == u"debug refused") {
            options.errorOnWrongDebugChar = true;
            debugChar = QStringLiteral("2A");
            identify = false;
        } else if (flow == u"debug unanswered") {
            debugChar = QStringLiteral("2A");
            identify = false;
        } else if (flow == u"read silent 5") {
            options.silentFromCommand = 3 + 6;
        } else if (flow == u"read silent 16 on 2.0") {
            options.type = radiosim::ModuleType::LegacyFastSwitch;
            options.silentFromCommand = 3 + 10 + 1; // steps 0..9 answered, then step 16
        } else if (flow == u"read silent 17") {
            options.silentFromCommand = 3 + 17 + 1; // steps 0..16 answered, then the model query
        } else if (flow == u"read wrong count") {
            options.wrongCountInfo = 16;
        } else if (flow == u"write silent") {
            options.silentFromCommand = 3 + 18 + 3;
            read = true;
            press = QStringLiteral("WRITE PARAMETERS");
        } else if (flow == u"write refused") {
            options.errorOnCommandPrefix = "AT+BTSEC";
            read = true;
            press = QStringLiteral("WRITE PARAMETERS");
        } else if (flow == u"init silent") {
            options.silentFromCommand = 4;
            press = QStringLiteral("INIT DEVICE");
        } else if (flow == u"init refused") {
            options.errorOnCommandPrefix = "AT&F";
            press = QStringLiteral("INIT DEVICE");
        }

        TSession s(options);
        QVERIFY2(s.Started, qPrintable(s.StartError));
        std::optional<TShown> shown;
        if (!identify) {
            s.Open(debugChar); // returns once the serial port dialog is closed
            ReadNextErrorDialog(shown);
        } else {
            QVERIFY(s.OpenAndIdentify());
            if (read)
                QVERIFY(s.Read());
            if (press.isEmpty()) {
                ReadNextErrorDialog(shown);
                s.Form->BtnRead->click();
            } else {
                PressInNextModal(press);
                (press == u"INIT DEVICE" ? s.Form->BtnInit : s.Form->BtnWrite)->click();
                // The question is answered; the report comes next.
                ReadNextErrorDialog(shown);
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(shown.has_value(), 12000);
        QCOMPARE(shown->title, title);
        QCOMPARE(shown->detail, detail);
        QCOMPARE(shown->maintenance, maintenance);
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
