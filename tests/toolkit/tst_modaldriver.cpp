// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' modal driver keeps to its give-up time: a dialog that comes later
// is left to whoever else is waiting for it.

#include "ModalDriver.h"

#include <QDialog>
#include <QTest>

class TestModalDriver : public QObject
{
    Q_OBJECT

private slots:
    void actsOnlyOnADialogShownBeforeItGivesUp_data()
    {
        QTest::addColumn<int>("giveUpMs");
        QTest::addColumn<int>("shownAfterMs");
        QTest::addColumn<bool>("acted");
        QTest::newRow("shown in time") << 1000 << 100 << true;
        QTest::newRow("shown after giving up") << 200 << 600 << false;
        QTest::newRow("default, shown in time") << -1 << 600 << true;
    }

    void actsOnlyOnADialogShownBeforeItGivesUp()
    {
        QFETCH(int, giveUpMs);
        QFETCH(int, shownAfterMs);
        QFETCH(bool, acted);
        bool called = false;
        auto act = [&called](QWidget* modal) {
            called = true;
            static_cast<QDialog*>(modal)->reject();
        };
        if (giveUpMs < 0)
            WhenModalShown(act);
        else
            WhenModalShown(act, giveUpMs);
        QTest::qWait(shownAfterMs);
        QDialog dialog;
        // Whoever else waits: closes the dialog a while later if the driver did not.
        QTimer::singleShot(400, &dialog, &QDialog::reject);
        dialog.exec();
        QCOMPARE(called, acted);
    }
};

QTEST_MAIN(TestModalDriver)
#include "tst_modaldriver.moc"
