// SPDX-License-Identifier: GPL-3.0-or-later
// The device search of a MASTER module, from the Bluetooth page to the remote address.
#include "Session.h"

#include "BluetoothUnit.h"
#include "SearchDevicesFormUnit.h"

#include "TEditBox.h"

#include <QPushButton>
#include <QTreeWidget>

#include <optional>

namespace {

QStringList Column(const QTreeWidget* list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

// A MASTER module, read, with the Bluetooth page open.
bool PrepareMaster(TSession& s)
{
    s.Module.setSetting("Role", "MASTER");
    if (!s.OpenAndIdentify() || !s.Read())
        return false;
    s.Form->OpenPage(PageBluetooth);
    return s.Form->BluetoothPage && s.Form->BluetoothPage->BtnSearch->isEnabled();
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void foundDevicesAreListedAndOneBecomesTheRemoteAddress()
    {
        radiosim::Options options;
        options.inquiryPaceMs = 50;
        options.devices = {{"001122334455", "SCANNER", "001F00"},
                           {"0A0B0C0D0E0F", "", "5A020C"},
                           {"AABBCCDDEEFF", "PRINTER,2", "040680"},
                           {"123456789ABCDEF0", "LONG ADDR", "000000"}};
        TSession s(options);
        QVERIFY(PrepareMaster(s));

        QStringList firstIndexes, addresses, names, secondIndexes;
        WhenModalShown([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
            QVERIFY(dialog);
            dialog->BtnSearch->click();
            QVERIFY(!dialog->isEnabled());
            QVERIFY(QTest::qWaitFor([&] { return dialog->isEnabled(); }, 5000));
            firstIndexes = Column(dialog->DeviceList, 0);
            addresses = Column(dialog->DeviceList, 1);
            names = Column(dialog->DeviceList, 2);

            dialog->BtnSearch->click(); // a second search starts the numbering again
            QVERIFY(QTest::qWaitFor([&] { return dialog->isEnabled(); }, 5000));
            secondIndexes = Column(dialog->DeviceList, 0);

            dialog->DeviceList->setCurrentItem(dialog->DeviceList->topLevelItem(2));
            dialog->BtnInsert->click();
        });
        s.Form->BluetoothPage->BtnSearch->click();

        // The device whose name holds a comma counts four items and is left out.
        QCOMPARE(firstIndexes, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
        QCOMPARE(addresses, (QStringList{QStringLiteral("001122334455"), QStringLiteral("0A0B0C0D0E0F"),
                                         QStringLiteral("123456789ABCDEF0")}));
        QCOMPARE(names.at(1), QString());
        QCOMPARE(secondIndexes, firstIndexes);
        QCOMPARE(s.Form->BluetoothPage->RemoteBDAddr->text(), QStringLiteral("123456789ABCDEF0"));
        QCOMPARE(s.Form->EditParams.Bluetooth.RemoteBDAddr, QByteArray("123456789ABCDEF0"));
        QCOMPARE(s.Form->CommMode, 0);
    }

    void searchWithoutItsClosingOkEndsAfterTheSilenceLimit()
    {
        radiosim::Options options;
        options.silentFromCommand = 3 + 18 + 1; // the inquiry itself gets no answer
        TSession s(options);
        QVERIFY(PrepareMaster(s));
        s.Form->SetSearchSilenceLimit(300);
        bool endedEnabled = false;
        WhenModalShown([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
            dialog->BtnSearch->click();
            endedEnabled = QTest::qWaitFor([&] { return dialog->isEnabled(); }, 5000);
            dialog->BtnClose->click();
        });
        s.Form->BluetoothPage->BtnSearch->click();
        QVERIFY(endedEnabled);
        QCOMPARE(s.Form->CommMode, 0);
    }

    void slaveModuleCannotSearch()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageBluetooth);
        QVERIFY(!s.Form->BluetoothPage->BtnSearch->isEnabled());
        s.Form->BluetoothPage->BtnSearchClick();
        QCOMPARE(s.Messages, QStringList{QStringLiteral("This function must be executed in MASTER MODE")});
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
