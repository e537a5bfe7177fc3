// SPDX-License-Identifier: GPL-3.0-or-later
// The main window at start-up: toolbar, timers and the exit question.
#include "MainUnit.h"

#include "ModalDriver.h"
#include "TLed.h"
#include "TTimer.h"

#include <QTest>
#include <QToolButton>

class TestMainForm : public QObject
{
    Q_OBJECT

private:
    static QList<bool> Enabled(const TMainForm& f)
    {
        return {f.BtnOpen->isEnabled(), f.BtnClose->isEnabled(), f.BtnRead->isEnabled(),
                f.BtnWrite->isEnabled(), f.BtnInit->isEnabled(), f.BtnExit->isEnabled()};
    }

private slots:
    void startsIdleWithOnlyOpenAndExit()
    {
        TMainForm f;
        QCOMPARE(f.windowTitle(), QStringLiteral("RadioSet Program Ver 1.3.2"));
        QCOMPARE(f.size(), QSize(560, 436));
        QCOMPARE(Enabled(f), (QList<bool>{true, false, false, false, false, true}));
        QVERIFY(!f.SerialLED->On());
        QVERIFY(!f.ReadyToSetLED->On());
        QCOMPARE(f.SerialLED->Caption(), QStringLiteral("SERIAL CLOSED"));
        QCOMPARE(f.ReadyToSetLED->Caption(), QStringLiteral("READY TO SET"));
        QCOMPARE(f.CommMode, 0);
        QCOMPARE(f.CommandStep, -1);
        QVERIFY(f.PagesLocked);
        QCOMPARE(f.DisplayBtnStep, 0);
        for (bool open : f.OpenPages)
            QVERIFY(!open);
        for (TLed* lamp : f.PageLeds)
            QVERIFY(!lamp->On());
        QVERIFY(!f.SendDebugCharTimer->Enabled());
        QVERIFY(!f.DisplayBtnTimer->Enabled());
        QVERIFY(!f.RxTimeoutTimer->Enabled());
    }

    // The exchange decides what a missing answer means (tst_exchange); the
    // window's timers give it the exchange's limits and delays.
    void timersRunTheExchangesLimits()
    {
        TMainForm f;
        QCOMPARE(f.SendDebugCharTimer->Interval(), 200);
        QCOMPARE(f.DisconnectTimer->Interval(), 100);
        QCOMPARE(f.ShowErrorFormTimer->Interval(), 200);
        QCOMPARE(f.RxTimeoutTimer->Interval(), 2000);
        QCOMPARE(f.ShowSelectProductTimer->Interval(), 100);
        QCOMPARE(f.ServiceNameReqTimer->Interval(), 100);
        QCOMPARE(f.RedrawTimer->Interval(), 100);
        QCOMPARE(f.DisplayBtnTimer->Interval(), 100);
    }

    void setToolbarButtons_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("0") << 0 << QList<bool>{false, false, false, false, false, true};
        QTest::newRow("1") << 1 << QList<bool>{true, false, false, false, false, true};
        QTest::newRow("2") << 2 << QList<bool>{false, true, false, false, false, true};
        QTest::newRow("22") << 22 << QList<bool>{false, true, true, false, true, true};
        QTest::newRow("30") << 30 << QList<bool>{false, true, true, true, true, true};
        QTest::newRow("bits above 4 ignored") << (32 | 64 | 1) << QList<bool>{true, false, false, false, false, true};
    }

    void setToolbarButtons()
    {
        QFETCH(int, mask);
        QFETCH(QList<bool>, expected);
        TMainForm f;
        f.SetToolbarButtons(31);
        f.SetToolbarButtons(mask);
        QCOMPARE(Enabled(f), expected);
    }

    void exitDeclinedKeepsTheWindowAsItWas()
    {
        TMainForm f;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.CommandStep = 5;
        PressInNextModal(QStringLiteral("CANCEL"));
        f.BtnExit->click();
        QVERIFY(f.isVisible());
        QCOMPARE(f.CommandStep, 5);
    }

    void exitConfirmedClosesTheWindow()
    {
        TMainForm f;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.CommMode = ModeReading;
        PressInNextModal(QStringLiteral("EXIT APPLICATION"));
        f.BtnExit->click();
        QVERIFY(!f.isVisible());
        QCOMPARE(f.CommMode, 0);
        QCOMPARE(f.CommandStep, -1);
    }

    void titleBarCloseAsksTheSameQuestion()
    {
        TMainForm f;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QString asked;
        WhenModalShown([&](QWidget* modal) {
            asked = modal->windowTitle();
            static_cast<QDialog*>(modal)->reject();
        });
        f.close(); // what the title-bar button and the platform shortcut do
        QCOMPARE(asked, QStringLiteral("Exit Application"));
        QVERIFY(f.isVisible());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
