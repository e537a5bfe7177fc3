// SPDX-License-Identifier: GPL-3.0-or-later
// The Multi-connection page: choices from the product list and the MODE 0 lock.
#include "MultiCommUnit.h"
#include "PageTestSupport.h"
#include "PropertyUnit.h"
#include "Skin.h"
#include "TEditBox.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList DesignedModes{u"MODE 0"_s, u"MODE 1"_s, u"MODE 2"_s};
const QStringList DesignedDevices{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s};
const QStringList ThreeModes = DesignedModes;
const QStringList FourDevices{u"1"_s, u"2"_s, u"3"_s, u"4"_s};

} // namespace

class TestMultiCommPage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TMultiCommParam m_group;
    std::unique_ptr<TMultiCommForm> m_page;

    QString ConfigPath() const { return m_dir.filePath(u"config.ini"_s); }

    void WriteConfig(const QByteArray& content)
    {
        QFile file(ConfigPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // The opening as the main window runs it.
    void Open(const QByteArray& model)
    {
        m_page = std::make_unique<TMultiCommForm>();
        m_page->ModelName = model;
        m_page->ConfigPath = ConfigPath();
        m_page->Group = &m_group;
        m_page->LoadModelChoices();
        m_page->LoadFromParams();
        m_page->ApplyOperationModeLock();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(ConfigPath());
        m_group = TMultiCommParam{};
    }

    void openingBuildsChoicesFromProductList_data()
    {
        QTest::addColumn<QByteArray>("config"); // null: no file
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("buffer");
        QTest::addColumn<QStringList>("modeItems");
        QTest::addColumn<bool>("modeEnabled");
        QTest::addColumn<int>("modeShown");
        QTest::addColumn<QStringList>("deviceItems");
        QTest::addColumn<bool>("unlocked"); // device list and buffer box
        QTest::addColumn<int>("deviceShown");
        QTest::addColumn<int>("bufferStored");

        const QByteArray m = "QN7x01";
        const QByteArray three4 = "[QN7x01]\nOPMODE=3\nNUMBEROFDEVICE=4\n";
        QTest::newRow("OPMODE 3, NUMBEROFDEVICE 4")
            << three4 << m << 1 << 3 << 20 << ThreeModes << true << 1 << FourDevices << true << 2 << 20;
        QTest::newRow("OPMODE 1: single mode, stored mode 1 shows nothing")
            << QByteArray("[QN7x01]\nOPMODE=1\nNUMBEROFDEVICE=4\n") << m << 1 << 2 << 20 << QStringList{u"MODE 0"_s}
            << false << -1 << FourDevices << true << 1 << 20;
        QTest::newRow("OPMODE 0: single mode, mode 0 locks")
            << QByteArray("[QN7x01]\nOPMODE=0\nNUMBEROFDEVICE=4\n") << m << 0 << 1 << 0 << QStringList{u"MODE 0"_s}
            << false << 0 << FourDevices << false << 0 << 0;
        QTest::newRow("NUMBEROFDEVICE 1: buffer stored 0, locked at mode 0")
            << QByteArray("[QN7x01]\nOPMODE=3\nNUMBEROFDEVICE=1\n") << m << 0 << 1 << 30 << ThreeModes << true << 0
            << QStringList{u"1"_s} << false << 0 << 0;
        QTest::newRow("NUMBEROFDEVICE 1: buffer stored 0, unlocked by mode 2")
            << QByteArray("[QN7x01]\nOPMODE=3\nNUMBEROFDEVICE=1\n") << m << 2 << 1 << 30 << ThreeModes << true << 2
            << QStringList{u"1"_s} << true << 0 << 0;
        QTest::newRow("stored 7 devices with 4 items shows nothing")
            << three4 << m << 1 << 7 << 5 << ThreeModes << true << 1 << FourDevices << true << -1 << 5;
        QTest::newRow("no file") << QByteArray() << m << 1 << 3 << 5 << DesignedModes << true << 1 << DesignedDevices
                                 << true << 2 << 5;
        QTest::newRow("no section for the model")
            << QByteArray("[QN7101]\nOPMODE=1\nNUMBEROFDEVICE=1\n") << m << 1 << 3 << 5 << DesignedModes << true << 1
            << DesignedDevices << true << 2 << 5;
        QTest::newRow("no OPMODE: device count is not read either")
            << QByteArray("[QN7x01]\nNUMBEROFDEVICE=1\n") << m << 2 << 3 << 5 << DesignedModes << true << 2
            << DesignedDevices << true << 2 << 5;
        QTest::newRow("OPMODE not a number") << QByteArray("[QN7x01]\nOPMODE=three\nNUMBEROFDEVICE=1\n") << m << 1
                                             << 3 << 5 << DesignedModes << true << 1 << DesignedDevices << true << 2
                                             << 5;
        QTest::newRow("absurd OPMODE") << QByteArray("[QN7x01]\nOPMODE=2000000000\nNUMBEROFDEVICE=1\n") << m << 1
                                       << 3 << 5 << DesignedModes << true << 1 << DesignedDevices << true << 2 << 5;
        QTest::newRow("NUMBEROFDEVICE not a number")
            << QByteArray("[QN7x01]\nOPMODE=2\nNUMBEROFDEVICE=4x\n") << m << 1 << 3 << 5
            << QStringList{u"MODE 0"_s, u"MODE 1"_s} << true << 1 << DesignedDevices << true << 2 << 5;
        QTest::newRow("no model name") << three4 << QByteArray() << 1 << 3 << 5 << DesignedModes << true << 1
                                       << DesignedDevices << true << 2 << 5;
    }
    void openingBuildsChoicesFromProductList()
    {
        QFETCH(QByteArray, config);
        QFETCH(int, mode);
        QFETCH(int, devices);
        if (!config.isNull())
            WriteConfig(config);
        m_group.OperationMode = mode;
        m_group.NumberOfDevice = devices;
        m_group.RxBufferSize = Fetch<int>("buffer");
        Open(Fetch<QByteArray>("model"));

        QFETCH(bool, unlocked);
        QFETCH(int, bufferStored);
        QCOMPARE(Items(m_page->OperationMode), Fetch<QStringList>("modeItems"));
        QCOMPARE(m_page->OperationMode->isEnabled(), Fetch<bool>("modeEnabled"));
        QCOMPARE(m_page->OperationMode->currentIndex(), Fetch<int>("modeShown"));
        QCOMPARE(Items(m_page->NumberOfDevice), Fetch<QStringList>("deviceItems"));
        QCOMPARE(m_page->NumberOfDevice->isEnabled(), unlocked);
        QCOMPARE(m_page->NumberOfDevice->currentIndex(), Fetch<int>("deviceShown"));
        QCOMPARE(m_page->RxBufferSize->isEnabled(), unlocked);
        QCOMPARE(m_page->RxBufferSize->text(), QString::number(bufferStored));
        QCOMPARE(m_group.RxBufferSize, bufferStored);
        // Loading never rewrites the choices themselves.
        QCOMPARE(m_group.OperationMode, mode);
        QCOMPARE(m_group.NumberOfDevice, devices);
    }

    void modeZeroLocksAndOtherModesUnlock()
    {
        WriteConfig("[QN7x01]\nOPMODE=3\nNUMBEROFDEVICE=4\n");
        m_group.OperationMode = 1;
        m_group.NumberOfDevice = 3;
        m_group.RxBufferSize = 20;
        Open("QN7x01");

        UserPick(m_page->OperationMode, 0);
        QCOMPARE(m_page->NumberOfDevice->currentText(), u"1"_s);
        QCOMPARE(m_page->RxBufferSize->text(), u"0"_s);
        QVERIFY(!m_page->NumberOfDevice->isEnabled());
        QVERIFY(!m_page->RxBufferSize->isEnabled());
        QCOMPARE(m_group.OperationMode, 0);
        QCOMPARE(m_group.NumberOfDevice, 1);
        QCOMPARE(m_group.RxBufferSize, 0);

        UserPick(m_page->OperationMode, 1);
        QVERIFY(m_page->NumberOfDevice->isEnabled());
        QVERIFY(m_page->RxBufferSize->isEnabled());
        QCOMPARE(m_page->NumberOfDevice->currentText(), u"1"_s);
        QCOMPARE(m_page->RxBufferSize->text(), u"0"_s);
        QCOMPARE(m_group.OperationMode, 1);
        QCOMPARE(m_group.NumberOfDevice, 1);
        QCOMPARE(m_group.RxBufferSize, 0);
    }

    void devicePickStoresCount()
    {
        m_group.OperationMode = 1;
        m_group.NumberOfDevice = 1;
        Open("QN7x01");
        UserPick(m_page->NumberOfDevice, 3);
        QCOMPARE(m_group.NumberOfDevice, 4);
        m_page->NumberOfDevice->setCurrentIndex(6); // by program: stores nothing
        QCOMPARE(m_group.NumberOfDevice, 4);
    }

    void bufferSizeTakesThreeDigitsAndKeepsValueWhenEmptied()
    {
        m_group.OperationMode = 1;
        m_group.RxBufferSize = 9;
        Open("QN7x01");
        m_page->RxBufferSize->clear();
        QTest::keyClicks(m_page->RxBufferSize, u"1a2 .b34"_s);
        QCOMPARE(m_page->RxBufferSize->text(), u"123"_s);
        QCOMPARE(m_group.RxBufferSize, 123);
        UserErase(m_page->RxBufferSize);
        QCOMPARE(m_group.RxBufferSize, 123);
        m_page->RxBufferSize->setText(u"4x"_s); // cannot be typed; must not be stored
        QCOMPARE(m_group.RxBufferSize, 123);
    }

    void configValueIsReadAfreshEachTime()
    {
        m_page = std::make_unique<TMultiCommForm>();
        QCOMPARE(m_page->ReadConfigValue("QN7x01", "OPMODE"), QByteArray());
        m_page->ConfigPath = ConfigPath();
        QCOMPARE(m_page->ReadConfigValue("QN7x01", "OPMODE"), QByteArray());
        WriteConfig("[QN7x01]\nOPMODE=3\n");
        QCOMPARE(m_page->ReadConfigValue("QN7x01", "OPMODE"), QByteArray("3"));
        QCOMPARE(m_page->ReadConfigValue("QN7x01", "NUMBEROFDEVICE"), QByteArray());
        WriteConfig("[QN7x01]\nOPMODE=5\n");
        QCOMPARE(m_page->ReadConfigValue("QN7x01", "OPMODE"), QByteArray("5"));
    }
};

QTEST_MAIN(TestMultiCommPage)
#include "tst_multicommpage.moc"
