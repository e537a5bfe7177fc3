// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's threads meeting: the port's event thread handing received
// bytes to the window's handler, which queues them while the receive worker
// takes them out; the worker handing each answer to the window's thread and
// waiting; and the window going away while either of them waits for it.
// Built and run under ThreadSanitizer as well (scripts/ci.d/10-tsan.sh).

#include "Session.h"

#include <QRegularExpression>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// What Qt says when an object of the window's thread is used from another one
// (timers started or stopped, children created, widgets painted).
QStringList g_threadWarnings;
QtMessageHandler g_previousHandler = nullptr;

void RecordThreadWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    static const QRegularExpression crossThread(u"thread"_s, QRegularExpression::CaseInsensitiveOption);
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains(crossThread))
        g_threadWarnings << message;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// Ends the run if the guarded scope does not finish: a shutdown that waits on a
// thread which waits on it never returns, and the test must say so.
class TDeadlockGuard
{
public:
    explicit TDeadlockGuard(const char* what, std::chrono::seconds giveUp = std::chrono::seconds(60))
        : m_thread([this, what, giveUp] {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, giveUp, [this] { return m_done; }))
                qFatal("%s did not finish: a thread waits on another that waits on it", what);
        })
    {
    }

    ~TDeadlockGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    std::thread m_thread;
};

// Blocks the window's thread without handling any event.
void BlockWindowThreadUntil(const std::function<bool()>& done)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ConfirmWrite(TSession& s)
{
    PressInNextModal(u"WRITE PARAMETERS"_s);
    s.Form->BtnWrite->click();
}

} // namespace

class TestHandOver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(RecordThreadWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init() { g_threadWarnings.clear(); }

    // Answers in small bursts with junk between them: the port's event thread
    // hands many small reads to the window while the worker takes bytes out of
    // the queue and hands answers back. Every answer is handled on the window's
    // thread, in order.
    void readAndWriteWhileBytesKeepArriving()
    {
        radiosim::Options options;
        options.randomBursts = true;
        options.noise = true;
        options.randomSeed = 11;
        TSession s(options);
        QVERIFY2(s.Started, qPrintable(s.StartError));
        s.Module.setSetting("DeviceName", "HANDED OVER");
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        QCOMPARE(s.Form->ReadParams.Bluetooth.DeviceName, QByteArray("HANDED OVER"));
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));

        s.Form->EditParams.Bluetooth.DeviceName = "WRITTEN BACK";
        ConfirmWrite(s);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 20000);
        QCOMPARE(s.Module.settings().at("DeviceName"), std::string("WRITTEN BACK"));
        QVERIFY2(g_threadWarnings.isEmpty(), qPrintable(g_threadWarnings.join(u" | "_s)));
    }

    void windowGoesWhileAThreadWaitsForIt_data()
    {
        QTest::addColumn<QString>("moment");
        // The worker has framed an answer and waits in the hand-over; the
        // module's answer to the first query meanwhile waits in the port's
        // event thread for the window's handler.
        QTest::newRow("an answer waits for the window") << u"answer waiting"_s;
        // Destroyed in the middle of a read, answers arriving in small bursts.
        QTest::newRow("bytes arriving") << u"bytes arriving"_s;
        // Asked to close in the middle of a read, which goes on; then destroyed.
        QTest::newRow("close request during a read") << u"close"_s;
    }

    void windowGoesWhileAThreadWaitsForIt()
    {
        QFETCH(QString, moment);
        radiosim::Options options;
        options.randomBursts = moment == u"bytes arriving";
        TSession s(options);
        QVERIFY2(s.Started, qPrintable(s.StartError));
        QVERIFY(s.OpenAndIdentify());
        // The worker counts the last answer's final piece once its handling has returned.
        QTest::qWait(50);
        s.Form->BtnRead->click();
        QCOMPARE(s.Form->CommMode, int(ModeReading));

        if (moment == u"answer waiting") {
            const QByteArray frame = QByteArrayLiteral("\r\nEXTRA\r\n");
            const qint64 takenBefore = s.Form->RxThread.PiecesTaken();
            for (char byte : frame)
                s.Form->RxQueue.Push(QByteArray(1, byte));
            // Every piece taken; the last one's answer cannot be handled while
            // this thread does not come back to its events.
            BlockWindowThreadUntil([&] { return s.Form->RxQueue.Count() == 0; });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            QCOMPARE(s.Form->RxQueue.Count(), 0);
            QCOMPARE(s.Form->RxThread.PiecesTaken(), takenBefore + frame.size() - 1);
            // The module's answer to query 0 has come in meanwhile.
            QVERIFY(s.Module.waitForCommandCount(4, 2000));
        } else if (moment == u"bytes arriving") {
            QTRY_VERIFY(s.Module.receivedCommands().size() >= 8);
        } else {
            QTRY_VERIFY(s.Module.receivedCommands().size() >= 8);
            s.Module.clearTranscript();
            // The window is disabled while it reads: a close request by its frame
            // does nothing, and answers keep coming while it is destroyed.
            s.Form->close();
            QVERIFY(s.Form->isVisible());
            QCOMPARE(s.Form->CommMode, int(ModeReading));
        }

        {
            TDeadlockGuard guard("destroying the main window");
            s.Form.reset();
        }
        if (moment == u"close")
            QVERIFY(!QString::fromStdString(s.Module.receivedBytes()).contains(u"ATZ"_s));
        // Nothing of the window runs after it has gone.
        QTest::qWait(100);
        QVERIFY2(g_threadWarnings.isEmpty(), qPrintable(g_threadWarnings.join(u" | "_s)));
    }
};

QTEST_MAIN(TestHandOver)
#include "tst_handover.moc"
