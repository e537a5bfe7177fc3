// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the main window while the module is busy, and ending the program on a
// request from outside it. A close request while the window is disabled (READ,
// WRITE) does nothing and the exchange ends whole; afterwards it asks the exit
// question as before. An end asked for by the system or the desktop asks nothing,
// lets the exchange finish, then restarts the module and closes the window.

#include "EndRequests.h"
#include "Session.h"

#include <QSignalSpy>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

// Records the caption of every modal dialog that shows up and closes it, so a
// question nobody expects neither blocks the test nor goes unseen. The write
// question is answered with WRITE PARAMETERS.
class TModalRecorder
{
public:
    TModalRecorder()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            Captions << modal->windowTitle();
            for (auto* button : modal->findChildren<QAbstractButton*>()) {
                if (button->accessibleName() == u"WRITE PARAMETERS") {
                    button->click();
                    return;
                }
            }
            static_cast<QDialog*>(modal)->reject();
        });
        m_timer.start();
    }

    QStringList Captions;

private:
    QTimer m_timer;
};

int Count(const std::vector<std::string>& commands, const std::string& prefix)
{
    int n = 0;
    for (const std::string& c : commands)
        n += c.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
}

constexpr int InfoQueries = 18;  // a current module, read whole
constexpr int WriteCommands = 22; // and written whole

// A module slow enough for a request to land in the middle of an exchange.
radiosim::Options Slow()
{
    radiosim::Options options;
    options.answerDelayMs = 40;
    return options;
}

} // namespace

class TestClosing : public QObject
{
    Q_OBJECT

private slots:
    void closeRequestWhileReadingOrWritingDoesNothing_data()
    {
        QTest::addColumn<bool>("writing");
        QTest::newRow("READ") << false;
        QTest::newRow("WRITE") << true;
    }

    void closeRequestWhileReadingOrWritingDoesNothing()
    {
        QFETCH(bool, writing);
        TSession s(Slow());
        QVERIFY2(s.Started, qPrintable(s.StartError));
        QVERIFY(s.OpenAndIdentify());
        if (writing) {
            QVERIFY(s.Read());
            s.Form->EditParams.Bluetooth.DeviceName = "CLOSED LATE";
        }
        s.Module.clearTranscript();
        TModalRecorder modals;
        (writing ? s.Form->BtnWrite : s.Form->BtnRead)->click();
        QTRY_VERIFY(s.Module.receivedCommands().size() >= 4);
        QVERIFY(!s.Form->isEnabled());

        // What the window manager's close request does: the window's own close.
        s.Form->close();
        QVERIFY(s.Form->isVisible());
        QCOMPARE(s.Form->CommMode, int(writing ? ModeWriting : ModeReading));

        if (writing)
            QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(s.Form->isEnabled() && s.Form->CommMode == ModeIdle, 15000);
        const std::vector<std::string> sent = s.Module.receivedCommands();
        if (writing) {
            QCOMPARE(Count(sent, "AT+BT") + Count(sent, "AT+SET"), WriteCommands);
            QCOMPARE(QByteArray::fromStdString(s.Module.receivedBytes()).count("ATZ\r"), 1);
            QCOMPARE(sent.back(), std::string("ATZ"));
            QCOMPARE(s.Module.settings().at("DeviceName"), std::string("CLOSED LATE"));
        } else {
            QCOMPARE(Count(sent, "AT+BTINFO?"), InfoQueries);
            QCOMPARE(Count(sent, "ATZ"), 0);
        }
        QCOMPARE(modals.Captions, writing ? QStringList{u"Write Parameters"_s} : QStringList{});

        // Once the exchange has ended, the same request asks the question again.
        s.Form->close();
        QCOMPARE(modals.Captions.mid(writing ? 1 : 0), QStringList{u"Exit Application"_s});
        QVERIFY(s.Form->isVisible());
    }

    // Asked to end from outside: no question; what runs is finished, then the
    // module is restarted if the port is still open, and the window closes.
    void endRequestLetsTheExchangeFinish_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("restarts");
        QTest::newRow("during READ") << u"read"_s << 1;
        // The write's own restart, then the disconnection: nothing more is sent.
        QTest::newRow("during WRITE") << u"write"_s << 1;
        QTest::newRow("connected, idle") << u"idle"_s << 1;
        QTest::newRow("the exit question open") << u"question"_s << 1;
        QTest::newRow("no port open") << u"closed"_s << 0;
    }

    void endRequestLetsTheExchangeFinish()
    {
        QFETCH(QString, moment);
        QFETCH(int, restarts);
        TSession s(Slow());
        QVERIFY2(s.Started, qPrintable(s.StartError));
        if (moment != u"closed")
            QVERIFY(s.OpenAndIdentify());
        if (moment == u"write")
            QVERIFY(s.Read());
        s.Module.clearTranscript();

        if (moment == u"question") {
            WhenModalShown([&s](QWidget*) { s.Form->EndOnRequest(); });
            s.Form->BtnExit->click();
        } else {
            TModalRecorder modals;
            if (moment == u"read" || moment == u"write") {
                (moment == u"read" ? s.Form->BtnRead : s.Form->BtnWrite)->click();
                QTRY_VERIFY(s.Module.receivedCommands().size() >= 4);
            }
            s.Form->EndOnRequest();
            QTRY_VERIFY_WITH_TIMEOUT(!s.Form->isVisible(), 15000);
            QCOMPARE(modals.Captions, moment == u"write" ? QStringList{u"Write Parameters"_s} : QStringList{});
        }
        QVERIFY(!s.Form->isVisible());
        QTest::qWait(200);
        const std::vector<std::string> sent = s.Module.receivedCommands();
        // Bytes, not commands: a restarted module takes a second "ATZ" as data.
        const QByteArray bytes = QByteArray::fromStdString(s.Module.receivedBytes());
        QCOMPARE(bytes.count("ATZ\r"), restarts);
        if (restarts > 0)
            QVERIFY(bytes.endsWith("ATZ\r"));
        if (moment == u"read")
            QCOMPARE(Count(sent, "AT+BTINFO?"), InfoQueries);
        if (moment == u"write")
            QCOMPARE(Count(sent, "AT+BT") + Count(sent, "AT+SET"), WriteCommands);
    }

    // SIGTERM, SIGHUP and SIGINT each ask once; the next one would end the
    // program at once.
    void terminationSignalsAskToEnd_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void terminationSignalsAskToEnd()
    {
        QFETCH(int, number);
        QWidget window;
        TEndRequests requests(&window);
        QSignalSpy asked(&requests, &TEndRequests::EndRequested);
        QCOMPARE(::raise(number), 0);
        QTRY_COMPARE(asked.count(), 1);
        for (int other : {SIGTERM, SIGHUP, SIGINT}) {
            struct sigaction now = {};
            QCOMPARE(::sigaction(other, nullptr, &now), 0);
            QVERIFY(now.sa_handler == SIG_DFL);
        }
    }

    // The desktop session ending reaches the program as the application's quit:
    // it is held back while the window is shown and asks the window to end.
    void sessionQuitAsksTheWindowToEnd()
    {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TEndRequests requests(&window);
        QSignalSpy asked(&requests, &TEndRequests::EndRequested);
        bool visibleWhenAsked = false;
        connect(&requests, &TEndRequests::EndRequested, &window, [&] {
            visibleWhenAsked = window.isVisible();
            window.close();
        });
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        // Should the quit be lost, the run still ends.
        QTimer::singleShot(10000, [] { QCoreApplication::exit(3); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(asked.count(), 1);
        QVERIFY(visibleWhenAsked);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(TestClosing)
#include "tst_closing.moc"
