// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journey.h"

// The real program, closed in the middle of an exchange, must end by itself and
// restart the module on its way out.
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

    void closingDuringAnExchangeEndsTheProgramAfterTheRestart_data()
    {
        QTest::addColumn<QString>("during");
        QTest::addColumn<QByteArray>("reached");
        // Slow answers keep the exchange running while the window is closed.
        QTest::newRow("read") << u"read"_s << QByteArrayLiteral("AT+BTINFO?3\r");
        QTest::newRow("write") << u"write"_s << QByteArrayLiteral("AT+BTSEC");
    }

    void closingDuringAnExchangeEndsTheProgramAfterTheRestart()
    {
        QFETCH(QString, during);
        QFETCH(QByteArray, reached);
        TSimProcess sim;
        QVERIFY(sim.Start({u"--answer-delay=250"_s}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};
        QVERIFY(user.Open());
        if (during == u"write") {
            QVERIFY(user.Read(QByteArrayLiteral("AT+BTINFO?100\r")));
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Write)));
            QVERIFY(m_desktop.Click(m_desktop.WaitWindow(Caption::WriteQuestion), {5 + 61, 96 + 10}));
        } else {
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Read)));
        }
        QVERIFY(sim.WaitSent(reached));
        // The window takes no input while the exchange runs: the window manager's
        // close request is the user's way out.
        QVERIFY(m_desktop.RequestClose(program.Main));
        const QString question = m_desktop.WaitWindow(Caption::ExitQuestion);
        QVERIFY(!question.isEmpty());
        const qsizetype restarts = sim.CountSent(QByteArrayLiteral("ATZ\r"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_desktop.Click(question, {6 + 65, 95 + 10}));
        const bool ended = program.WaitEnd(10000);
        if (!ended)
            m_desktop.Screenshot(QDir::current().filePath(u"exit-"_s + during + u".png"_s));
        QVERIFY2(ended, "the program did not end");
        qInfo("%s: the program ended %lld ms after the exit was confirmed", qPrintable(during), clock.elapsed());
        QVERIFY(program.EndedCleanly());
        QTRY_COMPARE(sim.CountSent(QByteArrayLiteral("ATZ\r")), restarts + 1);
    }
};

QTEST_GUILESS_MAIN(TestExit)
#include "tst_exit.moc"
