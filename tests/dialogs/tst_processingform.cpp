// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog: its gauge, its look, and that the user cannot close it.
#include "ProcessingFormUnit.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestProcessingForm : public QObject
{
    Q_OBJECT

private slots:
    void gaugeShowsWholePercentCutDown_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("9 of 17 cut from 52.9") << 17 << 9 << u"52%"_s;
        QTest::newRow("17 of 17") << 17 << 17 << u"100%"_s;
        QTest::newRow("2 of 3 cut from 66.7") << 3 << 2 << u"66%"_s;
        QTest::newRow("start") << 21 << 0 << u"0%"_s;
        QTest::newRow("maximum 0") << 0 << 0 << u"0%"_s;
        QTest::newRow("maximum 0, position set") << 0 << 5 << u"0%"_s;
        QTest::newRow("past the end held at 100") << 10 << 20 << u"100%"_s;
        QTest::newRow("below 0 held at 0") << 10 << -5 << u"0%"_s;
        QTest::newRow("no overflow near the 32-bit limit")
            << std::numeric_limits<int>::max() << std::numeric_limits<int>::max() - 1 << u"99%"_s;
    }

    void gaugeShowsWholePercentCutDown()
    {
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(QString, text);
        TProcessingForm form;
        form.ProcessBar->SetMax(maximum);
        form.ProcessBar->SetPosition(position);
        QCOMPARE(form.ProcessBar->Max(), maximum);
        QCOMPARE(form.ProcessBar->Position(), position);
        QCOMPARE(form.ProcessBar->Text(), text);
    }

    void lookAtCreation()
    {
        TProcessingForm form;
        QCOMPARE(form.windowTitle(), u"PROCESSING"_s);
        QCOMPARE(form.size(), QSize(311, 60));
        QVERIFY(!form.isModal());
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(216, 215, 222));
        QCOMPARE(form.ProcessingTitle->title(), u"Processing Title"_s);
        QCOMPARE(form.ProcessingTitle->geometry(), QRect(5, 0, 301, 55));
        QCOMPARE(form.ProcessBar->geometry(), QRect(40, 34, 250, 13));
        QCOMPARE(form.ProcessBar->Text(), u"0%"_s);
        QStringList texts;
        for (const QLabel* label : form.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(u"Just wait few seconds during this processing"_s));
    }

    void userCannotCloseIt()
    {
        TProcessingForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.close();
        QVERIFY(form.isVisible());
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        form.reject();
        QVERIFY(form.isVisible());
        // Its owner still can.
        form.hide();
        QVERIFY(!form.isVisible());
    }

    void centresOnTheMainWindowWithIntegerHalves_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("main window") << QRect(100, 50, 560, 436) << QPoint(100 + 280 - 155, 50 + 218 - 30);
        QTest::newRow("odd sizes") << QRect(0, 0, 561, 437) << QPoint(280 - 155, 218 - 30);
        QTest::newRow("left of the screen") << QRect(-601, -101, 200, 40) << QPoint(-601 + 100 - 155, -101 + 20 - 30);
    }

    void centresOnTheMainWindowWithIntegerHalves()
    {
        QFETCH(QRect, main);
        QFETCH(QPoint, expected);
        QWidget mainWindow;
        mainWindow.setGeometry(main);
        TProcessingForm form;
        form.CentreOn(&mainWindow);
        QCOMPARE(form.pos(), expected);
    }
};

QTEST_MAIN(TestProcessingForm)
#include "tst_processingform.moc"
