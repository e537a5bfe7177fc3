// SPDX-License-Identifier: GPL-3.0-or-later
// The checks run before a page is left or the parameters are written.
#include "BluetoothUnit.h"
#include "MultiCommUnit.h"
#include "PageTestSupport.h"
#include "PageIndex.h"
#include "PageValidation.h"
#include "SecurityUnit.h"
#include "SystemUnit.h"
#include "TEditBox.h"
#include "UartUnit.h"

#include <QComboBox>
#include <QHash>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// A page of kind `kind` with every field filled, and its controls by name.
struct TFilledPage
{
    std::unique_ptr<QWidget> Page;
    QHash<QString, QWidget*> Controls;
};

TFilledPage MakeFilledPage(int kind)
{
    TFilledPage made;
    auto fill = [&made](const QString& name, QWidget* control, const QString& value) {
        made.Controls.insert(name, control);
        if (auto* box = qobject_cast<QLineEdit*>(control))
            box->setText(value);
        else if (auto* list = qobject_cast<QComboBox*>(control))
            list->setCurrentIndex(value.toInt());
    };
    switch (kind) {
    case PageBluetooth: {
        auto page = std::make_unique<TBluetoothForm>();
        fill(u"DeviceName"_s, page->DeviceName, u"RADIO"_s);
        fill(u"RemoteBDAddr"_s, page->RemoteBDAddr, u"0123456789AB"_s);
        fill(u"InquiryAccessCodeSecond"_s, page->InquiryAccessCodeSecond, u"00"_s);
        fill(u"ClassOfDevice"_s, page->ClassOfDevice, u"001F00"_s);
        fill(u"LinkTimeout"_s, page->LinkTimeout, u"20"_s);
        fill(u"ServiceName"_s, page->ServiceName, u"SPP"_s);
        made.Page = std::move(page);
        break;
    }
    case PageSecurity: {
        auto page = std::make_unique<TSecurityForm>();
        fill(u"PinCode"_s, page->PinCode, u"1234"_s);
        made.Page = std::move(page);
        break;
    }
    case PageSystem: {
        auto page = std::make_unique<TSystemForm>();
        fill(u"EscapeChar"_s, page->EscapeChar, u"2B"_s);
        fill(u"DebugChar"_s, page->DebugChar, u"1F"_s);
        fill(u"ConnectionDelayTime"_s, page->ConnectionDelayTime, u"50"_s);
        fill(u"StreamSwitchingFast"_s, page->StreamSwitchingFast, u"0"_s);
        made.Page = std::move(page);
        break;
    }
    case PageUart: {
        auto page = std::make_unique<TUartForm>();
        made.Page = std::move(page); // nothing selected at all
        break;
    }
    case PageMultiComm: {
        auto page = std::make_unique<TMultiCommForm>();
        fill(u"RxBufferSize"_s, page->RxBufferSize, u"10"_s);
        made.Page = std::move(page);
        break;
    }
    default:
        break; // no page object
    }
    return made;
}

// Edits are "Control=value"; a list takes the index to select ("-1": none).
void Apply(const TFilledPage& made, const QStringList& edits)
{
    for (const QString& edit : edits) {
        const qsizetype eq = edit.indexOf(u'=');
        QWidget* control = made.Controls.value(edit.left(eq));
        QVERIFY2(control, qPrintable(edit));
        const QString value = edit.mid(eq + 1);
        if (auto* box = qobject_cast<QLineEdit*>(control))
            box->setText(value);
        else if (auto* list = qobject_cast<QComboBox*>(control))
            list->setCurrentIndex(value.toInt());
    }
}

} // namespace

class TestPageValidation : public QObject
{
    Q_OBJECT

private slots:
    void reportsFirstFailure_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<bool>("fastSwitch");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("maintenance");

        const QString deviceName = u"Parameter(Device Name) is empty.\r\nThis parameter must come to fill certainly."_s;
        const QString remote = u"Parameter(Remote BD Address) is empty or not enougth.\r\nThis parameter must come to "
                               "fill certainly by 12 HEXA Numbers."_s;
        const QString remoteFix = u"Fill Remote BD Address Parameter by HEXA Number."_s;
        const QString link = u"Parameter(Link Supervision Timeout) is empty.\r\nThis parameter must come to fill "
                             "certainly by Decimal Number."_s;
        const QString linkFix = u"Fill Link Supervision Timeout Parameter by Decimal Number."_s;
        const QString delay = u"Parameter(Connection Delay Time) is empty.\r\nThis parameter must come to fill "
                              "certainly by Decimal Numbers."_s;
        const QString delayFix = u"Fill Connection Delay Time Parameter by Decimal Number."_s;
        const QString stream = u"Parameter(Stream Switching Fast) is wrong.\r\nThis parameter must be ENABLE or "
                               "DISABLE."_s;
        const QString streamFix = u"Reselect this parameter."_s;

        QTest::newRow("device name") << 1 << false << false << QStringList{u"DeviceName="_s} << u"DeviceName"_s
                                     << deviceName << u"Fill Device Name Parameter."_s;
        QTest::newRow("remote address empty") << 1 << false << false << QStringList{u"RemoteBDAddr="_s}
                                              << u"RemoteBDAddr"_s << remote << remoteFix;
        QTest::newRow("remote address of 11") << 1 << true << false << QStringList{u"RemoteBDAddr=0123456789A"_s}
                                              << u"RemoteBDAddr"_s << remote << remoteFix;
        QTest::newRow("inquiry access code")
            << 1 << false << false << QStringList{u"InquiryAccessCodeSecond="_s} << u"InquiryAccessCodeSecond"_s
            << u"Parameter(Inquiry Access Code) is empty.\r\nThis parameter must come to fill certainly by under 2 "
               "HEXA Numbers."_s
            << u"Fill Inquiry Access Code Parameter by HEXA Number."_s;
        QTest::newRow("class of device")
            << 1 << false << false << QStringList{u"ClassOfDevice="_s} << u"ClassOfDevice"_s
            << u"Parameter(Class of Device) is empty.\r\nThis parameter must come to fill certainly by under 6 HEXA "
               "Numbers."_s
            << u"Fill Class of Device Parameter by HEXA Number."_s;
        QTest::newRow("link timeout") << 1 << false << false << QStringList{u"LinkTimeout="_s} << u"LinkTimeout"_s
                                      << link << linkFix;
        QTest::newRow("link timeout, legacy still tested")
            << 1 << true << false << QStringList{u"LinkTimeout="_s, u"ServiceName="_s, u"ClassOfDevice="_s}
            << u"LinkTimeout"_s << link << linkFix;
        QTest::newRow("service name")
            << 1 << false << false << QStringList{u"ServiceName="_s} << u"ServiceName"_s
            << u"Parameter(Service Name) is empty.\r\nThis parameter must come to fill any word."_s
            << u"Fill Service Name Parameter."_s;
        QTest::newRow("device name before link timeout")
            << 1 << false << false << QStringList{u"LinkTimeout="_s, u"DeviceName="_s} << u"DeviceName"_s
            << deviceName << u"Fill Device Name Parameter."_s;
        QTest::newRow("pin code") << 2 << false << false << QStringList{u"PinCode="_s} << u"PinCode"_s
                                  << u"Parameter(Pin Code) is empty.\r\nThis parameter must come to fill certainly."_s
                                  << u"Fill Pin Code Parameter by Decimal Number."_s;
        QTest::newRow("escape character")
            << 3 << true << false << QStringList{u"EscapeChar="_s, u"DebugChar="_s} << u"EscapeChar"_s
            << u"Parameter(Escape Character) is empty.\r\nThis parameter must come to fill certainly by 2 HEXA "
               "Numbers."_s
            << u"Fill Escape Character Parameter by HEXA Number."_s;
        QTest::newRow("debug character")
            << 3 << false << false << QStringList{u"DebugChar="_s} << u"DebugChar"_s
            << u"Parameter(Debug Character) is empty.\r\nThis parameter must come to fill certainly by 2 HEXA "
               "Numbers."_s
            << u"Fill Debug Character Parameter by HEXA Number."_s;
        QTest::newRow("delay before stream switching")
            << 3 << false << false << QStringList{u"StreamSwitchingFast=-1"_s, u"ConnectionDelayTime="_s}
            << u"ConnectionDelayTime"_s << delay << delayFix;
        QTest::newRow("stream switching, current module")
            << 3 << false << false << QStringList{u"StreamSwitchingFast=-1"_s} << u"StreamSwitchingFast"_s << stream
            << streamFix;
        QTest::newRow("stream switching, 2.0 module")
            << 3 << true << true << QStringList{u"StreamSwitchingFast=-1"_s, u"ConnectionDelayTime="_s}
            << u"StreamSwitchingFast"_s << stream << streamFix;
        QTest::newRow("rx buffer size")
            << 5 << false << false << QStringList{u"RxBufferSize="_s} << u"RxBufferSize"_s
            << u"Parameter(Rx Buffer Size) is empty.\r\nThis parameter must come to fill certainly by Decimal "
               "Numbers."_s
            << u"Fill Rx Buffer Size Parameter by Decimal Number."_s;
    }
    void reportsFirstFailure()
    {
        QFETCH(int, page);
        const TFilledPage made = MakeFilledPage(page);
        Apply(made, Fetch<QStringList>("edits"));
        const std::optional<TPageFault> fault =
            CheckPage(page, made.Page.get(), Fetch<bool>("legacy"), Fetch<bool>("fastSwitch"));
        QVERIFY(fault.has_value());
        QCOMPARE(fault->Control, made.Controls.value(Fetch<QString>("control")));
        QCOMPARE(fault->Detail, Fetch<QString>("detail"));
        QCOMPARE(fault->MaintenanceLine, Fetch<QString>("maintenance"));
        QCOMPARE(InputParameterErrorTitle, u"INPUT PARAMETER ERROR"_s);
    }

    void passes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("kind"); // the page object handed in
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<bool>("fastSwitch");
        QTest::addColumn<QStringList>("edits");

        QTest::newRow("bluetooth filled") << 1 << 1 << false << false << QStringList{};
        QTest::newRow("bluetooth, 12 characters of anything")
            << 1 << 1 << false << false << QStringList{u"RemoteBDAddr=zz  ..--!!?x"_s};
        QTest::newRow("bluetooth, a single space is a value")
            << 1 << 1 << false << false << QStringList{u"DeviceName= "_s, u"ServiceName= "_s};
        QTest::newRow("bluetooth legacy skips access code, class, service name")
            << 1 << 1 << true << false
            << QStringList{u"InquiryAccessCodeSecond="_s, u"ClassOfDevice="_s, u"ServiceName="_s};
        QTest::newRow("security filled") << 2 << 2 << false << false << QStringList{};
        QTest::newRow("system ERROR module skips delay and stream")
            << 3 << 3 << true << false << QStringList{u"ConnectionDelayTime="_s, u"StreamSwitchingFast=-1"_s};
        QTest::newRow("system 2.0 module skips delay") << 3 << 3 << true << true
                                                       << QStringList{u"ConnectionDelayTime="_s};
        QTest::newRow("system filled") << 3 << 3 << false << false << QStringList{};
        QTest::newRow("multi-connection filled") << 5 << 5 << false << false << QStringList{};
        QTest::newRow("overview") << 0 << -1 << false << false << QStringList{};
        QTest::newRow("uart with nothing selected") << 4 << 4 << false << false << QStringList{};
        QTest::newRow("uart index looks at no control") << 4 << 2 << false << false << QStringList{u"PinCode="_s};
        QTest::newRow("index out of range") << 6 << 2 << false << false << QStringList{u"PinCode="_s};
        QTest::newRow("negative index") << -1 << 5 << false << false << QStringList{u"RxBufferSize="_s};
    }
    void passes()
    {
        const TFilledPage made = MakeFilledPage(Fetch<int>("kind"));
        Apply(made, Fetch<QStringList>("edits"));
        const std::optional<TPageFault> fault =
            CheckPage(Fetch<int>("index"), made.Page.get(), Fetch<bool>("legacy"), Fetch<bool>("fastSwitch"));
        QVERIFY2(!fault.has_value(), fault ? qPrintable(fault->MaintenanceLine) : "");
    }
};

QTEST_MAIN(TestPageValidation)
#include "tst_pagevalidation.moc"
