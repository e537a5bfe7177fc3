// SPDX-License-Identifier: GPL-3.0-or-later
// Values loaded into the pages' edit boxes: kept whole, and every box under a rule.
#include "BluetoothUnit.h"
#include "FieldRules.h"
#include "MultiCommUnit.h"
#include "PropertyUnit.h"
#include "SecurityUnit.h"
#include "SystemUnit.h"
#include "TEditBox.h"
#include "UartUnit.h"

#include <QSet>
#include <QTest>

#include <memory>

// A module may hold a value longer than a page lets the user type. Opening the
// page must show it whole and leave it in the group unchanged: the limit is
// for typing and pasting only.

namespace {

// Puts `value` into the group field behind a text box, as a reading would.
void Load(TParameters& params, TFieldId id, const QByteArray& value)
{
    switch (id) {
    case TFieldId::DeviceName: params.Bluetooth.DeviceName = value; break;
    case TFieldId::RemoteBDAddr: params.Bluetooth.RemoteBDAddr = value; break;
    case TFieldId::InquiryAccessCode: params.Bluetooth.InquiryAccessCodeSecond = value; break;
    case TFieldId::ClassOfDevice: params.Bluetooth.ClassOfDevice = value; break;
    case TFieldId::LinkTimeout: params.Bluetooth.LinkTimeout = value.toInt(); break;
    case TFieldId::ServiceName: params.Bluetooth.ServiceName = value; break;
    case TFieldId::PinCode: params.Security.PinCode = value; break;
    case TFieldId::EscapeChar: params.System.EscapeChar = value; break;
    case TFieldId::DebugChar: params.System.DebugChar = value; break;
    case TFieldId::ConnectionDelayTime: params.System.ConnectionDelayTime = value.toInt(); break;
    case TFieldId::RxBufferSize: params.MultiComm.RxBufferSize = value.toInt(); break;
    default: QFAIL("not a text field"); break;
    }
}

// One character more than the rule lets the user type, of characters the field takes.
QByteArray OverLong(const TFieldRule& rule)
{
    const QByteArray source = rule.Keys == TFieldKeys::Decimal ? QByteArrayLiteral("1234567890123456789")
                              : rule.Keys == TFieldKeys::Hex   ? QByteArrayLiteral("ABCDEF0123456789ABCDEF0123")
                                                               : QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return source.left(rule.Limit + 1);
}

// Builds page `index` on the groups of `params` and loads it, as opening it does.
std::unique_ptr<TPageForm> OpenPage(int index, TParameters& params)
{
    switch (index) {
    case 1: {
        auto page = std::make_unique<TBluetoothForm>();
        page->Group = &params.Bluetooth;
        page->LoadFromParams();
        return page;
    }
    case 2: {
        auto page = std::make_unique<TSecurityForm>();
        page->Group = &params.Security;
        page->LoadFromParams();
        return page;
    }
    case 3: {
        auto page = std::make_unique<TSystemForm>();
        page->Group = &params.System;
        page->LoadFromParams();
        return page;
    }
    case 4: {
        auto page = std::make_unique<TUartForm>();
        page->Group = &params.Uart;
        page->LoadFromParams();
        return page;
    }
    case 5: {
        auto page = std::make_unique<TMultiCommForm>();
        page->Group = &params.MultiComm;
        page->LoadFromParams();
        return page;
    }
    }
    return nullptr;
}

TEditBox* BoxNamed(QWidget* page, const QString& name)
{
    for (TEditBox* box : page->findChildren<TEditBox*>())
        if (box->accessibleName() == name && !box->isReadOnly())
            return box;
    return nullptr;
}

} // namespace

class TestLoadedValues : public QObject
{
    Q_OBJECT

private slots:
    void overLongValueStaysWhole_data()
    {
        QTest::addColumn<int>("field");
        for (const TFieldRule& rule : FieldRules())
            if (rule.Kind == TFieldKind::Text)
                QTest::newRow(rule.Caption) << int(rule.Id);
    }
    void overLongValueStaysWhole()
    {
        QFETCH(int, field);
        const TFieldRule& rule = FieldRule(TFieldId(field));
        const QByteArray value = OverLong(rule);
        QCOMPARE(value.size(), rule.Limit + 1);

        TParameters params;
        Load(params, rule.Id, value);
        QCOMPARE(ShownValue(rule.Id, params), value);

        std::unique_ptr<TPageForm> page = OpenPage(rule.Page, params);
        QVERIFY(page);
        page->show();
        TEditBox* box = BoxNamed(page.get(), QString::fromLatin1(rule.Caption));
        QVERIFY2(box, rule.Caption);
        QCOMPARE(box->text(), QString::fromLatin1(value));
        QCOMPARE(ShownValue(rule.Id, params), value);

        // Typing is still limited: nothing can be added to the long value, and
        // once the user has deleted from it, the box takes no more than the limit.
        box->setFocus();
        box->end(false);
        QTest::keyClick(box, value.at(0));
        QCOMPARE(box->text(), QString::fromLatin1(value));
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QString::fromLatin1(value));
        QCOMPARE(box->text(), QString::fromLatin1(value.left(rule.Limit)));
    }

    // The table above reaches every box the user can type into, on every page.
    void everyEditBoxHasARule()
    {
        TParameters params;
        for (int index = 1; index <= 5; ++index) {
            std::unique_ptr<TPageForm> page = OpenPage(index, params);
            QVERIFY(page);
            QSet<QString> ruled;
            for (const TFieldRule& rule : FieldRules())
                if (rule.Page == index && rule.Kind == TFieldKind::Text)
                    ruled.insert(QString::fromLatin1(rule.Caption));
            for (TEditBox* box : page->findChildren<TEditBox*>()) {
                if (box->isReadOnly())
                    continue;
                QVERIFY2(ruled.contains(box->accessibleName()), qPrintable(box->accessibleName()));
            }
        }
    }
};

QTEST_MAIN(TestLoadedValues)
#include "tst_loadedvalues.moc"
