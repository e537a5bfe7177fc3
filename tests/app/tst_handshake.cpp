// SPDX-License-Identifier: GPL-3.0-or-later
// The handshake with a module that cannot name its model: the product list and its choice.
#include "Session.h"

#include "IniFile.h"
#include "SelectProductUnit.h"

#include <QDir>
#include <QPushButton>

namespace {

// The user, in the product selection dialog when it comes: notes the products
// offered (each followed by a space) and selects the second. Any other dialog
// is refused, so that nothing is listed.
void ChooseTheSecondProduct(QString& listed)
{
    WhenModalShown([&listed](QWidget* modal) {
        auto* dialog = qobject_cast<TSelectProductForm*>(modal);
        if (!dialog) {
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        for (int i = 0; i < dialog->ProductList->count(); ++i)
            listed += dialog->ProductList->itemText(i) + u' ';
        dialog->ProductList->setCurrentIndex(1);
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("SELECT"))
                button->click();
    });
}

} // namespace

class TestHandshake : public QObject
{
    Q_OBJECT

private slots:
    void unnamedModuleGetsTheProductChosenByTheUser()
    {
        radiosim::Options options;
        options.modelUnknown = true;
        TSession s(options);
        s.Open(); // the serial port dialog closes before the product selection opens
        QString listed;
        ChooseTheSecondProduct(listed);
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->BtnRead->isEnabled(), 5000);
        QCOMPARE(listed, QStringLiteral("QN7101 QN7201 BT-OTHER "));
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN7201"));
        QCOMPARE(s.Form->EditParams.Local.ModelName, QByteArray("QN7201"));
        QVERIFY(s.Form->BtnInit->isEnabled());
    }

    // The product list beside the program, its folder renamed while the program
    // runs: the selection still offers the products.
    void productListIsFoundAfterItsFolderWasRenamed()
    {
        radiosim::Options options;
        options.modelUnknown = true;
        TSession s(options);
        QTemporaryDir programFolder;
        QVERIFY(programFolder.isValid());
        QVERIFY(QDir(programFolder.path()).mkdir(QStringLiteral("Setup")));
        QFile list(programFolder.filePath(QStringLiteral("Setup/config.ini")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[PRODUCTS]\r\nPRODUCT_CNT=2\r\nPRODUCT01=QN7101\r\nPRODUCT02=QN9300\r\n");
        list.close();
        s.Form->SetProductListFile(ProductListPath(programFolder.path()));
        QVERIFY(QDir(programFolder.path()).rename(QStringLiteral("Setup"), QStringLiteral("setup")));

        s.Open();
        QString listed;
        ChooseTheSecondProduct(listed);
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->BtnRead->isEnabled() || !s.Messages.isEmpty(), 5000);
        QCOMPARE(s.Messages, QStringList());
        QCOMPARE(listed, QStringLiteral("QN7101 QN9300 "));
        QCOMPARE(s.Form->ReadParams.Local.ModelName, QByteArray("QN9300"));
    }

    void refusingTheProductEndsTheConnectionWithoutRestart()
    {
        radiosim::Options options;
        options.modelUnknown = true;
        TSession s(options);
        s.Open();
        WhenModalShown([](QWidget* modal) {
            for (auto* button : modal->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("DISCONNECT"))
                    button->click();
        });
        QTRY_VERIFY_WITH_TIMEOUT(s.Form->SerialLED->On(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 5000);
        QVERIFY(s.Form->BtnOpen->isEnabled());
        QVERIFY(s.Module.receivedBytes().find("ATZ") == std::string::npos);
    }
};

QTEST_MAIN(TestHandshake)
#include "tst_handshake.moc"
