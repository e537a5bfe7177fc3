// SPDX-License-Identifier: GPL-3.0-or-later
// Work handed to the user-interface thread from another thread, and its cancellation.
#include "UiHandOff.h"

#include <QTest>

#include <atomic>
#include <semaphore>
#include <stdexcept>
#include <thread>

class TestUiHandOff : public QObject
{
    Q_OBJECT

private slots:
    void workFromAnotherThreadRunsOnTheContextThreadWhileTheCallerWaits()
    {
        QObject context;
        TUiHandOff handOff(&context);
        std::atomic<bool> ranOnContextThread = false;
        std::atomic<bool> ranBeforeReturn = false;
        std::atomic<bool> finished = false;
        std::atomic<bool> result = false;
        std::thread worker([&] {
            result = handOff.Run([&] { ranOnContextThread = QThread::currentThread() == context.thread(); });
            ranBeforeReturn = ranOnContextThread.load();
            finished = true;
        });
        QTRY_VERIFY(finished);
        worker.join();
        QVERIFY(result);
        QVERIFY(ranBeforeReturn);
    }

    void workOnTheContextThreadRunsAtOnce()
    {
        QObject context;
        TUiHandOff handOff(&context);
        bool ran = false;
        QVERIFY(handOff.Run([&] { ran = true; }));
        QVERIFY(ran);
    }

    void failureIsRethrownInTheCallingThread()
    {
        QObject context;
        TUiHandOff handOff(&context);
        std::atomic<bool> finished = false;
        QString caught;
        std::thread worker([&] {
            try {
                handOff.Run([] { throw std::runtime_error("WRONG DATA"); });
            } catch (const std::runtime_error& e) {
                caught = QString::fromLatin1(e.what());
            }
            finished = true;
        });
        QTRY_VERIFY(finished);
        worker.join();
        QCOMPARE(caught, QStringLiteral("WRONG DATA"));
    }

    void cancelReleasesAWaiterAndTheWorkNeverRuns_data()
    {
        QTest::addColumn<bool>("destroyContext");
        QTest::newRow("cancel") << false;
        QTest::newRow("context destroyed") << true;
    }

    void cancelReleasesAWaiterAndTheWorkNeverRuns()
    {
        QFETCH(bool, destroyContext);
        auto context = std::make_unique<QObject>();
        TUiHandOff handOff(context.get());
        std::atomic<bool> ran = false;
        std::atomic<int> result = -1;
        std::binary_semaphore calling(0);
        std::thread worker([&] {
            calling.release();
            result = handOff.Run([&] { ran = true; }) ? 1 : 0;
        });
        calling.acquire();
        // The event loop is not running: the worker waits (or is about to)
        // for work that only this thread could carry out.
        if (destroyContext)
            context.reset();
        else
            handOff.Cancel();
        worker.join();
        QCOMPARE(result.load(), 0);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        // Later calls fail at once, on any thread.
        bool ranLater = false;
        std::thread later([&] { result = handOff.Run([&] { ranLater = true; }) ? 1 : 0; });
        later.join();
        QCOMPARE(result.load(), 0);
        if (context)
            QVERIFY(!handOff.Run([&] { ranLater = true; }));
        QVERIFY(!ranLater);
    }

    void serveUntilCarriesOutPendingWorkWithoutAnEventLoop()
    {
        QObject context;
        TUiHandOff handOff(&context);
        std::atomic<bool> done = false;
        std::atomic<int> ranOnContextThread = 0;
        std::thread worker([&] {
            for (int i = 0; i < 3; ++i) {
                handOff.Run([&] {
                    if (QThread::currentThread() == context.thread())
                        ++ranOnContextThread;
                });
            }
            done = true;
            handOff.Wake();
        });
        handOff.ServeUntil([&] { return done.load(); });
        worker.join();
        QCOMPARE(ranOnContextThread.load(), 3);
        // What ServeUntil ran is not run again by the event loop.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(ranOnContextThread.load(), 3);
    }
};

QTEST_MAIN(TestUiHandOff)
#include "tst_uihandoff.moc"
