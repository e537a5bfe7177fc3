// SPDX-License-Identifier: GPL-3.0-or-later
// How the pages' drop-down lists look, in pixels: every list the user can change
// looks like every other one, and a list that a legacy module does not support
// is flat NotSupportedColor and cannot be changed.

#include "BluetoothUnit.h"
#include "ListLook.h"
#include "PropertyUnit.h"
#include "Skin.h"
#include "SystemUnit.h"
#include "UartUnit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

enum TModule { Current, FastSwitchLegacy, Legacy };

// One opened page of each kind that has lists a module type decides on.
struct TPages
{
    TBluetoothParam bluetooth;
    TSystemParam system;
    TUartParam uart;
    TBluetoothForm bluetoothPage;
    TSystemForm systemPage;
    TUartForm uartPage;

    explicit TPages(TModule module)
    {
        const bool legacy = module != Current;
        system.StreamSwitchingFast = 1;
        uart.HWFlowControl = 1;
        bluetooth.SupportProfile = 1;
        bluetoothPage.LegacyDevice = legacy;
        bluetoothPage.Group = &bluetooth;
        systemPage.LegacyDevice = legacy;
        systemPage.LegacyFastSwitch = module == FastSwitchLegacy;
        systemPage.Group = &system;
        uartPage.LegacyDevice = legacy;
        uartPage.Group = &uart;
        for (QWidget* page : {static_cast<QWidget*>(&bluetoothPage), static_cast<QWidget*>(&systemPage),
                              static_cast<QWidget*>(&uartPage)})
            page->show();
        bluetoothPage.LoadFromParams();
        systemPage.LoadFromParams();
        uartPage.LoadFromParams();
    }

    QComboBox* List(const QString& name)
    {
        for (QWidget* page : {static_cast<QWidget*>(&bluetoothPage), static_cast<QWidget*>(&systemPage),
                              static_cast<QWidget*>(&uartPage)})
            for (QComboBox* list : page->findChildren<QComboBox*>())
                if (list->accessibleName() == name)
                    return list;
        return nullptr;
    }

    QList<QComboBox*> AllLists()
    {
        QList<QComboBox*> lists;
        for (QWidget* page : {static_cast<QWidget*>(&bluetoothPage), static_cast<QWidget*>(&systemPage),
                              static_cast<QWidget*>(&uartPage)})
            lists += page->findChildren<QComboBox*>();
        return lists;
    }
};

// Points of a list's face clear of its text and its arrow: near the top edge, in
// the middle and near the bottom edge, at 60 % of the width.
QList<QPoint> FacePoints(const QComboBox* list)
{
    const int x = list->width() * 6 / 10;
    return {{x, 3}, {x, list->height() / 2}, {x, list->height() - 4}};
}

QList<QColor> Face(QComboBox* list)
{
    const QImage image = list->grab().toImage();
    QList<QColor> colours;
    for (QPoint at : FacePoints(list))
        colours << image.pixelColor(at);
    return colours;
}

// A list as the skin draws it when nobody changed its look.
QList<QColor> SkinFace(const QComboBox* like)
{
    QComboBox plain;
    plain.setFont(like->font());
    plain.addItem(QString());
    plain.setCurrentIndex(-1);
    plain.resize(like->size());
    return Face(&plain);
}

} // namespace

class TestListLook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ApplySkin(*qApp); }

    void listsOfTheModuleTypes_data()
    {
        QTest::addColumn<int>("module");
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("readOnly");
        const struct { const char* name; TModule module; } modules[] = {
            {"current", Current}, {"2.0", FastSwitchLegacy}, {"ERROR", Legacy}};
        for (const auto& m : modules) {
            const bool legacy = m.module != Current;
            QTest::addRow("%s SUPPORT PROFILE", m.name) << int(m.module) << u"SUPPORT PROFILE"_s << legacy;
            QTest::addRow("%s STREAM SWITCHING FAST", m.name)
                << int(m.module) << u"STREAM SWITCHING FAST"_s << (m.module == Legacy);
            QTest::addRow("%s H/W FLOW CONTROL", m.name) << int(m.module) << u"H/W FLOW CONTROL"_s << legacy;
        }
    }

    void listsOfTheModuleTypes()
    {
        QFETCH(int, module);
        QFETCH(QString, list);
        QFETCH(bool, readOnly);
        TPages pages(static_cast<TModule>(module));
        QComboBox* box = pages.List(list);
        QVERIFY(box);
        QCOMPARE(ListReadOnly(box), readOnly);
        const QList<QColor> face = Face(box);
        if (readOnly) {
            for (const QColor& colour : face)
                QCOMPARE(colour, NotSupportedColor);
        } else {
            QCOMPARE(face, SkinFace(box));
        }

        // What the user does to a read-only list changes nothing; a selectable
        // list takes the same keys.
        const int before = box->currentIndex();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Down);
        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
        const bool opened = box->view()->isVisible();
        box->hidePopup();
        if (readOnly) {
            QCOMPARE(box->currentIndex(), before);
            QVERIFY(!opened);
        } else {
            QVERIFY(opened);
        }
    }

    // Every list the user can change looks the same, on every page and for every
    // module type.
    void everySelectableListLooksAlike_data()
    {
        QTest::addColumn<int>("module");
        QTest::newRow("current") << int(Current);
        QTest::newRow("2.0") << int(FastSwitchLegacy);
        QTest::newRow("ERROR") << int(Legacy);
    }

    void everySelectableListLooksAlike()
    {
        QFETCH(int, module);
        TPages pages(static_cast<TModule>(module));
        int compared = 0;
        for (QComboBox* list : pages.AllLists()) {
            if (ListReadOnly(list))
                continue;
            QVERIFY2(Face(list) == SkinFace(list), qPrintable(list->accessibleName()));
            ++compared;
        }
        QVERIFY(compared >= 7);
    }
};

QTEST_MAIN(TestListLook)
#include "tst_listlook.moc"
