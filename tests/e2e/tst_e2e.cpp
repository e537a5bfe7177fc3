// SPDX-License-Identifier: GPL-3.0-or-later
// The real programs on a virtual display, driven through whole journeys as a user does.
#include "Journey.h"

#include <QDir>

namespace {

QByteArray LastQuery(const QString& type)
{
    if (type == u"legacy")
        return QByteArrayLiteral("AT+BTINFO?9\r");
    if (type == u"legacy-fast")
        return QByteArrayLiteral("AT+BTINFO?16\r");
    return QByteArrayLiteral("AT+BTINFO?100\r");
}

// Screenshots go beside the test program, for a look when a journey goes astray.
QString ShotPath(const QString& name)
{
    return QDir::current().filePath(u"e2e-"_s + name + u".png"_s);
}

// The settings that differ, as "name: actual != expected" lines.
QString Differences(const QMap<QString, QString>& actual, const QMap<QString, QString>& expected)
{
    QStringList lines;
    QStringList names = actual.keys() + expected.keys();
    names.removeDuplicates();
    for (const QString& name : names)
        if (actual.value(name, u"(none)"_s) != expected.value(name, u"(none)"_s))
            lines << name + u": "_s + actual.value(name, u"(none)"_s) + u" != "_s + expected.value(name, u"(none)"_s);
    return lines.join(u'\n');
}

} // namespace

class TestEndToEnd : public QObject
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

    void moduleHoldsExactlyTheEditsAfterWriteAndReconnect_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("initAtEnd");
        QTest::newRow("current") << u"current"_s << true;
        QTest::newRow("legacy-fast") << u"legacy-fast"_s << false;
        QTest::newRow("legacy") << u"legacy"_s << false;
    }

    void moduleHoldsExactlyTheEditsAfterWriteAndReconnect()
    {
        QFETCH(QString, type);
        QFETCH(bool, initAtEnd);
        TSimProcess sim;
        QVERIFY(sim.Start({u"--type="_s + type}));
        const QMap<QString, QString> factory = sim.State();
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};

        QVERIFY(user.Open());
        QVERIFY(user.Read(LastQuery(type)));
        for (int page = 0; page < 6; ++page)
            QVERIFY(user.OpenPage(page));
        QVERIFY(user.OpenPage(1));
        if (type == u"current")
            m_desktop.Screenshot(ShotPath(u"bluetooth-page"_s));
        QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(0), u"e2e unit"_s));
        QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(6), u"42"_s));
        QVERIFY(user.OpenPage(2));
        QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(2), u"4321"_s));
        QVERIFY(user.OpenPage(3));
        QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(2), u"2b"_s));
        QVERIFY(user.Write());

        QMap<QString, QString> expected = factory;
        expected[u"DeviceName"_s] = u"E2E UNIT"_s;
        expected[u"LinkTimeout"_s] = u"42"_s;
        expected[u"PinCode"_s] = u"4321"_s;
        expected[u"EscapeChar"_s] = u"2B"_s;
        // The model allows one device only: opening the multi-connection page sets
        // the buffer size to 0, and WRITE sends it.
        expected[u"RxBufferSize"_s] = u"0"_s;
        QVERIFY2(sim.State() == expected, qPrintable(Differences(sim.State(), expected)));

        // Reconnected and read again, nothing moves.
        QVERIFY(user.Open());
        QVERIFY(user.Read(LastQuery(type)));
        QVERIFY(user.OpenPage(0));
        if (type == u"current")
            m_desktop.Screenshot(ShotPath(u"overview-after-write"_s));
        QVERIFY2(sim.State() == expected, qPrintable(Differences(sim.State(), expected)));

        QVERIFY(program.HoldsPort(sim.Device));
        const qsizetype restarts = sim.CountSent(QByteArrayLiteral("ATZ\r"));
        if (initAtEnd) {
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Init)));
            QVERIFY(m_desktop.Click(m_desktop.WaitWindow(Caption::InitQuestion), {5 + 80, 73 + 10}));
            QVERIFY(sim.WaitSent(QByteArrayLiteral("AT&F\r")));
            QTRY_COMPARE_WITH_TIMEOUT(sim.State(), factory, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!program.HoldsPort(sim.Device), 5000);
        }
        QVERIFY(user.Exit());
        QVERIFY(program.EndedCleanly());
        // The restart goes out only while the port is open: INIT has closed it.
        QCOMPARE(sim.CountSent(QByteArrayLiteral("ATZ\r")), restarts + (initAtEnd ? 0 : 1));
    }

    // The window manager's close request (the title bar's close button, wmctrl -c,
    // Alt+F4) while READ or WRITE runs does nothing: no question, the exchange
    // ends whole, the program runs on. Once it has ended, the same request asks
    // the exit question again.
    void closeRequestWaitsForReadAndWrite()
    {
        TSimProcess sim;
        // Slow answers: a read takes some 3 s, a write some 4 s.
        QVERIFY(sim.Start({u"--answer-delay=150"_s}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};
        const QByteArray last = LastQuery(u"current"_s);
        const auto noQuestionFor = [this](int ms) { return m_desktop.WaitWindow(Caption::ExitQuestion, ms).isEmpty(); };
        QVERIFY(user.Open());

        // READ, and the close button of the title bar pressed half-way.
        QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Read)));
        QVERIFY(sim.WaitSent(QByteArrayLiteral("AT+BTINFO?3\r")));
        QVERIFY(m_desktop.ClickCloseButton(program.Main));
        QVERIFY(noQuestionFor(800));
        m_desktop.Screenshot(ShotPath(u"close-during-read"_s));
        QVERIFY(sim.WaitSent(last) && m_desktop.WaitGone(Caption::Reading));
        QVERIFY(noQuestionFor(800));
        QVERIFY(program.Running());
        QCOMPARE(sim.CountSent(QByteArrayLiteral("ATZ\r")), 0);
        TJourney::Settle(1500);

        // The read has ended: the request asks, and CANCEL keeps everything.
        QVERIFY(m_desktop.CloseByManager(program.Main));
        const QString question = m_desktop.WaitWindow(Caption::ExitQuestion);
        QVERIFY(!question.isEmpty());
        m_desktop.Screenshot(ShotPath(u"close-after-read"_s));
        QVERIFY(m_desktop.Click(question, {140 + 65, 95 + 10}));
        QVERIFY(m_desktop.WaitGone(Caption::ExitQuestion));

        // WRITE of an edit, with wmctrl -c and Alt+F4 half-way.
        QVERIFY(user.OpenPage(1));
        QVERIFY(m_desktop.Retype(program.Main, Place::PageRow(0), u"closed late"_s));
        QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Write)));
        QVERIFY(m_desktop.Click(m_desktop.WaitWindow(Caption::WriteQuestion), {5 + 61, 96 + 10}));
        QVERIFY(sim.WaitSent(QByteArrayLiteral("AT+BTKEY=")));
        QVERIFY(m_desktop.CloseByManager(program.Main));
        QVERIFY(m_desktop.RequestClose(program.Main));
        QVERIFY(noQuestionFor(800));
        QVERIFY(sim.WaitSent(QByteArrayLiteral("ATZ\r")));
        TJourney::Settle(600);
        QVERIFY(noQuestionFor(800));
        QVERIFY(program.Running());
        // Every write command went out, then the one restart.
        const QByteArray sent = sim.Bytes(true);
        QVERIFY(sent.contains("AT+BTHFC,"));
        QVERIFY(sent.endsWith("AT+BTHFC,1\rATZ\r") || sent.endsWith("AT+BTHFC,0\rATZ\r"));
        QCOMPARE(sim.CountSent(QByteArrayLiteral("ATZ\r")), 1);
        QCOMPARE(sim.State().value(u"DeviceName"_s), u"CLOSED LATE"_s);

        // The write has ended: the request asks, and EXIT ends the program.
        QVERIFY(m_desktop.ClickCloseButton(program.Main));
        QVERIFY(user.ConfirmExit());
        QVERIFY(program.WaitEnd(10000));
        QVERIFY(program.EndedCleanly());
    }

    // The one error dialog, shown twice: both times its frame sits centred over
    // the main window's frame, once the window manager has decorated it.
    void errorDialogIsCentredOnEveryShowing()
    {
        TSimProcess sim;
        QVERIFY(sim.Start({}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        const std::optional<QRect> main = m_desktop.Frame(program.Main);
        QVERIFY(main && main->width() > 560);
        for (int showing = 1; showing <= 2; ++showing) {
            // OPEN with the debug character erased.
            QVERIFY(m_desktop.Click(program.Main, Place::Toolbar(Place::Open)));
            const QString serial = m_desktop.WaitWindow(Caption::Serial);
            QVERIFY(m_desktop.Click(serial, {8 + 27 + 10, 5 + 20 + 10}) && m_desktop.Key(u"ctrl+a"_s) &&
                    m_desktop.Key(u"BackSpace"_s));
            QVERIFY(m_desktop.Click(serial, {8 + 39, 196 + 11}));
            const QString error = m_desktop.WaitWindow(Caption::Error);
            QVERIFY(!error.isEmpty());
            std::optional<QRect> frame;
            const auto centred = [&] {
                frame = m_desktop.Frame(error);
                return frame && frame->height() > 141 &&
                       frame->topLeft() == QPoint(main->left() + main->width() / 2 - frame->width() / 2,
                                                  main->top() + main->height() / 2 - frame->height() / 2);
            };
            QTest::qWait(300);
            QVERIFY2(QTest::qWaitFor(centred, 3000),
                     qPrintable(u"showing %1: frame at %2,%3 over a main window at %4,%5"_s.arg(showing)
                                    .arg(frame ? frame->x() : -1).arg(frame ? frame->y() : -1)
                                    .arg(main->x()).arg(main->y())));
            m_desktop.Screenshot(ShotPath(u"error-dialog-"_s + QString::number(showing)));
            QVERIFY(m_desktop.Click(error, {288 + 62, 115 + 10}));
            QVERIFY(m_desktop.WaitGone(Caption::Error));
        }
        QCOMPARE(sim.CountSent(QByteArrayLiteral("\r")), 0);
    }

    void unnamedModuleIsReadAfterTheUserPicksItsProduct()
    {
        TSimProcess sim;
        QVERIFY(sim.Start({u"--no-model"_s}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};

        QVERIFY(user.Open(false));
        const QString selection = m_desktop.WaitWindow(Caption::Product);
        QVERIFY(!selection.isEmpty());
        QCOMPARE(sim.CountSent(QByteArrayLiteral("AT+BTINFO?0\r")), 0);
        QVERIFY(m_desktop.Pick(selection, {97 + 50, 27 + 10}, u"QN7101"_s));
        m_desktop.Screenshot(ShotPath(u"product-selection"_s));
        QVERIFY(m_desktop.Click(selection, {8 + 49, 55 + 10}));
        QVERIFY(m_desktop.WaitGone(Caption::Product));
        TJourney::Settle(300);
        // READ is only enabled once a product is chosen.
        QVERIFY(user.Read(QByteArrayLiteral("AT+BTINFO?100\r")));
        QVERIFY(sim.CountSent(QByteArrayLiteral("AT+BTINFO?0\r")) == 1);
        QVERIFY(user.Exit());
        QVERIFY(program.EndedCleanly());
    }

    void searchResultInsertedAsRemoteAddressReachesTheModule()
    {
        TSimProcess sim;
        // A model whose role may be changed whatever the connection mode.
        QVERIFY(sim.Start({u"--model=QN9300"_s, u"--device=0A1B2C3D4E5F,E2E PEER,001F00"_s, u"--inquiry-pace=100"_s}));
        TProgram program(m_desktop);
        QVERIFY(program.Start());
        TJourney user{m_desktop, program, sim};
        const QByteArray last = LastQuery(u"current"_s);

        // The module searches only in the MASTER role: set it first.
        QVERIFY(user.Open());
        QVERIFY(user.Read(last));
        QVERIFY(user.OpenPage(1));
        QVERIFY(m_desktop.Pick(program.Main, Place::PageRow(1), u"MASTER"_s));
        QVERIFY(user.Write());
        QCOMPARE(sim.State().value(u"Role"_s), u"MASTER"_s);

        QVERIFY(user.Open());
        QVERIFY(user.Read(last));
        QVERIFY(user.OpenPage(1));
        QVERIFY(m_desktop.Click(program.Main, Place::PageRow(2, 38, 190 + 126)));
        const QString search = m_desktop.WaitWindow(Caption::Search);
        QVERIFY(!search.isEmpty());
        QVERIFY(m_desktop.Click(search, {5 + 150, 5 + 13}));
        QVERIFY(sim.WaitSent(QByteArrayLiteral("AT+BTINQ?\r")));
        QTRY_VERIFY_WITH_TIMEOUT(sim.Bytes(false).endsWith("\r\n0A1B2C3D4E5F,E2E PEER,001F00\r\n\r\nOK\r\n"), 5000);
        TJourney::Settle(500);
        QVERIFY(m_desktop.Click(search, {5 + 150, 36 + 24}));
        m_desktop.Screenshot(ShotPath(u"search-result"_s));
        QVERIFY(m_desktop.Click(search, {5 + 74, 209 + 12}));
        QVERIFY(m_desktop.WaitGone(Caption::Search));
        QVERIFY(user.Write());
        QCOMPARE(sim.State().value(u"RemoteBDAddr"_s), u"0A1B2C3D4E5F"_s);
        QCOMPARE(sim.State().value(u"Role"_s), u"MASTER"_s);

        QVERIFY(user.Exit());
        QVERIFY(program.EndedCleanly());
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
