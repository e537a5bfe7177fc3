// SPDX-License-Identifier: GPL-3.0-or-later
// The line settings that the serial port dialog's texts (and radioset-cli's options) give.
#include "FakeSerialDevice.h"
#include "LineSettings.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The faults of a reading as words, in a fixed order: "speed parity".
QString FaultWords(const TLineTextFaults& f)
{
    QStringList words;
    if (f.Speed)
        words << u"speed"_s;
    if (f.Parity)
        words << u"parity"_s;
    if (f.StopBits)
        words << u"stop"_s;
    if (f.DebugCharEmpty)
        words << u"debug-empty"_s;
    if (f.DebugChar)
        words << u"debug"_s;
    return words.join(u' ');
}

} // namespace

class TestLineSettings : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the four texts, the settings they give and the texts refused
    // (whose settings keep the dialog's defaults: 9600, None, 1, 1E).
    void textsGiveTheirSettings_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("debugChar");
        QTest::addColumn<int>("wantSpeed");
        QTest::addColumn<int>("wantParity");
        QTest::addColumn<int>("wantStop");
        QTest::addColumn<int>("wantDebugChar");
        QTest::addColumn<QString>("faults");

        QTest::newRow("the dialog's defaults") << u"9600"_s << u"None"_s << u"1"_s << u"1E"_s
                                               << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E << QString();
        QTest::newRow("fastest of the list") << u"230400"_s << u"Even"_s << u"2"_s << u"00"_s
                                             << 230400 << int(prEven) << int(sbTwoStopBits) << 0 << QString();
        QTest::newRow("a named speed, words in any case")
            << u"115200"_s << u"odd"_s << u"1.5"_s << u"ff"_s << 115200 << int(prOdd) << int(sbOne5StopBits) << 0xFF
            << QString();
        QTest::newRow("one digit") << u"1200"_s << u"SPACE"_s << u"1"_s << u"5"_s
                                   << 1200 << int(prSpace) << int(sbOneStopBit) << 5 << QString();
        QTest::newRow("unknown texts keep the defaults")
            << u"12"_s << u"bogus"_s << u"3"_s << u"1E"_s << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E
            << u"speed parity stop"_s;
        QTest::newRow("a speed the port does not name") << u"460800"_s << u"None"_s << u"1"_s << u"1E"_s
                                                        << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E
                                                        << u"speed"_s;
        QTest::newRow("the word Custom is no speed") << u"Custom"_s << u"None"_s << u"1"_s << u"1E"_s
                                                     << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E
                                                     << u"speed"_s;
        QTest::newRow("empty debug character") << u"9600"_s << u"None"_s << u"1"_s << QString()
                                               << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E
                                               << u"debug-empty"_s;
        QTest::newRow("not hexadecimal") << u"9600"_s << u"None"_s << u"1"_s << u"G1"_s
                                         << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E << u"debug"_s;
        // One byte is two digits: a longer text is refused, not cut to its last byte.
        QTest::newRow("three digits") << u"9600"_s << u"None"_s << u"1"_s << u"11E"_s
                                      << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E << u"debug"_s;
        QTest::newRow("full-width digit") << u"9600"_s << u"None"_s << u"1"_s << u"1\uFF15"_s
                                          << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E << u"debug"_s;
        QTest::newRow("space before a digit") << u"9600"_s << u"None"_s << u"1"_s << u" 1"_s
                                              << 9600 << int(prNone) << int(sbOneStopBit) << 0x1E << u"debug"_s;
    }

    void textsGiveTheirSettings()
    {
        QFETCH(QString, speed);
        QFETCH(QString, parity);
        QFETCH(QString, stop);
        QFETCH(QString, debugChar);
        QFETCH(int, wantSpeed);
        QFETCH(int, wantParity);
        QFETCH(int, wantStop);
        QFETCH(int, wantDebugChar);
        QFETCH(QString, faults);

        const TLineReading r = ReadLineTexts({speed, parity, stop, debugChar});
        QCOMPARE(FaultWords(r.Faults), faults);
        QCOMPARE(r.Faults.Any(), !faults.isEmpty());
        QCOMPARE(r.Settings.Speed, wantSpeed);
        QCOMPARE(int(r.Settings.Parity), wantParity);
        QCOMPARE(int(r.Settings.StopBits), wantStop);
        QCOMPARE(int(r.Settings.DebugChar), wantDebugChar);
    }

    // A speed the port names is set by its name; 230400 as the custom speed.
    void settingsReachThePort_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("customBaudRate");
        QTest::newRow("9600") << 9600 << int(br9600) << 9600;
        QTest::newRow("115200") << 115200 << int(br115200) << 9600;
        QTest::newRow("230400") << 230400 << int(brCustom) << 230400;
    }

    void settingsReachThePort()
    {
        QFETCH(int, speed);
        QFETCH(int, baudRate);
        QFETCH(int, customBaudRate);
        TComPort port(std::make_unique<FakeSerialDevice>());
        port.SetDataBits(dbSeven);
        ApplyLineSettings(port, {speed, prEven, sbTwoStopBits, 0x1E});
        QCOMPARE(int(port.BaudRate()), baudRate);
        QCOMPARE(port.CustomBaudRate(), customBaudRate);
        QCOMPARE(port.LineSettings().Speed, speed);
        QCOMPARE(port.Parity().Bits, prEven);
        QCOMPARE(port.StopBits(), sbTwoStopBits);
        QCOMPARE(port.DataBits(), dbEight);
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
