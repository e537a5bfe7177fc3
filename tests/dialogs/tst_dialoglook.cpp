// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs as a user sees them: no text touches a group box's frame, the
// product list's open items look like its closed box, and the shared dialogs
// come back centred over the main window each time they are shown.

#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "InitQuestionFormUnit.h"
#include "ProcessingFormUnit.h"
#include "SearchDevicesFormUnit.h"
#include "SelectProductUnit.h"
#include "SerialFormUnit.h"
#include "WriteQuestionFormUnit.h"

#include "AllocatedBytes.h"
#include "Centring.h"
#include "Skin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QDialog> MakeDialog(const QString& kind)
{
    if (kind == u"error") {
        auto error = std::make_unique<TErrorForm>();
        error->SetError(u"READING ERROR"_s, u"Response Data was not received for Read Command\r\nRead Command Number : 5"_s,
                        u"Contact and Refer Manufacturer"_s);
        return error;
    }
    if (kind == u"write")
        return std::make_unique<TWriteQuestionForm>();
    if (kind == u"init")
        return std::make_unique<TInitQuestionForm>();
    if (kind == u"exit")
        return std::make_unique<TExitQuestionForm>();
    auto progress = std::make_unique<TProcessingForm>();
    progress->ProcessingTitle->setTitle(u"READING PARAMETERS"_s);
    return progress;
}

// How many pixels of `image` inside `area` differ from `background`.
int Marks(const QImage& image, const QRect& area, const QColor& background)
{
    int marks = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.rect().contains(x, y) && image.pixelColor(x, y) != background)
                ++marks;
    return marks;
}

} // namespace

class TestDialogLook : public QObject
{
    Q_OBJECT

private slots:
    // The dialogs built anew at each use, built and drawn again and again, take
    // no more memory each time: the faces the style keeps for their buttons and
    // lists are met again rather than kept once more per dialog.
    void dialogsBuiltAgainTakeNoMoreMemory_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("serial port") << u"serial"_s;
        QTest::newRow("device search") << u"search"_s;
    }

    void dialogsBuiltAgainTakeNoMoreMemory()
    {
        QFETCH(QString, kind);
        const auto buildAndDraw = [&] {
            std::unique_ptr<QDialog> dialog;
            if (kind == u"serial")
                dialog = std::make_unique<TSerialForm>();
            else
                dialog = std::make_unique<TSearchDeviceForm>();
            dialog->setAttribute(Qt::WA_DontShowOnScreen);
            dialog->show();
            (void)dialog->grab();
        };
        for (int i = 0; i < 20; ++i)
            buildAndDraw();
        const qint64 settled = AllocatedBytes();
        constexpr int Times = 100;
        for (int i = 0; i < Times; ++i)
            buildAndDraw();
        const qint64 growth = AllocatedBytes() - settled;
        QVERIFY2(growth < 128 * 1024, qPrintable(u"%1 bytes more after %2 dialogs"_s.arg(growth).arg(Times)));
    }

    void initTestCase() { ApplySkin(*qApp); }

    // The group box drawn alone, its children hidden: where each of its labels
    // writes, and one pixel around, the frame has left nothing.
    void textStaysClearOfGroupFrames_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"error", "write", "init", "exit", "progress"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void textStaysClearOfGroupFrames()
    {
        QFETCH(QString, kind);
        std::unique_ptr<QDialog> dialog = MakeDialog(kind);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        int checked = 0;
        for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
            const QList<QLabel*> labels = group->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
            QList<QRect> places;
            for (QLabel* label : labels) {
                if (label->text().isEmpty() || !label->isVisible())
                    continue;
                // Where the text is drawn: the lines of the label from its top.
                const int lines = int(label->text().count(u'\n')) + 1;
                places << QRect(label->x(), label->y(), label->fontMetrics().horizontalAdvance(label->text().section(u'\n', 0, 0)),
                                lines * label->fontMetrics().height())
                              .adjusted(-1, -1, 1, 0);
                label->hide();
            }
            for (QWidget* other : group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                other->hide();
            const QImage frameOnly = group->grab().toImage();
            const QColor background = frameOnly.pixelColor(group->width() / 2, group->height() - 8);
            for (const QRect& place : places) {
                QVERIFY2(Marks(frameOnly, place, background) == 0,
                         qPrintable(u"the frame reaches into the text at %1,%2"_s.arg(place.x()).arg(place.y())));
                ++checked;
            }
        }
        QVERIFY(checked > 0);
    }

    void productItemsAreBoldAndBlueWhenTheListIsOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config.ini"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[PRODUCTS]\nPRODUCT_CNT=3\nPRODUCT01=QN7101\nPRODUCT02=QN7201\nPRODUCT03=BT-OTHER\n");
        file.close();
        TSelectProductForm form(path);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.ProductList->showPopup();
        QAbstractItemView* view = form.ProductList->view();
        QTRY_VERIFY(view->isVisible());
        const QImage items = view->viewport()->grab().toImage();
        // The items other than the current one (that one is drawn highlighted).
        for (int row = 1; row < form.ProductList->count(); ++row) {
            const QRect place = view->visualRect(form.ProductList->model()->index(row, 0)) & items.rect();
            QVERIFY(!place.isEmpty());
            int blue = 0;
            int grey = 0;
            for (int y = place.top(); y <= place.bottom(); ++y)
                for (int x = place.left(); x <= place.right(); ++x) {
                    const QColor c = items.pixelColor(x, y);
                    if (c == AccentBlue)
                        ++blue;
                    else if (qAbs(c.red() - c.blue()) < 25 && c.red() < 150) // dark grey ink
                        ++grey;
                }
            QVERIFY2(blue > 20, qPrintable(u"row %1: %2 blue pixels"_s.arg(row).arg(blue)));
            QCOMPARE(grey, 0);
            const QFont font = form.ProductList->itemData(row, Qt::FontRole).value<QFont>();
            QVERIFY(font.bold());
        }
        form.ProductList->hidePopup();
    }

    // Shown, hidden, the main window moved, shown again: each time the dialog's
    // frame sits centred over the main window's frame.
    void sharedDialogsAreCentredOnEveryShowing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("error") << u"error"_s;
        QTest::newRow("progress") << u"progress"_s;
    }

    void sharedDialogsAreCentredOnEveryShowing()
    {
        QFETCH(QString, kind);
        QWidget main;
        main.setFixedSize(560, 436);
        main.move(100, 80);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        std::unique_ptr<QDialog> owned = MakeDialog(kind);
        QDialog* dialog = owned.get();
        dialog->setParent(&main, dialog->windowFlags());
        auto* progress = qobject_cast<TProcessingForm*>(dialog);
        for (QPoint mainAt : {QPoint(100, 80), QPoint(100, 80), QPoint(331, 207)}) {
            main.move(mainAt);
            QTRY_COMPARE(main.frameGeometry().topLeft(), mainAt);
            if (progress)
                progress->CentreOn(&main);
            dialog->setModal(false);
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            const QPoint expected = CentredFramePosition(main.frameGeometry(), dialog->frameGeometry().size());
            QTRY_COMPARE(dialog->frameGeometry().topLeft(), expected);
            dialog->hide();
            // Somewhere else while hidden, as a window manager may leave it.
            dialog->move(expected + QPoint(0, 20));
        }
        owned.release();
    }
};

QTEST_MAIN(TestDialogLook)
#include "tst_dialoglook.moc"
