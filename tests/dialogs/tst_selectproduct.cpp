// SPDX-License-Identifier: GPL-3.0-or-later
// The product selection dialog: its list from the product list file, and its buttons.
#include "SelectProductUnit.h"

#include "MessageBox.h"
#include "Skin.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSelectProduct : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_messages;

    // Writes config.ini with `content`; an empty content leaves no file at all.
    QString WriteConfig(const QByteArray& content)
    {
        const QString path = m_dir.filePath(u"config.ini"_s);
        QFile::remove(path);
        if (!content.isEmpty()) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return {};
            file.write(content);
        }
        return path;
    }

    static QStringList Items(const TSelectProductForm& form)
    {
        QStringList items;
        for (int i = 0; i < form.ProductList->count(); ++i)
            items << form.ProductList->itemText(i);
        return items;
    }

private slots:
    void init()
    {
        m_messages.clear();
        PlatformMessageBox::SetHook([this](const QString& text) { m_messages << text; });
    }

    void cleanup() { PlatformMessageBox::SetHook({}); }

    void fillsTheListFromTheFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("three in order")
            << "[PRODUCTS]\nPRODUCT_CNT=3\nPRODUCT03=QN7x01\nPRODUCT01=QN7101\nPRODUCT02=QN7201\n"_ba
            << QStringList{u"QN7101"_s, u"QN7201"_s, u"QN7x01"_s} << u"QN7101"_s << QStringList{};
        QByteArray twelve = "[PRODUCTS]\nPRODUCT_CNT=12\nPRODUCT1=one digit is not read\n"_ba;
        QStringList twelveNames;
        for (int k = 1; k <= 12; ++k) {
            twelve += "PRODUCT" + QByteArray::number(k).rightJustified(2, '0') + "=M" + QByteArray::number(k) + '\n';
            twelveNames << u"M"_s + QString::number(k);
        }
        QTest::newRow("count 12, two digits and more") << twelve << twelveNames << u"M1"_s << QStringList{};
        QTest::newRow("a missing key gives an empty item")
            << "[PRODUCTS]\nPRODUCT_CNT=2\nPRODUCT01=QN7101\n"_ba << QStringList{u"QN7101"_s, QString()}
            << u"QN7101"_s << QStringList{};
        QTest::newRow("other letter cases and blanks")
            << "[products]\nproduct_cnt = +2\n  Product01  =  QN 7101  \nproduct02=B\n"_ba
            << QStringList{u"QN 7101"_s, u"B"_s} << u"QN 7101"_s << QStringList{};
        QTest::newRow("count 0") << "[PRODUCTS]\nPRODUCT_CNT=0\nPRODUCT01=A\n"_ba << QStringList{} << QString()
                                 << QStringList{};
        QTest::newRow("negative count") << "[PRODUCTS]\nPRODUCT_CNT=-4\nPRODUCT01=A\n"_ba << QStringList{}
                                        << QString() << QStringList{};
        QTest::newRow("count not a number")
            << "[PRODUCTS]\nPRODUCT_CNT=three\nPRODUCT01=A\n"_ba << QStringList{} << QString()
            << QStringList{u"'three' is not a valid integer value"_s};
        QTest::newRow("count with trailing text")
            << "[PRODUCTS]\nPRODUCT_CNT=2x\nPRODUCT01=A\n"_ba << QStringList{} << QString()
            << QStringList{u"'2x' is not a valid integer value"_s};
        QTest::newRow("count beyond 32 bits")
            << "[PRODUCTS]\nPRODUCT_CNT=4294967297\n"_ba << QStringList{} << QString()
            << QStringList{u"'4294967297' is not a valid integer value"_s};
        QTest::newRow("hexadecimal count")
            << "[PRODUCTS]\nPRODUCT_CNT=0x2\n"_ba << QStringList{} << QString()
            << QStringList{u"'0x2' is not a valid integer value"_s};
        QTest::newRow("no count key") << "[PRODUCTS]\nPRODUCT01=A\n"_ba << QStringList{} << QString()
                                      << QStringList{u"'' is not a valid integer value"_s};
        QTest::newRow("no section") << "[OTHER]\nPRODUCT_CNT=1\nPRODUCT01=A\n"_ba << QStringList{} << QString()
                                    << QStringList{u"'' is not a valid integer value"_s};
        QTest::newRow("no file") << QByteArray() << QStringList{} << QString()
                                 << QStringList{u"'' is not a valid integer value"_s};
    }

    void fillsTheListFromTheFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, items);
        QFETCH(QString, selected);
        QFETCH(QStringList, messages);
        TSelectProductForm form(WriteConfig(content));
        QCOMPARE(Items(form), items);
        QCOMPARE(form.ProductList->currentIndex(), items.isEmpty() ? -1 : 0);
        QCOMPARE(form.SelectedProduct(), selected);
        QCOMPARE(m_messages, messages);
        QVERIFY(!form.Confirmed);
    }

    void aHugeCountIsCapped()
    {
        TSelectProductForm form(WriteConfig("[PRODUCTS]\nPRODUCT_CNT=2147483647\nPRODUCT01=A\n"_ba));
        QCOMPARE(form.ProductList->count(), TSelectProductForm::MaxProducts);
        QCOMPARE(form.SelectedProduct(), u"A"_s);
        QVERIFY(m_messages.isEmpty());
    }

    void lookAtCreation()
    {
        TSelectProductForm form(WriteConfig("[PRODUCTS]\nPRODUCT_CNT=1\nPRODUCT01=A\n"_ba));
        QCOMPARE(form.windowTitle(), u"Product Selection"_s);
        QCOMPARE(form.size(), QSize(219, 81));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!form.ProductList->isEditable());
        QVERIFY(form.ProductList->font().bold());
        QCOMPARE(form.ProductList->palette().color(QPalette::Text), AccentBlue);
        QCOMPARE(form.ProductList->accessibleName(), u"MODEL NAME"_s);
        QCOMPARE(form.BtnSelect->text(), u"SELECT"_s);
        QCOMPARE(form.BtnSelect->accessibleName(), u"SELECT"_s);
        QCOMPARE(form.BtnSelect->geometry(), QRect(8, 55, 98, 21));
        QCOMPARE(form.BtnSelect->palette().color(QPalette::ButtonText), AccentRed);
        QCOMPARE(form.BtnDisconnect->text(), u"DISCONNECT"_s);
        QCOMPARE(form.BtnDisconnect->accessibleName(), u"DISCONNECT"_s);
        QCOMPARE(form.BtnDisconnect->geometry(), QRect(113, 55, 98, 21));
    }

    void buttonsSetConfirmedAndClose_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("chosen");
        const QByteArray two = "[PRODUCTS]\nPRODUCT_CNT=2\nPRODUCT01=A\nPRODUCT02=B\n"_ba;
        QTest::newRow("SELECT") << two << true << u"B"_s;
        QTest::newRow("DISCONNECT") << two << false << u"B"_s;
        QTest::newRow("SELECT on an empty list") << "[PRODUCTS]\nPRODUCT_CNT=0\n"_ba << true << QString();
    }

    void buttonsSetConfirmedAndClose()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, select);
        QFETCH(QString, chosen);
        TSelectProductForm form(WriteConfig(content));
        form.Confirmed = !select;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (form.ProductList->count() > 1)
            form.ProductList->setCurrentIndex(1);
        QTest::mouseClick(select ? form.BtnSelect : form.BtnDisconnect, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Confirmed, select);
        QCOMPARE(form.SelectedProduct(), chosen);
    }
};

QTEST_MAIN(TestSelectProduct)
#include "tst_selectproduct.moc"
