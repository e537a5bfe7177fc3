// SPDX-License-Identifier: GPL-3.0-or-later
// Ending the real program in the middle of an exchange.
#include "Journey.h"

// The real program, asked to end in the middle of an exchange, must finish the
// exchange, restart the module and end by itself. The window manager's close
// request does nothing meanwhile (the window is disabled); logging out, kill or
// Ctrl+C in a terminal (SIGTERM, SIGINT) is what still ends it.
class TestExit : public QObject
{
    Q_OBJECT

    TDesktop m_desktop;

private slots:
    void initTestCase()
    {
        const QString missing = TDesktop::Missing();
        if (!missing.isEmpty())
            QSKIP(qPrintable(u"not installed: "_s + missing));
        QVERIFY(m_desktop.Start());
    }

    void endingDuringAnExchangeEndsTheProgramAfterIt_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<QByteArray>("reached");
        QTest::addColumn<QByteArray>("last");
        // Slow answers keep the exchange running while the program is asked to end.
        QTest::newRow("read") << u"read"_s << QByteArrayLiteral("AT+BTINFO?3\r")
                              << QByteArrayLiteral("AT+BTINFO?100\r");
        QTest::newRow("write") << u"write"_s << QByteArrayLiteral("AT+BTSEC") << QByteArrayLiteral("AT+BTHFC,");
    }

    void endingDuringAnExchangeEndsTheProgramAfterIt()
    {
        QFETCH(QString, during);
        QFETCH(QByteArray, reached);
        QFETCH(QByteArray, last);
        TSimProcess sim;
        QVERIFY(sim.Start({u"--answer-delay=250"_s}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};
        QVERIFY(user.Open());
        if (during == u"write") {
            QVERIFY(user.Read(QByteArrayLiteral("AT+BTINFO?100\r")));
            QVERIFY(user.OpenPage(1));
            QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(0), u"ended late"_s));
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Write)));
            QVERIFY(m_desktop.Click(m_desktop.WaitWindow(Caption::WriteQuestion), {5 + 61, 96 + 10}));
        } else {
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Read)));
        }
        QVERIFY(sim.WaitSent(reached));
        const qsizetype lastBefore = sim.CountSent(last);
        const qsizetype restarts = sim.CountSent(QByteArrayLiteral("ATZ\r"));
        QVERIFY(m_desktop.RequestClose(program.Main));
        QVERIFY(m_desktop.WaitWindow(Caption::ExitQuestion, 800).isEmpty());
        QElapsedTimer clock;
        clock.start();
        program.Terminate();
        const bool ended = program.WaitEnd(20000);
        if (!ended)
            m_desktop.Screenshot(QDir::current().filePath(u"exit-"_s + during + u".png"_s));
        QVERIFY2(ended, "the program did not end");
        qInfo("%s: the program ended %lld ms after SIGTERM", qPrintable(during), clock.elapsed());
        QVERIFY(program.EndedCleanly());
        // The exchange went to its end, then the module was restarted once: by
        // the write itself, or on the way out after a read.
        QCOMPARE(sim.CountSent(last), lastBefore + 1);
        QCOMPARE(sim.CountSent(QByteArrayLiteral("ATZ\r")), restarts + 1);
        QVERIFY(sim.Bytes(true).endsWith("ATZ\r"));
        if (during == u"write")
            QCOMPARE(sim.State().value(u"DeviceName"_s), u"ENDED LATE"_s);
    }
};

QTEST_GUILESS_MAIN(TestExit)
#include "tst_exit.moc"
