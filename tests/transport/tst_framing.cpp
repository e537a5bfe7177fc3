// SPDX-License-Identifier: GPL-3.0-or-later
// The receive queue and the worker that frames answers out of it.
#include "SerialQueueThreadUnit.h"
#include "SerialQueueUnit.h"
#include "UiHandOff.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <mutex>
#include <semaphore>
#include <stdexcept>

namespace {

using Pieces = QList<QByteArray>;

// One piece per byte, as the received-bytes handler queues them.
Pieces Bytes(const QByteArray& text)
{
    Pieces pieces;
    for (char c : text)
        pieces << QByteArray(1, c);
    return pieces;
}

// A worker on its own queue that collects what it hands on.
struct Receiver {
    Receiver()
    {
        thread.Queue = &queue;
        thread.OnResponse = [this](const QByteArray& response) {
            std::lock_guard lock(mutex);
            responses << response;
        };
    }
    Pieces Responses()
    {
        std::lock_guard lock(mutex);
        return responses;
    }
    void Push(const Pieces& pieces)
    {
        for (const QByteArray& piece : pieces)
            queue.Push(piece);
    }

    TSerialQueue queue;
    TSerialQueueThread thread;
    std::mutex mutex;
    Pieces responses;
};

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void queueIsFirstInFirstOut()
    {
        TSerialQueue queue;
        queue.Push(QByteArrayLiteral("A"));
        queue.Push(QByteArray(1, '\0'));
        queue.Push(QByteArrayLiteral("C"));
        QCOMPARE(queue.Count(), 3);
        QCOMPARE(queue.Pop(), QByteArrayLiteral("A"));
        QCOMPARE(queue.Pop(), QByteArray(1, '\0'));
        queue.Clear();
        QCOMPARE(queue.Count(), 0);
        // A Clear between the worker's Count and its Pop leaves nothing to take.
        QCOMPARE(queue.Pop(), QByteArray());
    }

    void framesCutFromTheStream_data()
    {
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<Pieces>("expected");
        const QByteArray flood(1 << 20, 'A');

        QTest::newRow("OK a byte a piece") << Bytes("\r\nOK\r\n") << Pieces { "OK" };
        QTest::newRow("OK in three pieces") << Pieces { "\r", "\nOK\r", "\n" } << Pieces { "OK" };
        QTest::newRow("OK in one piece") << Pieces { "\r\nOK\r\n" } << Pieces { "OK" };
        QTest::newRow("one letter") << Bytes("\r\nA\r\n") << Pieces { "A" };
        QTest::newRow("blank line alone is no frame") << Bytes("\r\n\r\n") << Pieces {};
        QTest::newRow("blank line then OK") << Bytes("\r\n\r\nOK\r\n") << Pieces { "\r\nOK" };
        QTest::newRow("back to back") << Bytes("\r\nOK\r\n\r\nERROR\r\n") << Pieces { "OK", "ERROR" };
        QTest::newRow("any byte value") << Bytes(QByteArray("\r\nA\0\xffZ\r\n", 8))
                                        << Pieces { QByteArray("A\0\xffZ", 4) };
        QTest::newRow("line without leading CR LF is dropped")
            << Bytes("\r\nERROR\r\nOK\r\n\r\nOK\r\n") << Pieces { "ERROR", "OK" };
        QTest::newRow("noise before a frame") << Bytes("x,y\r\nOK\r\n") << Pieces { "OK" };
        QTest::newRow("stray CR before a frame") << Bytes("\r\r\nOK\r\n") << Pieces { "OK" };
        QTest::newRow("noise then back to back") << Bytes("zz\r\n\r\nA\r\n\r\nB\r\n") << Pieces { "A", "B" };
        QTest::newRow("flood without CR LF") << Pieces { flood } + Bytes("\r\nOK\r\n") << Pieces { "OK" };
        QTest::newRow("flood after CR LF") << Pieces { "\r\n" + flood } + Bytes("\r\nOK\r\n") << Pieces { "OK" };
        // The worker takes one piece per cycle; long lines come in a few pieces
        // so that the row does not take a thousand cycles.
        const QByteArray longNameLine = "0012345678AB," + QByteArray(248, 'N') + ",001F00";
        QTest::newRow("search line with a 248-byte name")
            << Pieces { "\r\n" + longNameLine.left(100), longNameLine.mid(100), "\r\n" } << Pieces { longNameLine };
        const QByteArray atBound(TSerialQueueThread::MaxFrameBuffer - 4, 'L');
        QTest::newRow("answer at the bound") << Pieces { "\r\n", atBound, "\r\n" } << Pieces { atBound };
        QTest::newRow("overlong answer")
            << Pieces { "\r\n", QByteArray(TSerialQueueThread::MaxFrameBuffer, 'L'), "\r\n" } + Bytes("\r\nOK\r\n")
            << Pieces { "OK" };
    }

    void framesCutFromTheStream()
    {
        QFETCH(Pieces, pieces);
        QFETCH(Pieces, expected);
        Receiver r;
        r.Push(pieces);
        r.thread.Start();
        QTRY_COMPARE_WITH_TIMEOUT(r.thread.PiecesTaken(), qint64(pieces.size()), 10000);
        QCOMPARE(r.Responses(), expected);
    }

    void clearKeepsWhatTheWorkerHasTaken()
    {
        Receiver r;
        r.thread.Start();
        r.Push(Bytes("\r\nO"));
        QTRY_COMPARE(r.thread.PiecesTaken(), qint64(3));
        r.queue.Clear();
        r.Push(Bytes("K\r\n"));
        QTRY_COMPARE(r.thread.PiecesTaken(), qint64(6));
        QCOMPARE(r.Responses(), Pieces { "OK" });
    }

    void answerIsHandedOnNoSoonerThanOnePiecePerCycle()
    {
        Receiver r;
        QElapsedTimer sinceFirstByte;
        std::atomic<qint64> handedOnAfter = -1;
        r.thread.OnResponse = [&](const QByteArray& response) {
            handedOnAfter = sinceFirstByte.elapsed();
            std::lock_guard lock(r.mutex);
            r.responses << response;
        };
        r.thread.Start();
        const QByteArray answer = QByteArrayLiteral("ABCDEFGHIJKLMNOPQRST"); // 24 with its frame
        sinceFirstByte.start();
        r.Push(Bytes("\r\n" + answer + "\r\n"));
        QTRY_COMPARE(r.Responses(), Pieces { answer });
        QVERIFY2(handedOnAfter >= 230, qPrintable(QString::number(handedOnAfter)));
    }

    void failingHandlerDoesNotEndTheWorker()
    {
        Receiver r;
        r.thread.OnResponse = [&](const QByteArray& response) {
            {
                std::lock_guard lock(r.mutex);
                r.responses << response;
            }
            throw std::invalid_argument("not a number");
        };
        r.Push(Bytes("\r\n1x\r\n\r\nOK\r\n"));
        r.thread.Start();
        QTRY_COMPARE(r.Responses(), (Pieces { "1x", "OK" }));
    }

    void stopReturnsWhileTheHandlerWaitsForTheWindow()
    {
        // The shutdown order of the main window: cancel the hand-off, then stop.
        QObject window;
        TUiHandOff handOff(&window);
        std::binary_semaphore entered(0);
        std::atomic<int> handled = 0;
        std::atomic<bool> runResult = true;
        Receiver r;
        r.thread.OnResponse = [&](const QByteArray&) {
            entered.release();
            runResult = handOff.Run([&] { ++handled; });
        };
        r.Push(Bytes("\r\nOK\r\n"));
        r.thread.Start();
        entered.acquire();
        handOff.Cancel();
        r.thread.Stop();
        QVERIFY(!runResult);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(handled.load(), 0);
        r.thread.Stop(); // twice is fine
    }

    void destroyingAnUnstartedWorkerIsFine()
    {
        TSerialQueueThread thread;
        thread.Stop();
        QCOMPARE(thread.PiecesTaken(), qint64(0));
    }
};

QTEST_MAIN(TestFraming)
#include "tst_framing.moc"
