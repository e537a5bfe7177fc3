// SPDX-License-Identifier: GPL-3.0-or-later
// The field table: every rule by section and caption, and the rules' decisions.
#include "FieldRules.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A module as the virtual one starts: every field holding a value the pages accept.
void FillModule(TParameters& p, const QByteArray& model = "QN7101")
{
    p.Clear();
    p.Bluetooth.DeviceName = "RADIO-1";
    p.Bluetooth.Role = 1;
    p.Bluetooth.RemoteBDAddr = "001122334455";
    p.Bluetooth.InquiryAccessCodeFirst = "9E8B";
    p.Bluetooth.InquiryAccessCodeSecond = "33";
    p.Bluetooth.ClassOfDevice = "001F00";
    p.Bluetooth.LinkTimeout = 20;
    p.Bluetooth.ServiceName = "SPP SERVICE";
    p.Security.PinCode = "1234";
    p.System.ConnectionMode = 0;
    p.System.EscapeChar = "2B";
    p.System.DebugChar = "1E";
    p.System.ConnectionDelayTime = 50;
    p.Uart.BaudRate = "9600";
    p.Uart.ParityBit = "None";
    p.Uart.StopBit = "1";
    p.MultiComm.OperationMode = 1;
    p.MultiComm.NumberOfDevice = 3;
    p.MultiComm.RxBufferSize = 100;
    p.Local.ModelName = model;
}

TFieldId Id(const QByteArray& section, const QByteArray& caption)
{
    const TFieldRule* rule = FindFieldRule(section, caption);
    return rule ? rule->Id : TFieldId::DeviceName;
}

} // namespace

class TestFieldRules : public QObject
{
    Q_OBJECT

private slots:
    void everyRuleIsFoundByItsSectionAndCaption()
    {
        QCOMPARE(FieldRules().size(), FieldCount);
        for (int i = 0; i < FieldCount; ++i) {
            const TFieldRule& rule = FieldRules().at(i);
            QCOMPARE(int(rule.Id), i);
            const TFieldRule* found = FindFieldRule(QByteArray(rule.Section).toLower(), rule.Caption);
            QVERIFY(found == &rule);
            QVERIFY(ProfileSections().contains(QString::fromLatin1(rule.Section)));
            // Every value a module may hold goes out and comes back through the rules.
        }
        QVERIFY(!FindFieldRule("BLUETOOTH", "PIN CODE"));
    }

    // A value equal to what the module holds always passes; a changed one is
    // checked; every other field keeps what was read.
    void applySettings_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<int>("type");
        QTest::addColumn<QList<QByteArray>>("changes"); // "SECTION.KEY=VALUE"
        QTest::addColumn<QString>("error");             // part of the first error's text, empty when none
        QTest::addColumn<QByteArray>("checkKey");       // a setting to look at afterwards
        QTest::addColumn<QByteArray>("checkValue");     // its shown value in the working copy

        const int current = int(TModuleType::Current);
        const int legacy = int(TModuleType::Legacy);
        using L = QList<QByteArray>;
        QTest::newRow("name") << QByteArray("X") << current << L{"BLUETOOTH.DEVICE NAME=sensor-7"} << QString()
                              << QByteArray("BLUETOOTH.DEVICE NAME") << QByteArray("SENSOR-7");
        QTest::newRow("name too long") << QByteArray("X") << current << L{"BLUETOOTH.DEVICE NAME=ABCDEFGHIJKLM"}
                                       << u"longer than 12"_s << QByteArray("BLUETOOTH.DEVICE NAME")
                                       << QByteArray("RADIO-1");
        QTest::newRow("name empty") << QByteArray("X") << current << L{"BLUETOOTH.DEVICE NAME="}
                                    << u"Parameter(Device Name) is empty."_s << QByteArray() << QByteArray();
        QTest::newRow("address short") << QByteArray("X") << current << L{"BLUETOOTH.REMOTE BD ADDRESS=00112233445"}
                                       << u"not enougth"_s << QByteArray() << QByteArray();
        QTest::newRow("address not hex") << QByteArray("X") << current
                                         << L{"BLUETOOTH.REMOTE BD ADDRESS=00112233445G"} << u"hex digits"_s
                                         << QByteArray() << QByteArray();
        QTest::newRow("access code top") << QByteArray("X") << current << L{"BLUETOOTH.INQUIRY ACCESS CODE=3f"}
                                         << QString() << QByteArray("BLUETOOTH.INQUIRY ACCESS CODE")
                                         << QByteArray("3F");
        QTest::newRow("access code over") << QByteArray("X") << current << L{"BLUETOOTH.INQUIRY ACCESS CODE=40"}
                                          << u"out of range"_s << QByteArray() << QByteArray();
        QTest::newRow("timeout not decimal") << QByteArray("X") << current
                                             << L{"BLUETOOTH.LINK SUPERVISION TIMEOUT=1A"} << u"decimal digits"_s
                                             << QByteArray() << QByteArray();
        QTest::newRow("list item any case") << QByteArray("X") << current << L{"UART.PARITY BIT=even"} << QString()
                                            << QByteArray("UART.PARITY BIT") << QByteArray("Even");
        QTest::newRow("list item unknown") << QByteArray("X") << current << L{"UART.BAUDRATE=300"} << u"not one of"_s
                                           << QByteArray() << QByteArray();
        QTest::newRow("SSP on current") << QByteArray("X") << current << L{"SECURITY.AUTHENTICATION=SSP"}
                                        << QString() << QByteArray("SECURITY.AUTHENTICATION") << QByteArray("SSP");
        QTest::newRow("SSP on legacy") << QByteArray("X") << legacy << L{"SECURITY.AUTHENTICATION=SSP"}
                                       << u"not one of"_s << QByteArray() << QByteArray();
        QTest::newRow("legacy lacks class of device")
            << QByteArray("X") << legacy << L{"BLUETOOTH.CLASS OF DEVICE=ZZ"} << QString()
            << QByteArray("BLUETOOTH.CLASS OF DEVICE") << QByteArray("001F00");
        QTest::newRow("role of QN7101 outside MODE 4")
            << QByteArray("QN7101") << current << L{"BLUETOOTH.ROLE=MASTER"} << u"MODE 4"_s << QByteArray()
            << QByteArray();
        QTest::newRow("baud of QN7x01 outside MODE 4")
            << QByteArray("QN7x01") << current << L{"UART.BAUDRATE=19200"} << u"MODE 4"_s << QByteArray()
            << QByteArray();
        QTest::newRow("role of QN7101 with MODE 4")
            << QByteArray("QN7101") << current << L{"SYSTEM.CONNECTION MODE=MODE 4", "BLUETOOTH.ROLE=MASTER"}
            << QString() << QByteArray("BLUETOOTH.ROLE") << QByteArray("MASTER");
        QTest::newRow("role of another model") << QByteArray("QN9000") << current << L{"BLUETOOTH.ROLE=MASTER"}
                                               << QString() << QByteArray("BLUETOOTH.ROLE") << QByteArray("MASTER");
        QTest::newRow("unchanged role of QN7101") << QByteArray("QN7101") << current << L{"BLUETOOTH.ROLE=SLAVE"}
                                                  << QString() << QByteArray("BLUETOOTH.ROLE") << QByteArray("SLAVE");
        QTest::newRow("MODE 0 forces one device")
            << QByteArray("X") << current << L{"MULTI-CONNECTION.OPERATION MODE=MODE 0"} << QString()
            << QByteArray("MULTI-CONNECTION.RX BUFFER SIZE") << QByteArray("0");
        QTest::newRow("MODE 0 with three devices")
            << QByteArray("X") << current
            << L{"MULTI-CONNECTION.OPERATION MODE=MODE 0", "MULTI-CONNECTION.NUMBER OF DEVICE=3"} << u"single connection"_s
            << QByteArray() << QByteArray();
        QTest::newRow("devices beyond the list") << QByteArray("X") << current
                                                 << L{"MULTI-CONNECTION.NUMBER OF DEVICE=8"} << u"not one of"_s
                                                 << QByteArray() << QByteArray();
    }

    void applySettings()
    {
        QFETCH(QByteArray, model);
        QFETCH(int, type);
        QFETCH(QList<QByteArray>, changes);
        QFETCH(QString, error);
        QFETCH(QByteArray, checkKey);
        QFETCH(QByteArray, checkValue);

        TParameters read;
        FillModule(read, model);
        QList<TSettingChange> list;
        for (const QByteArray& change : changes) {
            const qsizetype dot = change.indexOf('.');
            const qsizetype eq = change.indexOf('=');
            const QByteArray section = change.left(dot);
            const QByteArray key = change.mid(dot + 1, eq - dot - 1);
            QVERIFY2(FindFieldRule(section, key), change.constData());
            list.append({Id(section, key), change.mid(eq + 1)});
        }
        TParameters edit;
        const TApplyResult result = ApplySettings(list, read, edit, {TModuleType(type), model, {}, {}});
        if (error.isEmpty()) {
            QVERIFY2(result.Ok(), qPrintable(result.Errors.value(0).Text));
        } else {
            QVERIFY(!result.Ok());
            QVERIFY2(result.Errors.first().Text.contains(error), qPrintable(result.Errors.first().Text));
        }
        if (!checkKey.isEmpty()) {
            const qsizetype dot = checkKey.indexOf('.');
            QCOMPARE(ShownValue(Id(checkKey.left(dot), checkKey.mid(dot + 1)), edit), checkValue);
        }
        // Whatever the profile did not name is what was read.
        QCOMPARE(edit.Security.PinCode, read.Security.PinCode);
        QCOMPARE(edit.Local.ModelName, read.Local.ModelName);
        QCOMPARE(edit.System.DebugChar, read.System.DebugChar);
    }

    // What a module holds comes back unchanged, whatever the pages would let a
    // person type: an over-long name, a list choice the list lacks.
    void heldValuesAlwaysPass()
    {
        TParameters read;
        FillModule(read);
        read.Bluetooth.DeviceName = "A NAME LONGER THAN TWELVE";
        read.Security.Auth = 5;
        read.Uart.BaudRate = "921600";
        read.MultiComm.OperationMode = 0;
        read.MultiComm.NumberOfDevice = 4;
        QList<TSettingChange> all;
        for (const TFieldRule& rule : FieldRules())
            all.append({rule.Id, ShownValue(rule.Id, read)});
        TParameters edit;
        const TApplyResult result = ApplySettings(all, read, edit, {TModuleType::Current, "QN7101", 1, 1});
        QVERIFY2(result.Ok(), qPrintable(result.Errors.value(0).Text));
        for (const TFieldRule& rule : FieldRules())
            QCOMPARE(ShownValue(rule.Id, edit), ShownValue(rule.Id, read));
        QCOMPARE(edit.MultiComm.NumberOfDevice, 4);
    }

    void productListChoices()
    {
        QCOMPARE(OperationModeItems(3), (QStringList{u"MODE 0"_s, u"MODE 1"_s, u"MODE 2"_s}));
        QCOMPARE(OperationModeItems(0), QStringList{u"MODE 0"_s});
        QCOMPARE(NumberOfDeviceItems(1), QStringList{u"1"_s});
        QCOMPARE(ProductChoiceCount("4"), std::optional<int>(4));
        QCOMPARE(ProductChoiceCount("4x"), std::optional<int>());
        QCOMPARE(ProductChoiceCount(QByteArray::number(MaxProductChoices + 1)), std::optional<int>());
        TParameters read;
        FillModule(read);
        TParameters edit;
        const TApplyResult result = ApplySettings({{TFieldId::OperationMode, "MODE 2"}}, read, edit,
                                                  {TModuleType::Current, "X", 2, 7});
        QVERIFY(!result.Ok());
    }
};

QTEST_GUILESS_MAIN(TestFieldRules)
#include "tst_fieldrules.moc"
