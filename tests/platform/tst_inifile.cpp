// SPDX-License-Identifier: GPL-3.0-or-later
// The INI reader and the product list file's place beside the program.
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

const QByteArray ProductList =
    "; sample list\r\n"
    "# another comment\r\n"
    "\r\n"
    "[PRODUCTS]\r\n"
    "PRODUCT_CNT=12\r\n"
    "PRODUCT01=ONE\r\n"
    "PRODUCT02=TWO\r\n"
    "PRODUCT03=THREE\r\n"
    "PRODUCT04=FOUR\r\n"
    "PRODUCT05=FIVE\r\n"
    "PRODUCT06=SIX\r\n"
    "PRODUCT07=SEVEN\r\n"
    "PRODUCT08=EIGHT\r\n"
    "PRODUCT09=NINE\r\n"
    "PRODUCT10=TEN\r\n"
    "PRODUCT11=ELEVEN\r\n"
    "PRODUCT12=TWELVE\r\n";

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void readsValueByRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("count with CR LF and comments") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT_CNT") << QByteArray("12");
        QTest::newRow("single digit keys with leading zero") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT09") << QByteArray("NINE");
        QTest::newRow("two digit key 10") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT10") << QByteArray("TEN");
        QTest::newRow("two digit key 12") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT12") << QByteArray("TWELVE");
        QTest::newRow("key without leading zero is another key") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT1") << QByteArray();
        QTest::newRow("key past the list is missing") << ProductList << QByteArray("PRODUCTS") << QByteArray("PRODUCT13") << QByteArray();
        QTest::newRow("missing section") << ProductList << QByteArray("QN7101") << QByteArray("OPMODE") << QByteArray();
        QTest::newRow("LF line ends") << QByteArray("[A]\nK=v1\nL=v2\n") << QByteArray("A") << QByteArray("L") << QByteArray("v2");
        QTest::newRow("lone CR ends a line") << QByteArray("[A]\rK=a\rb\rL=c") << QByteArray("A") << QByteArray("K") << QByteArray("a");
        QTest::newRow("lone CR inside a value") << QByteArray("[S]\nK=a\rb\n") << QByteArray("S") << QByteArray("K") << QByteArray("a");
        QTest::newRow("last line without line end") << QByteArray("[A]\r\nK=last") << QByteArray("A") << QByteArray("K") << QByteArray("last");
        QTest::newRow("section and key in other letter case")
            << QByteArray("[products]\r\nproduct_cnt=3\r\n") << QByteArray("PRODUCTS") << QByteArray("PRODUCT_CNT") << QByteArray("3");
        QTest::newRow("asked in lower case")
            << QByteArray("[PRODUCTS]\r\nPRODUCT_CNT=3\r\n") << QByteArray("products") << QByteArray("Product_Cnt") << QByteArray("3");
        QTest::newRow("blanks around name, equals sign and value")
            << QByteArray("[PRODUCTS]\r\n \tPRODUCT01  =   QN 7101 \t\r\n") << QByteArray("PRODUCTS") << QByteArray("PRODUCT01") << QByteArray("QN 7101");
        QTest::newRow("blanks inside section brackets")
            << QByteArray("  [ QN7101 ]  \r\nOPMODE=3\r\n") << QByteArray("QN7101") << QByteArray("OPMODE") << QByteArray("3");
        QTest::newRow("value after the first equals sign")
            << QByteArray("[A]\r\nK = a=b = c\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("a=b = c");
        QTest::newRow("empty value") << QByteArray("[A]\r\nK=\r\n") << QByteArray("A") << QByteArray("K") << QByteArray();
        QTest::newRow("key of another section is not found")
            << QByteArray("[A]\r\nK=a\r\n[B]\r\nL=b\r\n") << QByteArray("B") << QByteArray("K") << QByteArray();
        QTest::newRow("key before any section belongs to none")
            << QByteArray("K=loose\r\n[A]\r\nL=a\r\n") << QByteArray("A") << QByteArray("K") << QByteArray();
        QTest::newRow("commented out key is not read")
            << QByteArray("[A]\r\n;K=one\r\n  # K=two\r\nK=three\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("three");
        QTest::newRow("duplicate key: first wins")
            << QByteArray("[A]\r\nK=first\r\nK=second\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("first");
        QTest::newRow("duplicate section: first wins")
            << QByteArray("[A]\r\nK=first\r\n[B]\r\n[a]\r\nK=second\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("first");
        QTest::newRow("duplicate section adds keys")
            << QByteArray("[A]\r\nK=first\r\n[B]\r\n[A]\r\nL=later\r\n") << QByteArray("A") << QByteArray("L") << QByteArray("later");
        QTest::newRow("unclosed bracket keeps section")
            << QByteArray("[A]\r\n[broken\r\nK=a\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("a");
        QTest::newRow("byte order mark before first section")
            << QByteArray("\xEF\xBB\xBF[A]\r\nK=a\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("a");
        QTest::newRow("line without equals sign is no key")
            << QByteArray("[A]\r\nK\r\nK=a\r\n") << QByteArray("A") << QByteArray("K") << QByteArray("a");
    }

    void readsValueByRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(WriteFile(path, content));
        QCOMPARE(ReadIniValue(path, section, key), expected);
    }

    void missingFileReadsEmpty()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(ReadIniValue(dir.filePath(QStringLiteral("none.ini")), "PRODUCTS", "PRODUCT_CNT"), QByteArray());
    }

    void longValueIsCutTo2047Characters()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QByteArray value;
        for (int i = 0; i < 3000; ++i)
            value.append(char('a' + i % 26));
        QVERIFY(WriteFile(path, "[A]\r\nK=" + value + "\r\n"));

        const QByteArray read = ReadIniValue(path, "A", "K");
        QCOMPARE(read.size(), 2047);
        QCOMPARE(read, value.left(2047));
    }

    void fileIsReadAfreshOnEveryCall()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(WriteFile(path, "[A]\r\nK=old\r\n"));
        QCOMPARE(ReadIniValue(path, "A", "K"), QByteArray("old"));
        QVERIFY(WriteFile(path, "[A]\r\nK=new\r\n"));
        QCOMPARE(ReadIniValue(path, "A", "K"), QByteArray("new"));
    }

    void productListPathFindsSetupFolderInAnyCase_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");

        QTest::newRow("Setup") << QStringLiteral("Setup") << QStringLiteral("config.ini");
        QTest::newRow("setup") << QStringLiteral("setup") << QStringLiteral("config.ini");
        QTest::newRow("SETUP") << QStringLiteral("SETUP") << QStringLiteral("config.ini");
        QTest::newRow("file name in capitals") << QStringLiteral("setup") << QStringLiteral("CONFIG.INI");
    }

    void productListPathFindsSetupFolderInAnyCase()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(folder));
        const QString expected = dir.filePath(folder + u'/' + file);
        QVERIFY(WriteFile(expected, "[PRODUCTS]\r\nPRODUCT_CNT=1\r\n"));

        const QString path = ProductListPath(dir.path());
        QCOMPARE(path, expected);
        QCOMPARE(ReadIniValue(path, "PRODUCTS", "PRODUCT_CNT"), QByteArray("1"));
    }

    // The program finds the path once; the folder or the file may be renamed
    // afterwards, while it runs, and each read looks them up again.
    void productListRenamedWhileRunningIsStillRead_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("Setup to setup") << QStringLiteral("Setup/config.ini") << QStringLiteral("setup/config.ini")
                                        << QByteArray("1");
        QTest::newRow("setup to SETUP") << QStringLiteral("setup/config.ini") << QStringLiteral("SETUP/config.ini")
                                        << QByteArray("1");
        QTest::newRow("file to capitals") << QStringLiteral("Setup/config.ini")
                                          << QStringLiteral("sEtUp/CONFIG.INI") << QByteArray("1");
        QTest::newRow("folder under another name") << QStringLiteral("Setup/config.ini")
                                                   << QStringLiteral("Setup2/config.ini") << QByteArray();
    }

    void productListRenamedWhileRunningIsStillRead()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QByteArray, expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString beforeFolder = before.section(u'/', 0, 0);
        const QString afterFolder = after.section(u'/', 0, 0);
        QVERIFY(QDir(dir.path()).mkdir(beforeFolder));
        QVERIFY(WriteFile(dir.filePath(before), "[PRODUCTS]\r\nPRODUCT_CNT=1\r\n"));
        const QString path = ProductListPath(dir.path());
        QCOMPARE(ReadProductListValue(path, "PRODUCTS", "PRODUCT_CNT"), QByteArray("1"));

        QVERIFY(QDir(dir.path()).rename(beforeFolder, afterFolder));
        QVERIFY(QDir(dir.filePath(afterFolder)).rename(before.section(u'/', 1), after.section(u'/', 1))
                || before.section(u'/', 1) == after.section(u'/', 1));
        QCOMPARE(ReadProductListValue(path, "PRODUCTS", "PRODUCT_CNT"), expected);
    }

    void productListPathPrefersExactSpelling()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("SETUP")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Setup")));
        QCOMPARE(ProductListPath(dir.path()), dir.filePath(QStringLiteral("Setup/config.ini")));
    }

    void productListPathWithoutFolderNamesTheUsualPlace()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = ProductListPath(dir.path());
        QCOMPARE(path, dir.filePath(QStringLiteral("Setup/config.ini")));
        QCOMPARE(ReadIniValue(path, "PRODUCTS", "PRODUCT_CNT"), QByteArray());
    }

    void productListPathIsBesideTheProgram()
    {
        QCOMPARE(ProductListPath(), ProductListPath(QCoreApplication::applicationDirPath()));
        QVERIFY(ProductListPath().startsWith(QCoreApplication::applicationDirPath() + u'/'));
    }

    // The list we ship must offer the models the pages are tried with.
    void shippedListNamesItsModels_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("count") << QByteArray("PRODUCTS") << QByteArray("PRODUCT_CNT") << QByteArray("5");
        QTest::newRow("first") << QByteArray("PRODUCTS") << QByteArray("PRODUCT01") << QByteArray("QN7101");
        QTest::newRow("second") << QByteArray("PRODUCTS") << QByteArray("PRODUCT02") << QByteArray("QN7201");
        QTest::newRow("third") << QByteArray("PRODUCTS") << QByteArray("PRODUCT03") << QByteArray("QN7x01");
        QTest::newRow("QN7101 modes") << QByteArray("QN7101") << QByteArray("OPMODE") << QByteArray("3");
        QTest::newRow("QN7101 devices") << QByteArray("QN7101") << QByteArray("NUMBEROFDEVICE") << QByteArray("7");
        QTest::newRow("QN7201 modes") << QByteArray("QN7201") << QByteArray("OPMODE") << QByteArray("1");
        QTest::newRow("QN7201 devices") << QByteArray("QN7201") << QByteArray("NUMBEROFDEVICE") << QByteArray("1");
        QTest::newRow("QN7x01 modes") << QByteArray("QN7x01") << QByteArray("OPMODE") << QByteArray("2");
        QTest::newRow("QN7x01 devices") << QByteArray("QN7x01") << QByteArray("NUMBEROFDEVICE") << QByteArray("4");
    }

    void shippedListNamesItsModels()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QCOMPARE(ReadIniValue(QStringLiteral(RADIOSET_SHIPPED_PRODUCT_LIST), section, key), expected);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
