// SPDX-License-Identifier: GPL-3.0-or-later
// The UART page: lists matched by their stored text, flow control by module type.
#include "ListLook.h"
#include "PageTestSupport.h"
#include "PropertyUnit.h"
#include "UartUnit.h"

#include <QComboBox>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TestUartPage : public QObject
{
    Q_OBJECT

    TUartParam m_group;
    std::unique_ptr<TUartForm> m_page;

    void Open(bool legacy) { m_page = LoadedPage<TUartForm>(m_group, legacy); }

private slots:
    void init()
    {
        m_group = TUartParam{};
        m_group.HWFlowControl = 1;
    }

    void loadingMatchesStoredText_data()
    {
        QTest::addColumn<QByteArray>("baud");
        QTest::addColumn<QByteArray>("parity");
        QTest::addColumn<QByteArray>("stop");
        QTest::addColumn<int>("baudShown");
        QTest::addColumn<int>("parityShown");
        QTest::addColumn<int>("stopShown");

        QTest::newRow("9600 None 1") << QByteArray("9600") << QByteArray("None") << QByteArray("1") << 3 << 0 << 0;
        QTest::newRow("230400 Odd 2") << QByteArray("230400") << QByteArray("Odd") << QByteArray("2") << 8 << 2 << 1;
        QTest::newRow("14400 matches nothing") << QByteArray("14400") << QByteArray("Even") << QByteArray("1") << -1
                                               << 1 << 0;
        QTest::newRow("empty matches nothing") << QByteArray() << QByteArray() << QByteArray() << -1 << -1 << -1;
        QTest::newRow("lower-case parity matches nothing") << QByteArray("9600") << QByteArray("none")
                                                           << QByteArray("1") << 3 << -1 << 0;
        QTest::newRow("partial text matches nothing") << QByteArray("960") << QByteArray("Non") << QByteArray(" 1")
                                                      << -1 << -1 << -1;
    }
    void loadingMatchesStoredText()
    {
        QFETCH(QByteArray, baud);
        QFETCH(QByteArray, parity);
        QFETCH(QByteArray, stop);
        m_group.BaudRate = baud;
        m_group.ParityBit = parity;
        m_group.StopBit = stop;
        Open(false);
        QCOMPARE(m_page->BaudRate->currentIndex(), Fetch<int>("baudShown"));
        QCOMPARE(m_page->ParityBit->currentIndex(), Fetch<int>("parityShown"));
        QCOMPARE(m_page->StopBit->currentIndex(), Fetch<int>("stopShown"));
        QCOMPARE(m_group.BaudRate, baud);
        QCOMPARE(m_group.ParityBit, parity);
        QCOMPARE(m_group.StopBit, stop);
    }

    void flowControlFollowsModuleType_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("selectable");
        QTest::newRow("current") << false << 1 << true;
        QTest::newRow("2.0") << true << -1 << false;
        QTest::newRow("ERROR") << true << -1 << false;
    }
    void flowControlFollowsModuleType()
    {
        Open(Fetch<bool>("legacy"));
        QCOMPARE(m_page->HWFlowControl->currentIndex(), Fetch<int>("shown"));
        // Its look in pixels: tst_listlook.
        QCOMPARE(ListReadOnly(m_page->HWFlowControl), !Fetch<bool>("selectable"));
        UserPick(m_page->HWFlowControl, 0);
        QCOMPARE(m_group.HWFlowControl, m_page->HWFlowControl->isEnabled() ? 0 : 1);
    }

    void userPicksStoreItemText_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("pick");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("baud 115200") << 0 << 7 << QByteArray("115200");
        QTest::newRow("baud 1200") << 0 << 0 << QByteArray("1200");
        QTest::newRow("parity Odd") << 1 << 2 << QByteArray("Odd");
        QTest::newRow("stop 2") << 2 << 1 << QByteArray("2");
    }
    void userPicksStoreItemText()
    {
        QFETCH(int, list);
        QFETCH(int, pick);
        QFETCH(QByteArray, stored);
        m_group.BaudRate = "14400";
        m_group.ParityBit = "none";
        m_group.StopBit = "3";
        Open(false);
        QComboBox* lists[] = {m_page->BaudRate, m_page->ParityBit, m_page->StopBit};
        UserPick(lists[list], pick);
        const QByteArray now[] = {m_group.BaudRate, m_group.ParityBit, m_group.StopBit};
        const QByteArray before[] = {"14400", "none", "3"};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(now[i], i == list ? stored : before[i]);
    }

    void programSelectionStoresNothing()
    {
        m_group.BaudRate = "9600";
        Open(false);
        m_page->BaudRate->setCurrentIndex(0);
        m_page->HWFlowControl->setCurrentIndex(0);
        QCOMPARE(m_group.BaudRate, QByteArray("9600"));
        QCOMPARE(m_group.HWFlowControl, 1);
    }

    void listsCarryTheirCaptions()
    {
        Open(false);
        QCOMPARE(m_page->BaudRate->accessibleName(), u"BAUDRATE"_s);
        QCOMPARE(m_page->ParityBit->accessibleName(), u"PARITY BIT"_s);
        QCOMPARE(m_page->StopBit->accessibleName(), u"STOP BIT"_s);
        QCOMPARE(m_page->HWFlowControl->accessibleName(), u"H/W FLOW CONTROL"_s);
        QCOMPARE(m_page->BaudRate->count(), 9);
    }
};

QTEST_MAIN(TestUartPage)
#include "tst_uartpage.moc"
