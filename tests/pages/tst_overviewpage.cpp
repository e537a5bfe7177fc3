// SPDX-License-Identifier: GPL-3.0-or-later
// The Overview page: every field shown by module type, in its place.
#include "OverviewUnit.h"
#include "PropertyUnit.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

namespace {

enum Module { Current, FastSwitchLegacy, Legacy };

void FillTypical(TParameters& p)
{
    p.Local.ModelName = "QN7201";
    p.Local.BTSpec = "3.0";
    p.Local.LocalBDAddr = "0012A1B2C3D4";
    p.Local.SWVersion = "V1.3.0";
    p.Bluetooth.DeviceName = "RADIO-7201";
    p.Bluetooth.Role = 1;
    p.Bluetooth.RemoteBDAddr = "001122AABBCC";
    p.Bluetooth.InquiryAccessCodeFirst = "9E8B";
    p.Bluetooth.InquiryAccessCodeSecond = "33";
    p.Bluetooth.ClassOfDevice = "001F00";
    p.Bluetooth.PowerSave = 1;
    p.Bluetooth.LinkTimeout = 20;
    p.Bluetooth.SupportProfile = 1;
    p.Bluetooth.ServiceName = "SERIAL PORT";
    p.Security.Auth = 2;
    p.Security.PinCode = "1234";
    p.Security.Encry = 0;
    p.System.StatusMessage = 1;
    p.System.ConnectionMode = 3;
    p.System.EscapeChar = "2B";
    p.System.DebugChar = "1B";
    p.System.ConnectionDelayTime = 300;
    p.System.StreamSwitchingFast = 2;
    p.Uart.BaudRate = "9600";
    p.Uart.ParityBit = "NONE";
    p.Uart.StopBit = "1";
    p.Uart.HWFlowControl = 1;
    p.MultiComm.OperationMode = 0;
    p.MultiComm.NumberOfDevice = 4;
    // RxBufferSize left unset.
}

// Shows what a page built for `module` displays, as the main window prepares it.
struct Shown
{
    TParameters params;
    TOverviewForm page;

    explicit Shown(Module module, qint32 stream = 2)
    {
        FillTypical(params);
        params.System.StreamSwitchingFast = stream;
        page.LegacyDevice = module != Current;
        page.LegacyFastSwitch = module == FastSwitchLegacy;
        page.Params = &params;
        page.LoadFromParams();
    }
};

} // namespace

class TestOverviewPage : public QObject
{
    Q_OBJECT

private slots:
    void labelShowsFieldByModuleType_data()
    {
        QTest::addColumn<int>("module");
        QTest::addColumn<int>("stream");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("expected");

        const auto row = [](const char* name, Module module, int stream, const char* label, const char* expected) {
            QTest::newRow(name) << int(module) << stream << QString::fromLatin1(label) << QString::fromLatin1(expected);
        };
        row("current model", Current, 2, "Overview_ModelName", "QN7201");
        row("current BT version as read", Current, 2, "Overview_BTSpec", "3.0");
        row("current local address", Current, 2, "Overview_LoaclBDAddr", "0012A1B2C3D4");
        row("current version", Current, 2, "Overview_SWVersion", "V1.3.0");
        row("current device name", Current, 2, "Overview_DeviceName", "RADIO-7201");
        row("role 1 is slave", Current, 2, "Overview_Role", "SLAVE");
        row("current remote address", Current, 2, "Overview_RemoteBDAddr", "001122AABBCC");
        row("access code joined", Current, 2, "Overview_InquiryAccessCode", "9E8B33");
        row("current class of device", Current, 2, "Overview_ClassOfDevice", "001F00");
        row("power save 1 enabled", Current, 2, "Overview_PowerSave", "ENABLE");
        row("link timeout decimal", Current, 2, "Overview_LinkTimeout", "20");
        row("profile 1 is DUN", Current, 2, "Overview_SupportProfile", "DUN");
        row("current service name", Current, 2, "Overview_ServiceName", "SERIAL PORT");
        row("auth 2 is enabled", Current, 2, "Overview_Auth", "ENABLE");
        row("pin code", Current, 2, "Overview_PinCode", "1234");
        row("encryption 0 disabled", Current, 2, "Overview_Encry", "DISABLE");
        row("status message 1 enabled", Current, 2, "Overview_StatusMessage", "ENABLE");
        row("connection mode one-based", Current, 2, "Overview_ConnectionMode", "MODE 4");
        row("escape char", Current, 2, "Overview_EscChar", "2B");
        row("debug char", Current, 2, "Overview_DebugChar", "1B");
        row("current delay time", Current, 2, "Overview_ConnectionDelayTime", "300");
        row("stream 2 is disabled", Current, 2, "StreamSwitchingFast", "DISABLE");
        row("stream 1 is enabled", Current, 1, "StreamSwitchingFast", "ENABLE");
        row("baud rate", Current, 2, "Overview_BaudRate", "9600");
        row("parity", Current, 2, "Overview_ParityBit", "NONE");
        row("stop bit", Current, 2, "Overview_StopBit", "1");
        row("current flow control", Current, 2, "Overview_HWFlowControl", "ENABLE");
        row("operation mode zero-based", Current, 2, "Overview_OperationMode", "MODE 0");
        row("number of device", Current, 2, "Overview_NumberOfDevice", "4");
        row("unset number shows 0", Current, 2, "Overview_RxBufferSize", "0");

        row("2.0 BT version fixed", FastSwitchLegacy, 2, "Overview_BTSpec", "2.0");
        row("2.0 access code", FastSwitchLegacy, 2, "Overview_InquiryAccessCode", "Not Support");
        row("2.0 class of device", FastSwitchLegacy, 2, "Overview_ClassOfDevice", "Not Support");
        row("2.0 profile", FastSwitchLegacy, 2, "Overview_SupportProfile", "Not Support");
        row("2.0 service name", FastSwitchLegacy, 2, "Overview_ServiceName", "Not Support");
        row("2.0 delay time", FastSwitchLegacy, 2, "Overview_ConnectionDelayTime", "Not Support");
        row("2.0 flow control", FastSwitchLegacy, 2, "Overview_HWFlowControl", "Not Support");
        row("2.0 stream 1 enabled", FastSwitchLegacy, 1, "StreamSwitchingFast", "ENABLE");
        row("2.0 stream 2 disabled", FastSwitchLegacy, 2, "StreamSwitchingFast", "DISABLE");
        row("2.0 device name as is", FastSwitchLegacy, 2, "Overview_DeviceName", "RADIO-7201");

        row("ERROR BT version fixed", Legacy, 2, "Overview_BTSpec", "2.0");
        row("ERROR access code", Legacy, 2, "Overview_InquiryAccessCode", "Not Support");
        row("ERROR class of device", Legacy, 2, "Overview_ClassOfDevice", "Not Support");
        row("ERROR profile", Legacy, 2, "Overview_SupportProfile", "Not Support");
        row("ERROR service name", Legacy, 2, "Overview_ServiceName", "Not Support");
        row("ERROR delay time", Legacy, 2, "Overview_ConnectionDelayTime", "Not Support");
        row("ERROR flow control", Legacy, 2, "Overview_HWFlowControl", "Not Support");
        row("ERROR stream", Legacy, 1, "StreamSwitchingFast", "Not Support");
        row("ERROR pin code as is", Legacy, 2, "Overview_PinCode", "1234");
    }

    void labelShowsFieldByModuleType()
    {
        QFETCH(int, module);
        QFETCH(int, stream);
        QFETCH(QString, label);
        QFETCH(QString, expected);

        Shown shown{Module(module), stream};
        auto* value = shown.page.findChild<QLabel*>(label);
        QVERIFY2(value, qPrintable(label));
        QCOMPARE(value->text(), expected);
    }

    void emptyTextFieldShowsEmptyLabel()
    {
        Shown shown(Current);
        shown.params.Security.PinCode.clear();
        shown.page.LoadFromParams();
        QCOMPARE(shown.page.Overview_PinCode->text(), QString());
    }

    void pageHasSixGroupsAndTwentyNineValues()
    {
        TOverviewForm page;
        QStringList headings;
        for (auto* group : page.findChildren<QGroupBox*>())
            headings << group->title();
        QCOMPARE(headings, (QStringList{QStringLiteral("LOCAL PARAMETERS"), QStringLiteral("BLUETOOTH PARAMETERS"),
                                        QStringLiteral("SECURITY PARAMETERS"), QStringLiteral("SYSTEM PARAMETERS"),
                                        QStringLiteral("UART PARAMETERS"),
                                        QStringLiteral("1:N COMMUNICATION PARAMETERS")}));
        int values = 0;
        for (auto* label : page.findChildren<QLabel*>())
            values += label->objectName().startsWith(QLatin1String("Overview_")) || label->objectName() == QLatin1String("StreamSwitchingFast");
        QCOMPARE(values, 29);
        QCOMPARE(page.size(), QSize(440, 360));
    }

    // Long but realistic values (12-character names, 12-digit addresses, a
    // 20-character service name of the widest letters, "Not Support") must show
    // whole in the font the page is laid out for, and every caption must fit
    // beside its value inside its group on the page.
    void everyTextFitsItsPlace_data()
    {
        QTest::addColumn<int>("module");
        QTest::addColumn<QByteArray>("serviceName");
        QTest::newRow("current") << int(Current) << QByteArray("ABCDEFGHIJKLMNOPQRST");
        QTest::newRow("current, service name of W") << int(Current) << QByteArray(20, 'W');
        QTest::newRow("current, service name of M") << int(Current) << QByteArray(20, 'M');
        QTest::newRow("legacy") << int(Legacy) << QByteArray(20, 'W');
    }

    void everyTextFitsItsPlace()
    {
        QFETCH(int, module);
        QFETCH(QByteArray, serviceName);
        Shown shown{Module(module)};
        // Another font would measure something else than what users see.
        QCOMPARE(QFontInfo(shown.page.Overview_ServiceName->font()).family(), QStringLiteral("Liberation Sans"));
        shown.params.Local.ModelName = "QN7X01-ABCDE";
        shown.params.Local.LocalBDAddr = "DDDDDDDDDDDD";
        shown.params.Local.SWVersion = "V10.20.300";
        shown.params.Bluetooth.DeviceName = "MMMMMMMMMMMM";
        shown.params.Bluetooth.RemoteBDAddr = "DDDDDDDDDDDD";
        shown.params.Bluetooth.ServiceName = serviceName;
        shown.params.Security.PinCode = "1234567890123456";
        shown.params.System.ConnectionDelayTime = 99999;
        shown.params.Uart.BaudRate = "230400";
        shown.params.MultiComm.RxBufferSize = 65535;
        shown.page.LoadFromParams();
        if (module == Current)
            QCOMPARE(shown.page.Overview_ServiceName->text(), QString::fromLatin1(serviceName));

        const QRect pageRect = shown.page.rect();
        for (auto* group : shown.page.findChildren<QGroupBox*>()) {
            QVERIFY2(pageRect.contains(group->geometry()), qPrintable(group->title()));
            const QRect inside = group->rect();
            for (auto* label : group->findChildren<QLabel*>()) {
                const QString what = group->title() + QLatin1String(": ") + label->text();
                QVERIFY2(inside.contains(label->geometry()), qPrintable(what + QStringLiteral(" %1,%2 %3x%4 in %5x%6").arg(label->x()).arg(label->y()).arg(label->width()).arg(label->height()).arg(inside.width()).arg(inside.height())));
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                         qPrintable(what));
            }
            // No two labels of a group overlap.
            const auto labels = group->findChildren<QLabel*>();
            for (int i = 0; i < labels.size(); ++i)
                for (int j = i + 1; j < labels.size(); ++j)
                    QVERIFY2(!labels[i]->geometry().intersects(labels[j]->geometry()),
                             qPrintable(labels[i]->text() + QLatin1String(" / ") + labels[j]->text()));
        }
        if (const QString dir = qEnvironmentVariable("RADIOSET_SHOT_DIR"); !dir.isEmpty())
            shown.page.grab().save(dir + QStringLiteral("/overview-%1.png").arg(module));
    }
};

QTEST_MAIN(TestOverviewPage)
#include "tst_overviewpage.moc"
