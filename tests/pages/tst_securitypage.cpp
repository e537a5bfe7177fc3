// SPDX-License-Identifier: GPL-3.0-or-later
// The Security page: loading, user picks and the PIN code box.
#include "PageTestSupport.h"
#include "PropertyUnit.h"
#include "SecurityUnit.h"
#include "Skin.h"
#include "TEditBox.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

class TestSecurityPage : public QObject
{
    Q_OBJECT

    TSecurityParam m_group;
    std::unique_ptr<TSecurityForm> m_page;

    void Open(bool legacy) { m_page = LoadedPage<TSecurityForm>(m_group, legacy); }

private slots:
    void init()
    {
        m_group = TSecurityParam{};
        m_group.PinCode = "1234";
    }

    void loadingFillsControls_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<int>("auth");
        QTest::addColumn<int>("encry");
        QTest::addColumn<QStringList>("authItems");
        QTest::addColumn<int>("authShown");

        const QStringList two{u"DISABLE"_s, u"ENABLE"_s};
        const QStringList three{u"DISABLE"_s, u"ENABLE"_s, u"SSP"_s};
        QTest::newRow("current module, SSP") << false << 2 << 1 << three << 2;
        QTest::newRow("current module, DISABLE") << false << 0 << 0 << three << 0;
        QTest::newRow("2.0 module, ENABLE") << true << 1 << 1 << two << 1;
        QTest::newRow("ERROR module, stored SSP shows nothing") << true << 2 << 0 << two << -1;
    }
    void loadingFillsControls()
    {
        QFETCH(bool, legacy);
        QFETCH(int, auth);
        QFETCH(int, encry);
        m_group.Auth = auth;
        m_group.Encry = encry;
        Open(legacy);

        QCOMPARE(Items(m_page->Auth), Fetch<QStringList>("authItems"));
        QCOMPARE(m_page->Auth->currentIndex(), Fetch<int>("authShown"));
        QCOMPARE(m_page->Encry->currentIndex(), encry);
        QCOMPARE(m_page->PinCode->text(), u"1234"_s);
        QCOMPARE(Background(m_page->PinCode), EditColor);
        // Loading stores nothing back.
        QCOMPARE(m_group.Auth, auth);
        QCOMPARE(m_group.PinCode, QByteArray("1234"));
    }

    void storedSspOnLegacyStaysUntilUserPicks()
    {
        m_group.Auth = 2;
        Open(true);
        m_page->Auth->setCurrentIndex(1); // by program: no handler
        QCOMPARE(m_group.Auth, 2);
        UserPick(m_page->Auth, 0);
        QCOMPARE(m_group.Auth, 0);
    }

    void userPicksAreStored_data()
    {
        QTest::addColumn<bool>("encryption");
        QTest::addColumn<int>("pick");
        QTest::newRow("auth SSP") << false << 2;
        QTest::newRow("auth ENABLE") << false << 1;
        QTest::newRow("encryption ENABLE") << true << 1;
        QTest::newRow("encryption DISABLE") << true << 0;
    }
    void userPicksAreStored()
    {
        QFETCH(bool, encryption);
        QFETCH(int, pick);
        m_group.Auth = 9;
        m_group.Encry = 9;
        Open(false);
        UserPick(encryption ? m_page->Encry : m_page->Auth, pick);
        QCOMPARE(encryption ? m_group.Encry : m_group.Auth, pick);
        QCOMPARE(encryption ? m_group.Auth : m_group.Encry, 9);
    }

    void pinCodeTyping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("lower case becomes upper") << u"ab-c1"_s << u"AB-C1"_s;
        QTest::newRow("stops at 12") << u"0123456789abcdef"_s << u"0123456789AB"_s;
        QTest::newRow("signs and spaces pass") << u"# *."_s << u"# *."_s;
    }
    void pinCodeTyping()
    {
        QFETCH(QString, shown);
        m_group.PinCode.clear();
        Open(false);
        QTest::keyClicks(m_page->PinCode, Fetch<QString>("typed"));
        QCOMPARE(m_page->PinCode->text(), shown);
        QCOMPARE(m_group.PinCode, shown.toLatin1());
    }

    void emptiedPinCodeKeepsStoredCode()
    {
        Open(false);
        UserErase(m_page->PinCode);
        QCOMPARE(m_page->PinCode->text(), QString());
        QCOMPARE(m_group.PinCode, QByteArray("1234"));
    }

    void controlsCarryTheirCaptions()
    {
        Open(false);
        QCOMPARE(m_page->Auth->accessibleName(), u"AUTHENTICATION"_s);
        QCOMPARE(m_page->PinCode->accessibleName(), u"PIN CODE"_s);
        QCOMPARE(m_page->Encry->accessibleName(), u"ENCRYPTION"_s);
        QVERIFY(m_page->SspNote->text().contains(u"Secure Simple Pairing"_s));
    }
};

QTEST_MAIN(TestSecurityPage)
#include "tst_securitypage.moc"
