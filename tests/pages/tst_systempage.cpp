// SPDX-License-Identifier: GPL-3.0-or-later
// The System page: loading by module type, typed keys and user picks.
#include "ListLook.h"
#include "PageTestSupport.h"
#include "PropertyUnit.h"
#include "Skin.h"
#include "SystemUnit.h"
#include "TEditBox.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TestSystemPage : public QObject
{
    Q_OBJECT

    TSystemParam m_group;
    std::unique_ptr<TSystemForm> m_page;

    void Open(bool legacy, bool fastSwitch)
    {
        m_page = std::make_unique<TSystemForm>();
        m_page->LegacyDevice = legacy;
        m_page->LegacyFastSwitch = fastSwitch;
        m_page->Group = &m_group;
        m_page->LoadFromParams();
    }

    TEditBox* Box(const QString& name) const
    {
        if (name == u"escape")
            return m_page->EscapeChar;
        if (name == u"debug")
            return m_page->DebugChar;
        return m_page->ConnectionDelayTime;
    }

private slots:
    void init()
    {
        m_group = TSystemParam{};
        m_group.StatusMessage = 1;
        m_group.ConnectionMode = 3;
        m_group.EscapeChar = "2B2B2B";
        m_group.DebugChar = "1F";
        m_group.ConnectionDelayTime = 50;
        m_group.StreamSwitchingFast = 1;
    }

    void loadingFollowsModuleType_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<bool>("fastSwitch");
        QTest::addColumn<QString>("delayText");
        QTest::addColumn<bool>("delayReadOnly");
        QTest::addColumn<QColor>("delayColor");
        QTest::addColumn<bool>("streamSelectable");
        QTest::addColumn<int>("streamShown");

        QTest::newRow("current") << false << false << u"50"_s << false << EditColor << true << 1;
        QTest::newRow("2.0") << true << true << QString() << true << NotSupportedColor << true << 1;
        QTest::newRow("ERROR") << true << false << QString() << true << NotSupportedColor << false << -1;
    }
    void loadingFollowsModuleType()
    {
        QFETCH(bool, legacy);
        QFETCH(bool, fastSwitch);
        Open(legacy, fastSwitch);

        QCOMPARE(m_page->StatusMessage->currentIndex(), 1);
        QCOMPARE(m_page->ConnectionMode->currentText(), u"MODE 4"_s);
        QCOMPARE(m_page->EscapeChar->text(), u"2B2B2B"_s);
        QCOMPARE(m_page->DebugChar->text(), u"1F"_s);
        QCOMPARE(m_page->ConnectionDelayTime->text(), Fetch<QString>("delayText"));
        QCOMPARE(m_page->ConnectionDelayTime->isReadOnly(), Fetch<bool>("delayReadOnly"));
        QCOMPARE(Background(m_page->ConnectionDelayTime), Fetch<QColor>("delayColor"));
        // Its look in pixels: tst_listlook.
        QCOMPARE(ListReadOnly(m_page->StreamSwitchingFast), !Fetch<bool>("streamSelectable"));
        QCOMPARE(m_page->StreamSwitchingFast->currentIndex(), Fetch<int>("streamShown"));
        QCOMPARE(Background(m_page->EscapeChar), EditColor);
        // Emptying the unsupported delay box does not touch the stored value.
        QCOMPARE(m_group.ConnectionDelayTime, 50);
    }

    void typedKeys_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");

        QTest::newRow("escape refuses g") << u"escape"_s << u"g"_s << QString();
        QTest::newRow("escape refuses dot") << u"escape"_s << u"."_s << QString();
        QTest::newRow("escape refuses space") << u"escape"_s << u" "_s << QString();
        QTest::newRow("escape takes 12 hex digits, upper case") << u"escape"_s << u"0123456789abcdef"_s
                                                                << u"0123456789AB"_s;
        QTest::newRow("debug refuses g, dot, space") << u"debug"_s << u"g. "_s << QString();
        QTest::newRow("debug stops at 2") << u"debug"_s << u"a1f"_s << u"A1"_s;
        QTest::newRow("delay refuses letters") << u"delay"_s << u"1a2B.3 "_s << u"123"_s;
        QTest::newRow("delay stops at 6") << u"delay"_s << u"12345678"_s << u"123456"_s;
    }
    void typedKeys()
    {
        QFETCH(QString, shown);
        m_group.EscapeChar = "00";
        m_group.DebugChar = "00";
        m_group.ConnectionDelayTime = 7;
        Open(false, false);
        TEditBox* box = Box(Fetch<QString>("box"));
        box->clear();
        QTest::keyClicks(box, Fetch<QString>("typed"));
        QCOMPARE(box->text(), shown);

        const QByteArray escape = box == m_page->EscapeChar && !shown.isEmpty() ? shown.toLatin1() : "00";
        const QByteArray debug = box == m_page->DebugChar && !shown.isEmpty() ? shown.toLatin1() : "00";
        const qint32 delay = box == m_page->ConnectionDelayTime && !shown.isEmpty() ? shown.toInt() : 7;
        QCOMPARE(m_group.EscapeChar, escape);
        QCOMPARE(m_group.DebugChar, debug);
        QCOMPARE(m_group.ConnectionDelayTime, delay);
    }

    void emptiedBoxKeepsField_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("escape") << u"escape"_s;
        QTest::newRow("debug") << u"debug"_s;
        QTest::newRow("delay") << u"delay"_s;
    }
    void emptiedBoxKeepsField()
    {
        Open(false, false);
        TEditBox* box = Box(Fetch<QString>("box"));
        UserErase(box);
        QVERIFY(box->text().isEmpty());
        QCOMPARE(m_group.EscapeChar, QByteArray("2B2B2B"));
        QCOMPARE(m_group.DebugChar, QByteArray("1F"));
        QCOMPARE(m_group.ConnectionDelayTime, 50);
    }

    void nonNumericDelayKeepsStoredValue()
    {
        Open(false, false);
        m_page->ConnectionDelayTime->setText(u"12x"_s);
        QCOMPARE(m_group.ConnectionDelayTime, 50);
    }

    void pastedDelayKeepsDigitsOnly()
    {
        Open(false, false);
        m_page->ConnectionDelayTime->clear();
        QApplication::clipboard()->setText(u"4a\n5"_s);
        if (QApplication::clipboard()->text() != u"4a\n5"_s)
            QSKIP("no clipboard on this platform");
        m_page->ConnectionDelayTime->paste();
        QCOMPARE(m_page->ConnectionDelayTime->text(), u"45"_s);
        QCOMPARE(m_group.ConnectionDelayTime, 45);
    }

    void userPicksAreStored_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("pick");
        QTest::newRow("MODE 1 stores 0") << u"mode"_s << 0;
        QTest::newRow("MODE 3 stores 2") << u"mode"_s << 2;
        QTest::newRow("status DISABLE") << u"status"_s << 0;
        QTest::newRow("stream DISABLE") << u"stream"_s << 0;
    }
    void userPicksAreStored()
    {
        QFETCH(QString, list);
        QFETCH(int, pick);
        Open(false, false);
        QComboBox* control = list == u"mode" ? m_page->ConnectionMode
                             : list == u"status" ? m_page->StatusMessage
                                                 : m_page->StreamSwitchingFast;
        UserPick(control, pick);
        QCOMPARE(list == u"mode" ? m_group.ConnectionMode
                 : list == u"status" ? m_group.StatusMessage
                                     : m_group.StreamSwitchingFast,
                 pick);
    }

    void programSelectionStoresNothing()
    {
        Open(false, false);
        m_page->ConnectionMode->setCurrentIndex(0);
        m_page->StreamSwitchingFast->setCurrentIndex(0);
        QCOMPARE(m_group.ConnectionMode, 3);
        QCOMPARE(m_group.StreamSwitchingFast, 1);
    }

    void unsupportedControlsTakeNoInput()
    {
        Open(true, false);
        UserPick(m_page->StreamSwitchingFast, 0);
        QTest::keyClicks(m_page->ConnectionDelayTime, u"12"_s);
        QCOMPARE(m_page->StreamSwitchingFast->currentIndex(), -1);
        QCOMPARE(m_group.StreamSwitchingFast, 1);
        QVERIFY(m_page->ConnectionDelayTime->text().isEmpty());
        QCOMPARE(m_group.ConnectionDelayTime, 50);
    }
};

QTEST_MAIN(TestSystemPage)
#include "tst_systempage.moc"
