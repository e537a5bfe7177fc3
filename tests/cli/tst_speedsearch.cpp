// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a module's line speed: each of the automatic speeds, a module at none
// of them, a module already in its configuration mode, a garbled probe.

#include "SpeedSearch.h"
#include "VirtualModule.h"

#include "../sim/SimClient.h"

#include <QTest>

#include <memory>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(QList<qint32>)

namespace {

struct TSearch
{
    explicit TSearch(radiosim::VirtualModule& module, const QList<qint32>& speeds)
        : Exchange(State, Read, Edit)
    {
        TLineOptions options;
        options.Baud = speeds.value(0, 9600);
        Opened = !Line.Open(QString::fromStdString(module.devicePath()), options);
        if (Opened)
            Result = FindSpeed(Line, Exchange, options, speeds, [this](qint32 baud) { Announced.append(baud); });
        Line.Close();
    }

    TModuleLine Line;
    TSequencerState State;
    TParameters Read, Edit;
    TModuleExchange Exchange;
    bool Opened = false;
    TSpeedSearch Result;
    QList<qint32> Announced;
};

int WakeUps(const radiosim::VirtualModule& module)
{
    int n = 0;
    for (const std::string& command : module.receivedCommands())
        n += command == "<1E>" ? 1 : 0;
    return n;
}

} // namespace

class TestSpeedSearch : public QObject
{
    Q_OBJECT

private slots:
    void speedsAreParsed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qint32>>("speeds");
        QTest::newRow("auto") << QStringLiteral("auto")
                              << QList<qint32>{9600, 115200, 38400, 57600, 19200, 230400, 4800, 2400, 1200};
        QTest::newRow("list") << QStringLiteral("115200,9600") << QList<qint32>{115200, 9600};
        QTest::newRow("blanks") << QStringLiteral("1200, 2400") << QList<qint32>{1200, 2400};
        QTest::newRow("one") << QStringLiteral("230400") << QList<qint32>{230400};
        QTest::newRow("not a speed") << QStringLiteral("9601") << QList<qint32>{};
        QTest::newRow("twice") << QStringLiteral("9600,9600") << QList<qint32>{};
        QTest::newRow("empty") << QString() << QList<qint32>{};
        QTest::newRow("word") << QStringLiteral("fast") << QList<qint32>{};
        QTest::newRow("empty item") << QStringLiteral("9600,") << QList<qint32>{};
    }
    void speedsAreParsed()
    {
        QFETCH(QString, text);
        QFETCH(QList<qint32>, speeds);
        QString error;
        const std::optional<QList<qint32>> parsed = ParseSpeeds(text, &error);
        QCOMPARE(parsed.value_or(QList<qint32>{}), speeds);
        QCOMPARE(error.isEmpty(), !speeds.isEmpty());
    }

    // Nine modules, one at each automatic speed, searched at once.
    void eachAutomaticSpeedIsFound()
    {
        std::vector<std::unique_ptr<radiosim::VirtualModule>> modules;
        for (const qint32 speed : AutoSpeeds()) {
            radiosim::Options o;
            o.uartBaud = speed;
            modules.push_back(std::make_unique<radiosim::VirtualModule>(o));
            QVERIFY(modules.back()->start());
        }
        std::vector<std::unique_ptr<TSearch>> searches(modules.size());
        std::vector<std::thread> threads;
        for (size_t i = 0; i < modules.size(); ++i)
            threads.emplace_back([&, i] { searches[i] = std::make_unique<TSearch>(*modules[i], AutoSpeeds()); });
        for (std::thread& thread : threads)
            thread.join();

        for (size_t i = 0; i < modules.size(); ++i) {
            const qint32 uart = AutoSpeeds().at(qsizetype(i));
            const TSearch& search = *searches[i];
            const QByteArray at = QByteArray::number(uart) + " Bd";
            QVERIFY2(search.Opened, at.constData());
            QVERIFY2(search.Result.Speed == std::optional<qint32>(uart), at.constData());
            QVERIFY2(search.Result.Last.End == TExchangeEnd::Identified, at.constData());
            QCOMPARE(search.Result.Last.Model, QByteArray("QN7201"));
            const QList<qint32> expected = AutoSpeeds().mid(0, qsizetype(i) + 1);
            QCOMPARE(search.Result.Tried, expected);
            QCOMPARE(search.Announced, expected);
            // The wrong speeds never reached it: it was woken once, at its own.
            QVERIFY2(WakeUps(*modules[i]) == 1, at.constData());
        }
    }

    void aModuleAtNoneOfTheSpeedsFailsNamingThem()
    {
        radiosim::Options o;
        o.uartBaud = 14400;
        radiosim::VirtualModule module(o);
        QVERIFY(module.start());
        TSearch search(module, AutoSpeeds());
        QVERIFY(!search.Result.Speed);
        QVERIFY(search.Result.Last.Report);
        QCOMPARE(search.Result.Last.Report->OneLine(),
                 QStringLiteral("CONNECTING ERROR: no answer to the debug character at 9600, 115200, 38400, 57600, "
                                "19200, 230400, 4800, 2400 or 1200 Bd"));
        QCOMPARE(search.Result.Tried, AutoSpeeds());
    }

    // One speed is a plain run: the usual answer limit, the usual report.
    void aSingleSpeedWaitsTheUsualLimit()
    {
        radiosim::Options o;
        o.uartBaud = 19200;
        radiosim::VirtualModule module(o);
        QVERIFY(module.start());
        QElapsedTimer clock;
        clock.start();
        TSearch search(module, {9600});
        QVERIFY(clock.elapsed() >= AnswerLimitMs);
        QVERIFY(search.Result.Last.Report);
        QVERIFY(search.Result.Last.Report->OneLine().startsWith(QStringLiteral("CONNECTING ERROR: Input Debug Char")));
    }

    // An earlier run stopped with the module awake and half a command in its line.
    void aModuleLeftInConfigurationModeIsFound()
    {
        radiosim::Options o;
        o.uartBaud = 38400;
        radiosim::VirtualModule module(o);
        QVERIFY(module.start());
        {
            SimClient earlier(module.devicePath());
            QVERIFY(earlier.setLine(B38400, CS8));
            earlier.send("\x1E");
            QCOMPARE(earlier.answer(), QByteArray("OK"));
            earlier.send("AT+BTNA");
            QVERIFY(module.waitForCommandCount(1, 2000));
            QTest::qWait(50);
        }
        QVERIFY(module.inConfigurationMode());
        TSearch search(module, AutoSpeeds());
        QCOMPARE(search.Result.Speed, std::optional<qint32>(38400));
        QCOMPARE(search.Result.Last.End, TExchangeEnd::Identified);
    }

    // A probe at a wrong speed reached the module garbled and woke it unseen.
    void aModuleWokenByAGarbledProbeIsFound()
    {
        radiosim::Options o;
        o.uartBaud = 1200;
        o.garbledSpeed = 115200;
        radiosim::VirtualModule module(o);
        QVERIFY(module.start());
        TSearch search(module, AutoSpeeds());
        QCOMPARE(search.Result.Speed, std::optional<qint32>(1200));
        QCOMPARE(search.Result.Last.End, TExchangeEnd::Identified);
        QCOMPARE(WakeUps(module), 2);
    }
};

QTEST_GUILESS_MAIN(TestSpeedSearch)
#include "tst_speedsearch.moc"
