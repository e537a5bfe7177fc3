// SPDX-License-Identifier: GPL-3.0-or-later
// The edges of the line as the main window meets them: bytes that arrive while
// no exchange runs, and EXIT with a module that never answered.

#include "Session.h"

class TestLineEdges : public QObject
{
    Q_OBJECT

private slots:
    // The window's own received-bytes handler: the bytes are always taken from
    // the port, and queued only while an exchange runs.
    void receivedBytesAreDroppedWhileIdle_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("queued");
        QTest::newRow("idle") << int(ModeIdle) << false;
        QTest::newRow("reading") << int(ModeReading) << true;
        QTest::newRow("searching") << int(ModeSearching) << true;
    }

    void receivedBytesAreDroppedWhileIdle()
    {
        QFETCH(int, mode);
        QFETCH(bool, queued);
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QTRY_COMPARE(s.Form->CommMode, int(ModeIdle));
        // Nobody takes from the queue now: what the handler queues stays there.
        s.Form->RxThread.Stop();
        s.Form->RxQueue.Clear();
        s.Form->CommMode = mode;
        const size_t before = s.Module.receivedCommands().size();
        s.Form->SendToModule(QByteArrayLiteral("AT+BTINFO?0\r"));
        QVERIFY(s.Module.waitForCommandCount(before + 1, 3000));
        // The answer "\r\n<name>\r\n" reaches the handler on this thread.
        const qint32 answerBytes = qint32(s.Module.settings().at("DeviceName").size()) + 4;
        if (queued)
            QTRY_COMPARE(s.Form->RxQueue.Count(), answerBytes);
        else
            QTest::qWait(300);
        QCOMPARE(s.Form->RxQueue.Count(), queued ? answerBytes : 0);
        QCOMPARE(s.Form->MainComPort.InputCount(), 0);
        s.Form->CommMode = ModeIdle;
    }

    // The port is open but the module never woke up: EXIT still sends the restart.
    void exitToAModuleThatNeverAnsweredStillRestartsIt()
    {
        radiosim::Options deaf;
        deaf.debugChar = 0x42; // the tool sends 1E: the module stays silent
        TSession s(deaf);
        s.Open();
        QTRY_VERIFY(s.Form->MainComPort.Connected());
        QTest::qWait(300);
        QVERIFY(!s.Form->ReadyToSetLED->On());
        s.Module.clearTranscript();
        PressInNextModal(QStringLiteral("EXIT APPLICATION"));
        s.Form->BtnExit->click();
        QTRY_COMPARE(s.Module.receivedBytes(), std::string("ATZ\r"));
    }
};

QTEST_MAIN(TestLineEdges)
#include "tst_lineedges.moc"
