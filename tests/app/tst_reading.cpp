#include "Session.h"

#include "OverviewUnit.h"
#include "TPictureButton.h"
#include "TTimer.h"

#include <QLabel>

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
    void eachModuleTypeReceivesItsQuerySequence_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("expected");
        const QStringList handshake{QStringLiteral("10"), QStringLiteral("100")};
        QTest::newRow("current") << int(radiosim::ModuleType::Current)
                                 << handshake + Range(0, 16) + QStringList{QStringLiteral("100")};
        QTest::newRow("2.0") << int(radiosim::ModuleType::LegacyFastSwitch)
                             << handshake + Range(0, 9) + QStringList{QStringLiteral("16")};
        QTest::newRow("ERROR") << int(radiosim::ModuleType::Legacy) << handshake + Range(0, 9);
    }

    void eachModuleTypeReceivesItsQuerySequence()
    {
        QFETCH(int, type);
        QFETCH(QStringList, expected);
        radiosim::Options options;
        options.type = static_cast<radiosim::ModuleType>(type);
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        QCOMPARE(Queries(s.Module), expected);
        QVERIFY(!s.Form->PagesLocked);
        QVERIFY(s.Form->BtnWrite->isEnabled());
        const auto settings = s.Module.settings();
        QCOMPARE(s.Form->ReadParams.Bluetooth.DeviceName, QByteArray::fromStdString(settings.at("DeviceName")));
        QCOMPARE(s.Form->EditParams.Bluetooth.DeviceName, QByteArray::fromStdString(settings.at("DeviceName")));
        QCOMPARE(s.Form->EditParams.Security.PinCode, QByteArray::fromStdString(settings.at("PinCode")));
    }

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

    void silenceHalfwayKeepsTheValuesReadSoFar()
    {
        radiosim::Options options;
        options.silentFromCommand = 3 + 6; // debug char and two handshake queries, then queries 0..4 answered
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        s.Form->BtnRead->click();
        QVERIFY(s.WaitForError(6000));
        QCOMPARE(s.ErrorTitle, QStringLiteral("READING ERROR"));
        QCOMPARE(s.ErrorDetail,
                 QStringLiteral("Response Data was not received for Read Command\r\nRead Command Number : 5"));
        QVERIFY(s.Form->isEnabled());
        QVERIFY(s.Form->PagesLocked);
        QVERIFY(!s.Form->BtnWrite->isEnabled());
        QVERIFY(!s.Form->ReadParams.Bluetooth.DeviceName.isEmpty()); // step 0
        QVERIFY(!s.Form->ReadParams.System.DebugChar.isEmpty());      // step 4
        QVERIFY(s.Form->ReadParams.Uart.BaudRate.isEmpty());          // step 5 never arrived
    }

    void wrongItemCountIsReportedAndTheReadingGoesOn()
    {
        radiosim::Options options;
        options.wrongCountInfo = 16; // near the end, so the sequence finishes within the report's delay
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        s.Form->BtnRead->click();
        QVERIFY(s.WaitForError(8000));
        QCOMPARE(s.ErrorTitle, QStringLiteral("WRONG DATA"));
        QCOMPARE(s.ErrorDetail, QStringLiteral("Wrong Data was received\r\nRead Command Number : 16"));
        QCOMPARE(s.ErrorMaintenance, QStringLiteral("Retry Read Again\r\nOr Contact and Refer Manufacturer."));
        // The reading went on after the refused answer: the model query was still sent.
        QVERIFY(Queries(s.Module).contains(QStringLiteral("100")));
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

    void modelAnswerErrorAtTheEndOfAReadIsStoredAsTheModel()
    {
        radiosim::Options options;
        options.modelUnknown = true;
        TSession s(options);
        s.Open();
        PressInNextModal(QStringLiteral("SELECT"));
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->BtnRead->isEnabled(), 5000);
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7101"));
        QVERIFY(s.Read());
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("ERROR"));
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
