// SPDX-License-Identifier: GPL-3.0-or-later
// READ against a virtual module: the menu reveal, failed reads and what they leave behind.
#include "Session.h"

#include "OverviewUnit.h"
#include "ProcessingFormUnit.h"
#include "TPictureButton.h"
#include "TTimer.h"

#include <QLabel>

#include <chrono>
#include <optional>

namespace {

QStringList Queries(const radiosim::VirtualModule& module)
{
    QStringList queries;
    for (const std::string& command : module.receivedCommands())
        if (command.rfind("AT+BTINFO?", 0) == 0)
            queries << QString::fromStdString(command).mid(10);
    return queries;
}

QByteArray ModuleOutput(const radiosim::VirtualModule& module)
{
    QByteArray sent;
    for (const radiosim::TranscriptEntry& entry : module.transcript())
        if (!entry.fromTool)
            sent += QByteArray::fromStdString(entry.bytes);
    return sent;
}

// When the module finished sending its answer to `command` (sent with its CR),
// if it has.
std::optional<std::chrono::steady_clock::time_point> AnswerSent(const radiosim::VirtualModule& module,
                                                                const std::string& command)
{
    std::string fromTool, answer;
    bool asked = false;
    for (const radiosim::TranscriptEntry& entry : module.transcript()) {
        if (entry.fromTool) {
            fromTool += entry.bytes;
            asked = asked || fromTool.find(command + '\r') != std::string::npos;
            continue;
        }
        if (!asked)
            continue;
        answer += entry.bytes;
        // CR LF, the text, CR LF.
        if (answer.size() > 4 && answer.compare(answer.size() - 2, 2, "\r\n") == 0)
            return entry.when;
    }
    return std::nullopt;
}

QStringList Range(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

} // namespace

class TestReading : public QObject
{
    Q_OBJECT

private slots:
    void firstReadRevealsTheMenuInOrderAndASecondReadDoesNot()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());

        // Locked: a click opens nothing.
        s.Form->MenuButtons[PageOverview]->OnClick();
        QVERIFY(!s.Form->OpenPages[PageOverview]);

        std::array<qint64, PageCount> disabledKeys{};
        for (int k = 0; k < PageCount; ++k)
            disabledKeys[k] = s.Form->MenuButtons[k]->PictureKey();
        QList<int> revealOrder;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (int k = 0; k < PageCount; ++k)
                if (!revealOrder.contains(k) && s.Form->MenuButtons[k]->PictureKey() != disabledKeys[k])
                    revealOrder << k;
        });
        watch.start();
        QVERIFY(s.Read());
        QTRY_COMPARE(revealOrder.size(), PageCount);
        QCOMPARE(revealOrder, (QList<int>{0, 1, 2, 3, 4, 5}));
        QTRY_VERIFY(!s.Form->DisplayBtnTimer->Enabled());

        // Open the Overview, then read again: no reveal, same toolbar, the page rebuilt.
        s.Form->MenuButtons[PageOverview]->OnClick();
        QVERIFY(s.Form->OpenPages[PageOverview]);
        TOverviewForm* before = s.Form->OverviewPage;
        s.Module.setSetting("DeviceName", "CHANGED");
        QVERIFY(s.Read());
        QVERIFY(!s.Form->DisplayBtnTimer->Enabled());
        QVERIFY(!s.Form->BtnOpen->isEnabled());
        QVERIFY(s.Form->BtnWrite->isEnabled());
        QTRY_VERIFY(s.Form->OverviewPage != before);
        QCOMPARE(s.Form->OverviewPage->Overview_DeviceName->text(), QStringLiteral("CHANGED"));
        QVERIFY(s.Form->PageLeds[PageOverview]->On());
    }

    void readWithNoPageOpenOpensNone()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        QTest::qWait(200);
        for (bool open : s.Form->OpenPages)
            QVERIFY(!open);
        QVERIFY(s.Form->OverviewPage == nullptr);
    }

    // A read that ends in an error while an answer is half received, then CLOSE
    // and OPEN to a module that answers correctly: the half answer must not join
    // the module's "OK" to the debug character.
    void halfAnswerOfAFailedReadDoesNotSpoilTheNextConnection_data()
    {
        QTest::addColumn<int>("wrongCountInfo");
        QTest::addColumn<int>("restAfterMs");
        QTest::addColumn<QString>("error");
        // Step 4 is refused; the answer to step 5 is cut in half, and its rest
        // comes after the error report has ended the reading.
        QTest::newRow("wrong data") << 4 << 300 << QStringLiteral("WRONG DATA");
        // The rest of the answer to step 5 comes after the time limit.
        QTest::newRow("time-out") << -1 << 2600 << QStringLiteral("READING ERROR");
    }

    void halfAnswerOfAFailedReadDoesNotSpoilTheNextConnection()
    {
        QFETCH(int, wrongCountInfo);
        QFETCH(int, restAfterMs);
        QFETCH(QString, error);
        radiosim::Options options;
        options.wrongCountInfo = wrongCountInfo;
        options.stallAnswerOfCommand = 3 + 6; // debug char, two handshake queries, read queries 0..4
        options.stallMs = restAfterMs;
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        s.Form->BtnRead->click();
        QVERIFY(s.WaitForError(6000));
        QCOMPARE(s.ErrorTitle, error);
        QVERIFY(s.Form->ReadParams.Uart.BaudRate.isEmpty()); // step 5 was never taken
        // The rest has left the module: every answer sent is whole on the line.
        QTRY_VERIFY_WITH_TIMEOUT(ModuleOutput(s.Module).count("\r\n") % 2 == 0, 5000);

        s.Form->BtnClose->click();
        QTRY_VERIFY(s.Form->BtnOpen->isEnabled());
        s.Module.clearTranscript();
        s.Open();
        // Any report is taken down and remembered; the watch ends with this test.
        QString reported;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&reported] {
            if (auto* dialog = qobject_cast<TErrorForm*>(QApplication::activeModalWidget())) {
                reported = dialog->Title();
                dialog->reject();
            }
        });
        watch.start();
        QVERIFY(QTest::qWaitFor([&] { return s.Form->BtnRead->isEnabled() || !reported.isEmpty(); }, 5000));
        QCOMPARE(reported, QString());
        QVERIFY(s.Form->ReadyToSetLED->On());
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        // And the connection reads as any other.
        QVERIFY(s.Read());
        QCOMPARE(s.Form->ReadParams.Uart.BaudRate, QByteArray::fromStdString(s.Module.settings().at("BaudRate")));
    }

    void wrongDataLetsOneMoreQueryGoAndDropsWhatComesAfterTheDialog()
    {
        // A module slow enough that the query after the refused answer is
        // still unanswered when the error dialog opens.
        radiosim::Options options;
        options.answerDelayMs = 300;
        options.wrongCountInfo = 7;
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        const qint32 devicesBefore = s.Form->EditParams.MultiComm.NumberOfDevice;
        s.Form->BtnRead->click();

        std::optional<std::chrono::steady_clock::time_point> shownAt;
        QStringList queriesWhenShown;
        bool stepEightAnswered = false;
        QByteArray localAddressAfterIt = "unset";
        WhenModalShown([&](QWidget* modal) {
            shownAt = std::chrono::steady_clock::now();
            queriesWhenShown = Queries(s.Module);
            // The answer to the last query comes while the dialog is open; give
            // the receive path every chance to take it.
            stepEightAnswered = QTest::qWaitFor([&] { return AnswerSent(s.Module, "AT+BTINFO?8").has_value(); },
                                                3000);
            QTest::qWait(300);
            localAddressAfterIt = s.Form->ReadParams.Local.LocalBDAddr + s.Form->EditParams.Local.LocalBDAddr;
            if (auto* error = qobject_cast<TErrorForm*>(modal))
                s.ErrorTitle = error->Title() + u'|' + error->Detail();
            static_cast<QDialog*>(modal)->accept();
        }, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(shownAt.has_value(), 15000);

        QCOMPARE(s.ErrorTitle, QStringLiteral("WRONG DATA|Wrong Data was received\r\nRead Command Number : 7"));
        // Exactly one more query, sent before the dialog opened.
        const QStringList handshake{QStringLiteral("10"), QStringLiteral("100")};
        QCOMPARE(queriesWhenShown, handshake + Range(0, 8));
        // The dialog comes no sooner than 200 ms after the refused answer was
        // complete (the report itself cannot come before that).
        const auto refusedAnswerSent = AnswerSent(s.Module, "AT+BTINFO?7");
        QVERIFY(refusedAnswerSent.has_value());
        QVERIFY2(*shownAt - *refusedAnswerSent >= std::chrono::milliseconds(200),
                 qPrintable(QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                *shownAt - *refusedAnswerSent).count())));
        // Whatever came after the dialog opened was dropped: step 8 not stored,
        // no query after it.
        QVERIFY(stepEightAnswered);
        QCOMPARE(localAddressAfterIt, QByteArray());
        QCOMPARE(s.Form->CommMode, int(ModeIdle));
        QTest::qWait(400);
        QCOMPARE(Queries(s.Module), handshake + Range(0, 8));
        // The refused answer changed nothing of its step.
        QCOMPARE(s.Form->EditParams.MultiComm.NumberOfDevice, devicesBefore);
        QVERIFY(s.Form->isEnabled());
        QVERIFY(!s.Form->ProcessingDialog->isVisible());
    }

    void disconnectionWithAPageOpenShowsThePlaceholderAgain()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->MenuButtons[PageOverview]->OnClick();
        QVERIFY(s.Form->OverviewPage->isVisible());
        s.Form->BtnClose->click();
        QTRY_VERIFY(!s.Form->MainComPort.Connected());
        QVERIFY(!s.Form->OverviewPage->isVisible());
        for (TLed* lamp : s.Form->PageLeds)
            QVERIFY(!lamp->On());
        QVERIFY(s.Form->PagesLocked);
        QCOMPARE(s.Form->EditParams.Bluetooth.DeviceName, QByteArray());
    }
};

QTEST_MAIN(TestReading)
#include "tst_reading.moc"
