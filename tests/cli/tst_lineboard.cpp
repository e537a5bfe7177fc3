// SPDX-License-Identifier: GPL-3.0-or-later
// What a production line shows: a wide line per unit and a status line on a
// terminal, with a bell on FAIL; plain lines led by the port elsewhere; the
// summary and the exit status.

#include "LineBoard.h"

#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

TUnitRecord Unit(qint64 n, bool passed, const char* error = "")
{
    TUnitRecord r;
    r.Unit = n;
    r.Passed = passed;
    r.Error = QString::fromLatin1(error);
    r.DurationMs = 2345;
    if (passed) {
        TModuleInfo module;
        module.LocalAddress = "00A0C1D2E3F4";
        r.Module = module;
    }
    return r;
}

// Everything a board printed.
struct TCapture
{
    TCapture() { File = open_memstream(&Buffer, &Size); }
    ~TCapture() { std::free(Buffer); }
    QByteArray Text()
    {
        std::fflush(File);
        return QByteArray(Buffer, qsizetype(Size));
    }
    QByteArray Close()
    {
        std::fclose(File);
        return QByteArray(Buffer, qsizetype(Size));
    }

    char* Buffer = nullptr;
    size_t Size = 0;
    std::FILE* File = nullptr;
};

} // namespace

class TestLineBoard : public QObject
{
    Q_OBJECT

private slots:
    void linesSayUnitPortAddressResultAndTime()
    {
        QCOMPARE(UnitBoardLine(Unit(42, true), QStringLiteral("ttyUSB0")),
                 QStringLiteral("  UNIT 42        ttyUSB0         00A0C1D2E3F4    PASS    2.3 s"));
        // The speed the module answered at, once it has.
        TUnitRecord fast = Unit(44, true);
        fast.Speed = 115200;
        QCOMPARE(UnitBoardLine(fast, QStringLiteral("ttyUSB0")),
                 QStringLiteral("  UNIT 44        ttyUSB0         00A0C1D2E3F4    PASS    2.3 s at 115200 Bd"));
        QCOMPARE(UnitPlainLine(fast, QStringLiteral("ttyUSB0")),
                 QStringLiteral("ttyUSB0: unit 44 PASS 00A0C1D2E3F4 2.3 s at 115200 Bd"));
        QCOMPARE(UnitPlainLine(Unit(42, true), QStringLiteral("ttyUSB0")),
                 QStringLiteral("ttyUSB0: unit 42 PASS 00A0C1D2E3F4 2.3 s"));
        QCOMPARE(UnitPlainLine(Unit(43, false, "SERIAL PORT DISAPPEARED: ttyUSB1"), QStringLiteral("ttyUSB1")),
                 QStringLiteral("ttyUSB1: unit 43 FAIL ------------ 2.3 s: SERIAL PORT DISAPPEARED: ttyUSB1"));
        const TLineCounts counts{12, 11, 1, 2, 105.0};
        QCOMPARE(LineStatus(counts), QStringLiteral("units 12 | passed 11 | failed 1 | in progress 2 | 411 units/h"));
        QCOMPARE(LineSummary(counts), QStringLiteral("12 units, 11 passed, 1 failed, 411 units per hour"));
        QCOMPARE(LineExitStatus(counts), 1);
        QCOMPARE(LineExitStatus(TLineCounts{12, 12, 0, 0, 105.0}), 0);
        QCOMPARE(LineExitStatus(TLineCounts{}), 0);
    }

    void aTerminalRingsOnFailAndKeepsTheStatusAtTheBottom()
    {
        TCapture capture;
        TLineBoard board(capture.File, true);
        board.Status(TLineCounts{0, 0, 0, 1, 1.0});
        board.UnitEnded(Unit(1, true), QStringLiteral("ttyUSB0"), TLineCounts{1, 1, 0, 0, 10.0});
        QByteArray text = capture.Text();
        QVERIFY(!text.contains('\a'));
        board.UnitEnded(Unit(2, false, "CONNECTING ERROR: no answer"), QStringLiteral("ttyUSB0"),
                        TLineCounts{2, 1, 1, 0, 20.0});
        text = capture.Text();
        QCOMPARE(text.count('\a'), 1);
        QVERIFY(text.contains("\n        CONNECTING ERROR: no answer\n"));
        // The status line is last, redrawn in place, after every unit line.
        QVERIFY(text.endsWith("\r\033[Kunits 2 | passed 1 | failed 1 | in progress 0 | 360 units/h"));
        // A notice (on standard error) first moves the status line out of its way, then draws it again.
        const qsizetype before = text.size();
        board.Notice(QStringLiteral("radioset-cli: interrupted"), TLineCounts{2, 1, 1, 0, 20.0});
        QCOMPARE(capture.Text().mid(before),
                 QByteArray("\r\033[K\r\033[Kunits 2 | passed 1 | failed 1 | in progress 0 | 360 units/h"));
        board.Finish(TLineCounts{2, 1, 1, 0, 20.0});
        QVERIFY(capture.Close().endsWith("\r\033[K2 units, 1 passed, 1 failed, 360 units per hour\n"));
    }

    void elsewherePlainLinesOnly()
    {
        TCapture capture;
        TLineBoard board(capture.File, false);
        board.Status(TLineCounts{0, 0, 0, 1, 1.0});
        board.UnitEnded(Unit(1, true), QStringLiteral("ttyUSB0"), TLineCounts{1, 1, 0, 0, 10.0});
        board.UnitEnded(Unit(2, false, "CONNECTING ERROR: no answer"), QStringLiteral("pts/3"),
                        TLineCounts{2, 1, 1, 0, 20.0});
        board.Finish(TLineCounts{2, 1, 1, 0, 20.0});
        QCOMPARE(capture.Close(), QByteArray("ttyUSB0: unit 1 PASS 00A0C1D2E3F4 2.3 s\n"
                                             "pts/3: unit 2 FAIL ------------ 2.3 s: CONNECTING ERROR: no answer\n"
                                             "2 units, 1 passed, 1 failed, 360 units per hour\n"));
    }
};

QTEST_GUILESS_MAIN(TestLineBoard)
#include "tst_lineboard.moc"
