// SPDX-License-Identifier: GPL-3.0-or-later
// The Bluetooth page: loading by module type, typed keys, and its checks.
#include "BluetoothUnit.h"
#include "ListLook.h"
#include "ErrorFormUnit.h"
#include "FakeBluetoothHost.h"
#include "MessageBox.h"
#include "ModalDriver.h"
#include "PropertyUnit.h"
#include "Skin.h"
#include "TEditBox.h"
#include "TTimer.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

void FillTypical(TBluetoothParam& g)
{
    g.DeviceName = "RADIO-7201";
    g.Role = 0;
    g.RemoteBDAddr = "001122AABBCC";
    g.InquiryAccessCodeFirst = "9E8B";
    g.InquiryAccessCodeSecond = "33";
    g.ClassOfDevice = "001F00";
    g.PowerSave = 1;
    g.LinkTimeout = 20;
    g.SupportProfile = 0;
    g.ServiceName = "SERIAL PORT";
}

// A page prepared as the main window does it, shown and active so that typed
// keys and focus behave as for a user.
struct Opened
{
    TBluetoothParam group;
    FakeBluetoothHost host;
    TBluetoothForm page;

    explicit Opened(bool legacy = false, bool master = true)
    {
        FillTypical(group);
        page.LegacyDevice = legacy;
        page.MasterMode = master;
        page.Group = &group;
        page.Host = &host;
        page.LoadFromParams();
        page.show();
        page.activateWindow();
    }

    TEditBox* Box(const QString& name) const
    {
        const QHash<QString, TEditBox*> boxes{
            {QStringLiteral("DeviceName"), page.DeviceName},
            {QStringLiteral("RemoteBDAddr"), page.RemoteBDAddr},
            {QStringLiteral("InquiryAccessCodeSecond"), page.InquiryAccessCodeSecond},
            {QStringLiteral("ClassOfDevice"), page.ClassOfDevice},
            {QStringLiteral("LinkTimeout"), page.LinkTimeout},
            {QStringLiteral("ServiceName"), page.ServiceName},
        };
        return boxes.value(name);
    }

    QByteArray Field(const QString& name) const
    {
        if (name == QLatin1String("DeviceName"))
            return group.DeviceName;
        if (name == QLatin1String("RemoteBDAddr"))
            return group.RemoteBDAddr;
        if (name == QLatin1String("InquiryAccessCodeSecond"))
            return group.InquiryAccessCodeSecond;
        if (name == QLatin1String("ClassOfDevice"))
            return group.ClassOfDevice;
        if (name == QLatin1String("LinkTimeout"))
            return QByteArray::number(group.LinkTimeout);
        if (name == QLatin1String("ServiceName"))
            return group.ServiceName;
        return "?";
    }
};

QColor Background(QWidget* w)
{
    return w->palette().color(QPalette::Base);
}

struct CapturedError
{
    bool shown = false;
    qint64 afterMs = -1;
    QString title, detail, maintenance;
};

// Reads the next modal error dialog and closes it with OK.
void CaptureErrorDialog(CapturedError& seen, const QElapsedTimer& clock)
{
    WhenModalShown([&seen, &clock](QWidget* modal) {
        seen.shown = true;
        seen.afterMs = clock.elapsed();
        if (auto* error = qobject_cast<TErrorForm*>(modal)) {
            seen.title = error->Title();
            seen.detail = error->Detail();
            seen.maintenance = error->MaintenanceLine();
            error->BtnOK->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    });
}

} // namespace

class TestBluetoothPage : public QObject
{
    Q_OBJECT

private slots:
    void loadingShowsGroupByModuleType_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::newRow("current") << false;
        QTest::newRow("legacy") << true;
    }

    void loadingShowsGroupByModuleType()
    {
        QFETCH(bool, legacy);
        Opened o(legacy);
        TBluetoothForm& p = o.page;

        QCOMPARE(p.DeviceName->text(), QStringLiteral("RADIO-7201"));
        QCOMPARE(p.Role->currentText(), QStringLiteral("MASTER"));
        QCOMPARE(p.RemoteBDAddr->text(), QStringLiteral("001122AABBCC"));
        QCOMPARE(p.PowerSave->currentText(), QStringLiteral("ENABLE"));
        QCOMPARE(p.LinkTimeout->text(), QStringLiteral("20"));
        QVERIFY(p.InquiryAccessCodeFirst->isReadOnly());

        const QList<TEditBox*> extended{p.InquiryAccessCodeSecond, p.ClassOfDevice, p.ServiceName};
        if (legacy) {
            QCOMPARE(p.InquiryAccessCodeFirst->text(), QString());
            for (TEditBox* box : extended) {
                QCOMPARE(box->text(), QString());
                QVERIFY(box->isReadOnly());
                QCOMPARE(Background(box), NotSupportedColor);
            }
            QCOMPARE(p.SupportProfile->currentText(), QStringLiteral("SPP"));
            QVERIFY(ListReadOnly(p.SupportProfile));
            // Emptied boxes leave the group as it was.
            QCOMPARE(o.group.ServiceName, QByteArrayLiteral("SERIAL PORT"));
        } else {
            QCOMPARE(p.InquiryAccessCodeFirst->text(), QStringLiteral("9E8B"));
            QCOMPARE(Background(p.InquiryAccessCodeFirst), InactiveCaptionColor);
            QCOMPARE(p.InquiryAccessCodeSecond->text(), QStringLiteral("33"));
            QCOMPARE(p.ClassOfDevice->text(), QStringLiteral("001F00"));
            QCOMPARE(p.ServiceName->text(), QStringLiteral("SERIAL PORT"));
            for (TEditBox* box : extended) {
                QVERIFY(!box->isReadOnly());
                QCOMPARE(Background(box), EditColor);
            }
            QVERIFY(!ListReadOnly(p.SupportProfile));
        }
        QCOMPARE(Background(p.DeviceName), EditColor);
        // Setting the lists by program talks to nobody; nothing was out of range.
        QCOMPARE(o.host.Calls, QStringList());
        QVERIFY(!p.AccessCodeErrorTimer->Enabled());
    }

    void profileShownFromGroupOnCurrentModule()
    {
        TBluetoothParam group;
        FillTypical(group);
        group.SupportProfile = 1;
        TBluetoothForm page;
        page.Group = &group;
        page.LoadFromParams();
        QCOMPARE(page.SupportProfile->currentText(), QStringLiteral("DUN"));
    }

    void searchEnabledOnlyForMasterMode_data()
    {
        QTest::addColumn<bool>("master");
        QTest::newRow("master") << true;
        QTest::newRow("slave") << false;
    }

    void searchEnabledOnlyForMasterMode()
    {
        QFETCH(bool, master);
        Opened o(false, master);
        QCOMPARE(o.page.BtnSearch->isEnabled(), master);
        // Picking MASTER on the page does not change what was read.
        o.page.Role->setCurrentIndex(1);
        o.page.Role->setFocus();
        QTest::keyClick(o.page.Role, Qt::Key_Up);
        QCOMPARE(o.group.Role, 0);
        QCOMPARE(o.page.BtnSearch->isEnabled(), master);
    }

    void overLongLoadedTextIsKeptWhole()
    {
        TBluetoothParam group;
        FillTypical(group);
        group.RemoteBDAddr = "00112233445566";
        group.LinkTimeout = 120;
        TBluetoothForm page;
        page.Group = &group;
        page.LoadFromParams();
        QCOMPARE(page.RemoteBDAddr->text(), QStringLiteral("00112233445566"));
        QCOMPARE(group.RemoteBDAddr, QByteArrayLiteral("00112233445566"));
        QCOMPARE(group.LinkTimeout, 120);
    }

    void typedKeysAreFiltered_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");

        QTest::newRow("address refuses G, minus, space") << QStringLiteral("RemoteBDAddr") << QStringLiteral("G- a1") << QStringLiteral("A1");
        QTest::newRow("address backspace") << QStringLiteral("RemoteBDAddr") << QStringLiteral("A1\b") << QStringLiteral("A");
        QTest::newRow("access code refuses G, minus, space") << QStringLiteral("InquiryAccessCodeSecond") << QStringLiteral("G- 1") << QStringLiteral("1");
        QTest::newRow("class refuses G, minus, space") << QStringLiteral("ClassOfDevice") << QStringLiteral("G- 1f") << QStringLiteral("1F");
        QTest::newRow("device name takes any key, upper case") << QStringLiteral("DeviceName") << QStringLiteral("g- x") << QStringLiteral("G- X");
        QTest::newRow("service name takes any key, upper case") << QStringLiteral("ServiceName") << QStringLiteral("my g-1") << QStringLiteral("MY G-1");
        QTest::newRow("timeout digits only") << QStringLiteral("LinkTimeout") << QStringLiteral("a1-G 2") << QStringLiteral("12");
        QTest::newRow("timeout backspace") << QStringLiteral("LinkTimeout") << QStringLiteral("12\b") << QStringLiteral("1");
        QTest::newRow("device name stops at 12") << QStringLiteral("DeviceName") << QStringLiteral("abcdefghijklmn") << QStringLiteral("ABCDEFGHIJKL");
    }

    void typedKeysAreFiltered()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Opened o;
        TEditBox* edit = o.Box(box);
        QVERIFY(edit);
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(QString::fromLatin1(o.Field(box)), shown);
    }

    void keyFiltersLetThroughBackspaceAndTheirDigits_data()
    {
        QTest::addColumn<QChar>("key");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<bool>("decimal");
        QTest::newRow("backspace") << QChar(8) << true << true;
        QTest::newRow("0") << QChar(u'0') << true << true;
        QTest::newRow("9") << QChar(u'9') << true << true;
        QTest::newRow("a") << QChar(u'a') << true << false;
        QTest::newRow("F") << QChar(u'F') << true << false;
        QTest::newRow("G") << QChar(u'G') << false << false;
        QTest::newRow("g") << QChar(u'g') << false << false;
        QTest::newRow("minus") << QChar(u'-') << false << false;
        QTest::newRow("space") << QChar(u' ') << false << false;
    }

    void keyFiltersLetThroughBackspaceAndTheirDigits()
    {
        QFETCH(QChar, key);
        QFETCH(bool, hex);
        QFETCH(bool, decimal);
        QCOMPARE(TBluetoothForm::RemoteBDAddrKeyPress(key), hex);
        QCOMPARE(TBluetoothForm::InquiryAccessCodeSecondKeyPress(key), hex);
        QCOMPARE(TBluetoothForm::ClassOfDeviceKeyPress(key), hex);
        QCOMPARE(TBluetoothForm::LinkTimeoutKeyPress(key), decimal);
    }

    void emptiedBoxKeepsFieldTypedTextIsStored_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::newRow("device name") << QStringLiteral("DeviceName") << QStringLiteral("NEW NAME");
        QTest::newRow("address") << QStringLiteral("RemoteBDAddr") << QStringLiteral("AABBCCDDEEFF");
        QTest::newRow("access code") << QStringLiteral("InquiryAccessCodeSecond") << QStringLiteral("0A");
        QTest::newRow("class of device") << QStringLiteral("ClassOfDevice") << QStringLiteral("5A020C");
        QTest::newRow("timeout") << QStringLiteral("LinkTimeout") << QStringLiteral("7");
        QTest::newRow("service name") << QStringLiteral("ServiceName") << QStringLiteral("MODEM");
    }

    void emptiedBoxKeepsFieldTypedTextIsStored()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        Opened o;
        TEditBox* edit = o.Box(box);
        const QByteArray loaded = o.Field(box);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(o.Field(box), loaded);
        QTest::keyClicks(edit, typed);
        QCOMPARE(o.Field(box), typed.toLatin1());
    }

    void pastedGarbageNeverReachesTheGroup()
    {
        Opened o;
        o.page.LinkTimeout->setFocus();
        o.page.LinkTimeout->selectAll();
        o.page.LinkTimeout->insert(QStringLiteral("x\n"));
        QCOMPARE(o.page.LinkTimeout->text(), QString());
        QCOMPARE(o.group.LinkTimeout, 20);
        o.page.ServiceName->setFocus();
        o.page.ServiceName->selectAll();
        o.page.ServiceName->insert(QStringLiteral("A\r\nB"));
        QCOMPARE(o.group.ServiceName, QByteArrayLiteral("AB"));
    }

    void accessCodeAboveRangeReportedThenEmptied()
    {
        Opened o;
        TEditBox* box = o.page.InquiryAccessCodeSecond;
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("4"));
        QVERIFY(!o.page.AccessCodeErrorTimer->Enabled());

        CapturedError seen;
        QElapsedTimer clock;
        clock.start();
        CaptureErrorDialog(seen, clock);
        QTest::keyClicks(box, QStringLiteral("0"));
        QCOMPARE(o.group.InquiryAccessCodeSecond, QByteArrayLiteral("40"));
        // The user has moved on before the report comes.
        o.page.DeviceName->setFocus();
        QVERIFY(!seen.shown);

        QTRY_VERIFY(seen.shown);
        QVERIFY2(seen.afterMs >= 100, qPrintable(QString::number(seen.afterMs)));
        QCOMPARE(seen.title, QStringLiteral("INPUT ERROR"));
        QCOMPARE(seen.detail, QStringLiteral("Input value is over or under range\r\n"));
        QCOMPARE(seen.maintenance, QStringLiteral("It must be input 00 ~ 3F.\r\nInput again for Inquiry Access Code"));
        QTRY_COMPARE(box->text(), QString());
        QTRY_COMPARE(o.page.window()->focusWidget(), box);
        QCOMPARE(o.group.InquiryAccessCodeSecond, QByteArrayLiteral("40"));
    }

    void accessCodeInRangeAcceptedUpperCase()
    {
        Opened o;
        TEditBox* box = o.page.InquiryAccessCodeSecond;
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("3f"));
        QCOMPARE(box->text(), QStringLiteral("3F"));
        QCOMPARE(o.group.InquiryAccessCodeSecond, QByteArrayLiteral("3F"));
        QVERIFY(!o.page.AccessCodeErrorTimer->Enabled());
    }

    void loadedAccessCodeAboveRangeReportedAfterOpening()
    {
        TBluetoothParam group;
        FillTypical(group);
        group.InquiryAccessCodeSecond = "7A";
        TBluetoothForm page;
        page.Group = &group;
        CapturedError seen;
        QElapsedTimer clock;
        clock.start();
        CaptureErrorDialog(seen, clock);
        page.LoadFromParams();
        page.show();
        QVERIFY(page.AccessCodeErrorTimer->Enabled());
        QTRY_VERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("INPUT ERROR"));
        QTRY_COMPARE(page.InquiryAccessCodeSecond->text(), QString());
        QCOMPARE(group.InquiryAccessCodeSecond, QByteArrayLiteral("7A"));
    }

    void profileChangeTalksToModuleOnlyWhenAllowed_data()
    {
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("stored");

        QTest::newRow("port open") << false << true
                                   << QStringList{QStringLiteral("mode 6"), QStringLiteral("requested 0"),
                                                  QStringLiteral("send AT+BTPRO,1\r")}
                                   << 1;
        QTest::newRow("port closed") << false << false << QStringList{QStringLiteral("mode 0")} << 1;
        QTest::newRow("legacy module") << true << true << QStringList{} << 0;
    }

    void profileChangeTalksToModuleOnlyWhenAllowed()
    {
        QFETCH(bool, legacy);
        QFETCH(bool, connected);
        QFETCH(QStringList, calls);
        QFETCH(int, stored);
        Opened o(legacy);
        o.host.Connected = connected;
        o.page.SupportProfile->setFocus();
        QTest::keyClick(o.page.SupportProfile, Qt::Key_Down);
        if (legacy) {
            // Even a direct call does nothing for a module without profiles.
            o.page.SupportProfile->setCurrentIndex(1);
            o.page.SupportProfileChange();
        }
        QCOMPARE(o.host.Calls, calls);
        QCOMPARE(o.group.SupportProfile, stored);
    }

    void listChoicesAreStored()
    {
        Opened o;
        o.page.Role->setFocus();
        QTest::keyClick(o.page.Role, Qt::Key_Down);
        QCOMPARE(o.group.Role, 1);
        o.page.PowerSave->setFocus();
        QTest::keyClick(o.page.PowerSave, Qt::Key_Up);
        QCOMPARE(o.group.PowerSave, 0);
    }

    void serviceNameReadBackShownWhole()
    {
        Opened o;
        o.page.ShowServiceName("A SERVICE NAME OF 24 CHR");
        QCOMPARE(o.page.ServiceName->text(), QStringLiteral("A SERVICE NAME OF 24 CHR"));
        QCOMPARE(o.group.ServiceName, QByteArrayLiteral("A SERVICE NAME OF 24 CHR"));
    }

    void searchOutsideMasterModeOnlyTellsTheUser()
    {
        Opened o(false, false);
        QStringList shown;
        PlatformMessageBox::SetHook([&shown](const QString& text) { shown << text; });
        o.page.BtnSearchClick();
        PlatformMessageBox::SetHook({});
        QCOMPARE(shown, QStringList{QStringLiteral("This function must be executed in MASTER MODE")});
        QVERIFY(!o.page.SearchDialog);
        QCOMPARE(o.host.Calls, QStringList());
    }

    void everyCaptionAndValueFits()
    {
        Opened o;
        const QFontMetrics bold(SkinFont(true));
        const QList<QPair<TEditBox*, QString>> widest{
            {o.page.DeviceName, QStringLiteral("MMMMMMMMMMMM")},
            {o.page.RemoteBDAddr, QStringLiteral("DDDDDDDDDDDD")},
            {o.page.InquiryAccessCodeFirst, QStringLiteral("9E8B")},
            {o.page.InquiryAccessCodeSecond, QStringLiteral("3D")},
            {o.page.ClassOfDevice, QStringLiteral("DDDDDD")},
            {o.page.LinkTimeout, QStringLiteral("99")},
            {o.page.ServiceName, QStringLiteral("ABCDEFGHIJKLMNOPQRST")},
        };
        for (const auto& [box, text] : widest) {
            // The frame and text margins take about 8 pixels.
            QVERIFY2(bold.horizontalAdvance(text) + 8 <= box->width(), qPrintable(text));
            QVERIFY(o.page.rect().contains(box->geometry()));
        }
        const auto labels = o.page.findChildren<QLabel*>();
        QVERIFY(labels.size() >= 12);
        for (QLabel* label : labels) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(label->text()));
            QVERIFY2(o.page.rect().contains(label->geometry()), qPrintable(label->text()));
            for (QWidget* control : o.page.findChildren<QWidget*>()) {
                if (control != label && control->parentWidget() == &o.page && control->isVisible())
                    QVERIFY2(!label->geometry().intersects(control->geometry()),
                             qPrintable(label->text() + QLatin1String(" / ") + control->accessibleName()));
            }
        }
        if (const QString dir = qEnvironmentVariable("RADIOSET_SHOT_DIR"); !dir.isEmpty())
            o.page.grab().save(dir + QStringLiteral("/bluetooth.png"));
    }

    // The hints beside the boxes name the ranges the rules hold, in the page's own words.
    void hintsNameTheRanges()
    {
        Opened o;
        QStringList texts;
        for (QLabel* label : o.page.findChildren<QLabel*>())
            texts.append(label->text());
        for (const char* hint : {"(0 ~ 3F)", "(0 ~ FFFFFF)", "Sec (0 ~ 99)"})
            QVERIFY2(texts.contains(QLatin1String(hint)), hint);
    }
};

QTEST_MAIN(TestBluetoothPage)
#include "tst_bluetoothpage.moc"
