// SPDX-License-Identifier: GPL-3.0-or-later
// The device search dialog: its list of found devices, keys and the chosen address.
#include "BluetoothUnit.h"
#include "FakeBluetoothHost.h"
#include "ModalDriver.h"
#include "PropertyUnit.h"
#include "SearchDevicesFormUnit.h"
#include "TEditBox.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

// A MASTER page with a search dialog of its own, shown without a modal loop so
// the test can drive the page's search operations directly.
struct Searching
{
    TBluetoothParam group;
    FakeBluetoothHost host;
    TBluetoothForm page;
    TSearchDeviceForm* dialog = nullptr;

    Searching()
    {
        group.RemoteBDAddr = "001122AABBCC";
        page.MasterMode = true;
        page.Group = &group;
        page.Host = &host;
        page.LoadFromParams();
        dialog = new TSearchDeviceForm(&page);
        dialog->OnSearchClick = [this] { page.BeginSearch(); };
        page.SearchDialog = dialog;
        dialog->show();
    }

    QStringList Column(int column) const
    {
        QStringList cells;
        for (int i = 0; i < dialog->DeviceList->topLevelItemCount(); ++i)
            cells << dialog->DeviceList->topLevelItem(i)->text(column);
        return cells;
    }
};

// A double-click as the window system delivers it: press, release, then a
// second press followed by the double-click event and the last release.
void DoubleClick(QWidget* widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

} // namespace

class TestDeviceSearch : public QObject
{
    Q_OBJECT

private slots:
    void dialogOffersTheFourColumnsAndThreeButtons()
    {
        TSearchDeviceForm dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search Bluetooth Devices"));
        QCOMPARE(dialog.size(), QSize(311, 239));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(dialog.BtnSearch->text(), QStringLiteral("SEARCH BLUETOOTH DEVICES"));
        QCOMPARE(dialog.BtnInsert->text(), QStringLiteral(u"\u25C0  INSERT TO TARGET"));
        QCOMPARE(dialog.BtnClose->text(), QStringLiteral("CLOSE WINDOW"));
        QTreeWidgetItem* header = dialog.DeviceList->headerItem();
        const QStringList headers{QStringLiteral("Index"), QStringLiteral("Device Address"),
                                  QStringLiteral("Device Name"), QStringLiteral("CoD")};
        const int widths[] = {40, 92, 100, 62};
        QCOMPARE(dialog.DeviceList->columnCount(), 4);
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(header->text(c), headers[c]);
            QCOMPARE(dialog.DeviceList->columnWidth(c), widths[c]);
        }
        QCOMPARE(dialog.DeviceList->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(dialog.DeviceList->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!dialog.Inserted);
        QVERIFY(dialog.rect().contains(dialog.BtnInsert->geometry()));
        QVERIFY(dialog.rect().contains(dialog.BtnClose->geometry()));
        if (const QString dir = qEnvironmentVariable("RADIOSET_SHOT_DIR"); !dir.isEmpty()) {
            FakeBluetoothHost host;
            TBluetoothForm page;
            page.SearchDialog = &dialog;
            page.AddSearchResult("0012A1B2C3D4", "RADIO-7201", "001F00");
            page.AddSearchResult("00AA11BB22CC", "HEADSET", "240404");
            dialog.DeviceList->setCurrentItem(dialog.DeviceList->topLevelItem(1));
            dialog.show();
            dialog.grab().save(dir + QStringLiteral("/search.png"));
            page.SearchDialog = nullptr;
        }
    }

    void searchDisablesDialogAndAsksTheHost()
    {
        Searching s;
        s.page.AddSearchResult("000000000001", "OLD", "000000");
        QTest::mouseClick(s.dialog->BtnSearch, Qt::LeftButton);
        QCOMPARE(s.host.Calls, QStringList{QStringLiteral("search")});
        QVERIFY(!s.dialog->isEnabled());
        QCOMPARE(s.dialog->DeviceList->topLevelItemCount(), 0);
        // While it runs the dialog cannot be closed.
        s.dialog->reject();
        QVERIFY(s.dialog->isVisible());
        s.page.EndSearch();
        QVERIFY(s.dialog->isEnabled());
        QCOMPARE(s.dialog->focusWidget(), s.dialog->BtnSearch);
    }

    void searchWithPortClosedLeavesDialogUsable()
    {
        Searching s;
        s.host.Connected = false;
        QTest::mouseClick(s.dialog->BtnSearch, Qt::LeftButton);
        QCOMPARE(s.host.Calls, QStringList{QStringLiteral("search")});
        QVERIFY(s.dialog->isEnabled());
        s.dialog->BtnClose->click();
        QVERIFY(!s.dialog->isVisible());
    }

    void rowsNumberedFromOneInArrivalOrder()
    {
        Searching s;
        s.page.BeginSearch();
        s.page.AddSearchResult("00AA11BB22CC", "HEADSET", "240404");
        s.page.AddSearchResult("0012A1B2C3D4", "", "001F00");
        s.page.AddSearchResult("0033", "PHONE", "5A020C");
        s.page.EndSearch();
        QCOMPARE(s.Column(TSearchDeviceForm::SearchIndex), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
        QCOMPARE(s.Column(TSearchDeviceForm::DeviceAddress),
                 (QStringList{QStringLiteral("00AA11BB22CC"), QStringLiteral("0012A1B2C3D4"), QStringLiteral("0033")}));
        QCOMPARE(s.Column(TSearchDeviceForm::DeviceNames), (QStringList{QStringLiteral("HEADSET"), QString(), QStringLiteral("PHONE")}));
        QCOMPARE(s.Column(TSearchDeviceForm::ClassOfDevice),
                 (QStringList{QStringLiteral("240404"), QStringLiteral("001F00"), QStringLiteral("5A020C")}));

        // A second search starts an empty list and numbers from 1 again.
        QTest::mouseClick(s.dialog->BtnSearch, Qt::LeftButton);
        QCOMPARE(s.dialog->DeviceList->topLevelItemCount(), 0);
        s.page.AddSearchResult("00BB", "LAPTOP", "3A010C");
        QCOMPARE(s.Column(TSearchDeviceForm::SearchIndex), QStringList{QStringLiteral("1")});
        QCOMPARE(s.host.Calls, (QStringList{QStringLiteral("search"), QStringLiteral("search")}));
    }

    void headerClickSortsRowsByThatColumnsText()
    {
        Searching s;
        s.page.AddSearchResult("0003", "ZETA", "000100");
        s.page.AddSearchResult("0001", "ALPHA", "000300");
        s.page.AddSearchResult("0002", "MIKE", "000200");
        QHeaderView* header = s.dialog->DeviceList->header();
        const QPoint onNames(header->sectionViewportPosition(TSearchDeviceForm::DeviceNames) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onNames);
        QCOMPARE(s.Column(TSearchDeviceForm::DeviceNames),
                 (QStringList{QStringLiteral("ALPHA"), QStringLiteral("MIKE"), QStringLiteral("ZETA")}));
        QCOMPARE(s.Column(TSearchDeviceForm::SearchIndex), (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1")}));
        const QPoint onCod(header->sectionViewportPosition(TSearchDeviceForm::ClassOfDevice) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onCod);
        QCOMPARE(s.Column(TSearchDeviceForm::DeviceNames),
                 (QStringList{QStringLiteral("ZETA"), QStringLiteral("MIKE"), QStringLiteral("ALPHA")}));
        // A row found after sorting goes to the end.
        s.page.AddSearchResult("0004", "BRAVO", "000000");
        QCOMPARE(s.Column(TSearchDeviceForm::SearchIndex).last(), QStringLiteral("4"));
    }

    void insertWithoutSelectedRowDoesNothing_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("empty list") << 0;
        QTest::newRow("rows, none selected") << 2;
    }

    void insertWithoutSelectedRowDoesNothing()
    {
        QFETCH(int, rows);
        Searching s;
        for (int i = 0; i < rows; ++i)
            s.page.AddSearchResult(QByteArray::number(i), "NAME", "000000");
        s.dialog->BtnInsert->click();
        QVERIFY(s.dialog->isVisible());
        QVERIFY(!s.dialog->Inserted);
        QVERIFY(s.dialog->SelectedAddress.isEmpty());
    }

    // Keys on the dialog after a search, by what has the focus. A found device
    // is never thrown away by Return; Space presses the focused button.
    void keysActOnTheFocusedControl_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected"); // -1: none
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("outcome");

        const int ret = Qt::Key_Return, enter = Qt::Key_Enter, space = Qt::Key_Space;
        const QString list = QStringLiteral("list"), search = QStringLiteral("search"),
                      insert = QStringLiteral("insert"), close = QStringLiteral("close");
        const QString inserted = QStringLiteral("inserted"), searched = QStringLiteral("searched"),
                      closed = QStringLiteral("closed"), nothing = QStringLiteral("nothing");
        QTest::newRow("Return on a selected row") << 3 << 1 << list << ret << inserted;
        QTest::newRow("Enter on a selected row") << 3 << 2 << list << enter << inserted;
        QTest::newRow("Return on the list, none selected") << 3 << -1 << list << ret << nothing;
        QTest::newRow("Return on an empty list") << 0 << -1 << list << ret << nothing;
        QTest::newRow("Return on SEARCH, a row selected") << 3 << 0 << search << ret << nothing;
        QTest::newRow("Return on SEARCH, rows, none selected") << 3 << -1 << search << ret << nothing;
        QTest::newRow("Return on SEARCH, empty list") << 0 << -1 << search << ret << searched;
        QTest::newRow("Return on INSERT, a row selected") << 3 << 1 << insert << ret << inserted;
        QTest::newRow("Return on INSERT, none selected") << 3 << -1 << insert << ret << nothing;
        QTest::newRow("Return on CLOSE") << 3 << 1 << close << ret << closed;
        QTest::newRow("Space on SEARCH, rows listed") << 3 << 1 << search << space << searched;
        QTest::newRow("Space on INSERT, a row selected") << 3 << 1 << insert << space << inserted;
        QTest::newRow("Space on CLOSE") << 3 << 1 << close << space << closed;
    }

    void keysActOnTheFocusedControl()
    {
        QFETCH(int, rows);
        QFETCH(int, selected);
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, outcome);
        Searching s;
        for (int i = 0; i < rows; ++i)
            s.page.AddSearchResult("00AA11BB22C" + QByteArray::number(i), "NAME", "240404");
        s.page.EndSearch();
        QTreeWidget* list = s.dialog->DeviceList;
        if (selected >= 0)
            list->setCurrentItem(list->topLevelItem(selected));
        else
            list->clearSelection();
        const QMap<QString, QWidget*> controls{{QStringLiteral("list"), list},
                                               {QStringLiteral("search"), s.dialog->BtnSearch},
                                               {QStringLiteral("insert"), s.dialog->BtnInsert},
                                               {QStringLiteral("close"), s.dialog->BtnClose}};
        QWidget* target = controls.value(focus);
        target->setFocus();
        QCOMPARE(s.dialog->focusWidget(), target);

        QTest::keyClick(target, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

        const bool searchedNow = s.host.Calls.contains(QStringLiteral("search"));
        QCOMPARE(searchedNow, outcome == QStringLiteral("searched"));
        QCOMPARE(s.dialog->Inserted, outcome == QStringLiteral("inserted"));
        QCOMPARE(s.dialog->isVisible(), outcome != QStringLiteral("inserted") && outcome != QStringLiteral("closed"));
        if (outcome == QStringLiteral("inserted"))
            QCOMPARE(s.dialog->SelectedAddress, "00AA11BB22C" + QByteArray::number(selected));
        if (!searchedNow)
            QCOMPARE(list->topLevelItemCount(), rows);
    }

    void doubleClickOnARowChoosesIt()
    {
        Searching s;
        for (int i = 0; i < 3; ++i)
            s.page.AddSearchResult("00AA11BB22C" + QByteArray::number(i), "NAME", "240404");
        s.page.EndSearch();
        QTreeWidget* list = s.dialog->DeviceList;

        // Below the last row: no row, nothing chosen.
        const QPoint below(20, list->viewport()->height() - 5);
        QVERIFY(!list->itemAt(below));
        DoubleClick(list->viewport(), below);
        QVERIFY(s.dialog->isVisible());
        QVERIFY(!s.dialog->Inserted);

        const QPoint onSecond = list->visualItemRect(list->topLevelItem(1)).center();
        DoubleClick(list->viewport(), onSecond);
        QVERIFY(s.dialog->Inserted);
        QCOMPARE(s.dialog->SelectedAddress, QByteArray("00AA11BB22C1"));
        QVERIFY(!s.dialog->isVisible());
        QVERIFY(!s.host.Calls.contains(QStringLiteral("search")));
    }

    // The whole path through the modal dialog: SEARCH on the page, rows found,
    // one chosen, the address in the page's box and in the group.
    void insertedAddressReachesThePage_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("twelve digits") << QByteArrayLiteral("00AA11BB22CC");
        QTest::newRow("longer than can be typed") << QByteArrayLiteral("00AA11BB22CC3344");
    }

    void insertedAddressReachesThePage()
    {
        QFETCH(QByteArray, address);
        TBluetoothParam group;
        group.RemoteBDAddr = "001122AABBCC";
        FakeBluetoothHost host;
        TBluetoothForm page;
        page.MasterMode = true;
        page.Group = &group;
        page.Host = &host;
        page.LoadFromParams();
        page.show();

        bool seen = false;
        WhenModalShown([&](QWidget* modal) {
            auto* dialog = qobject_cast<TSearchDeviceForm*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            seen = dialog == page.SearchDialog;
            dialog->BtnSearch->click();
            page.AddSearchResult("0012A1B2C3D4", "RADIO", "001F00");
            page.AddSearchResult(address, "TARGET", "240404");
            page.EndSearch();
            dialog->DeviceList->setCurrentItem(dialog->DeviceList->topLevelItem(1));
            dialog->BtnInsert->click();
            if (dialog->isVisible())
                dialog->BtnClose->click();
        });
        page.BtnSearch->click();

        QVERIFY(seen);
        QVERIFY(page.SearchDialog->Inserted);
        QCOMPARE(page.SearchDialog->SelectedAddress, address);
        QCOMPARE(page.RemoteBDAddr->text(), QString::fromLatin1(address));
        QCOMPARE(group.RemoteBDAddr, address);
        QCOMPARE(host.Calls, QStringList{QStringLiteral("search")});
    }

    void closeWindowLeavesTheAddress()
    {
        TBluetoothParam group;
        group.RemoteBDAddr = "001122AABBCC";
        TBluetoothForm page;
        page.MasterMode = true;
        page.Group = &group;
        page.LoadFromParams();
        WhenModalShown([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<TSearchDeviceForm*>(modal)) {
                page.AddSearchResult("00AA11BB22CC", "TARGET", "240404");
                dialog->DeviceList->setCurrentItem(dialog->DeviceList->topLevelItem(0));
                dialog->BtnClose->click();
            } else {
                modal->close();
            }
        });
        page.BtnSearch->click();
        QVERIFY(page.SearchDialog);
        QVERIFY(!page.SearchDialog->Inserted);
        QCOMPARE(page.RemoteBDAddr->text(), QStringLiteral("001122AABBCC"));
        QCOMPARE(group.RemoteBDAddr, QByteArrayLiteral("001122AABBCC"));
    }
};

QTEST_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
