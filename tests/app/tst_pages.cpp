// SPDX-License-Identifier: GPL-3.0-or-later
// The pages in a whole session: edits reaching the Overview, the profile change, page rules.
#include "Session.h"

#include "BluetoothUnit.h"
#include "OverviewUnit.h"
#include "SecurityUnit.h"
#include "SystemUnit.h"
#include "TEditBox.h"
#include "TPictureButton.h"

#include <QComboBox>
#include <QLabel>

namespace {

QStringList Commands(const radiosim::VirtualModule& module)
{
    QStringList commands;
    for (const std::string& command : module.receivedCommands())
        commands << QString::fromStdString(command);
    return commands;
}

// Picks item `index` of a list as a user does.
void Pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void choosingDunChangesTheProfileAndReadsTheServiceNameBack()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageBluetooth);
        s.Module.clearTranscript();
        Pick(s.Form->BluetoothPage->SupportProfile, 1);
        QCOMPARE(s.Form->CommMode, int(ModeProfileChange));
        QTRY_COMPARE(s.Form->BluetoothPage->ServiceName->text(), QStringLiteral("DIAL-UP NETWORKING"));
        QCOMPARE(Commands(s.Module), (QStringList{QStringLiteral("AT+BTPRO,1"), QStringLiteral("AT+BTINFO?15")}));
        QCOMPARE(s.Form->EditParams.Bluetooth.ServiceName, QByteArray("DIAL-UP NETWORKING"));
        QCOMPARE(s.Form->ReadParams.Bluetooth.ServiceName, QByteArray("SERIAL PORT"));
        QCOMPARE(s.Form->CommMode, 0);
    }

    void emptyPinKeepsTheSecurityPageOpenAndReportsLater()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageSecurity);
        s.Form->SecurityPage->PinCode->clear();
        s.Form->OpenPage(PageSystem);
        QVERIFY(s.Form->OpenPages[PageSecurity]);
        QVERIFY(s.Form->PageLeds[PageSecurity]->On());
        QVERIFY(!s.Form->OpenPages[PageSystem]);
        QVERIFY(s.Form->ShowErrorFormTimer->Enabled()); // the dialog follows, not at once
        QVERIFY(s.WaitForError());
        QCOMPARE(s.ErrorTitle, QStringLiteral("INPUT PARAMETER ERROR"));
        QCOMPARE(s.ErrorMaintenance, QStringLiteral("Fill Pin Code Parameter by Decimal Number."));
        QCOMPARE(s.Form->EditParams.Security.PinCode, s.Form->ReadParams.Security.PinCode);
    }

    void editsOnAPageShowOnTheOverview()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageBluetooth);
        s.Form->BluetoothPage->DeviceName->setFocus();
        s.Form->BluetoothPage->DeviceName->selectAll();
        QTest::keyClicks(s.Form->BluetoothPage->DeviceName, QStringLiteral("bench"));
        s.Form->OpenPage(PageOverview);
        QCOMPARE(s.Form->OverviewPage->Overview_DeviceName->text(), QStringLiteral("BENCH"));
    }

    void modeFourUnlocksTheRoleOfTheRestrictedModels()
    {
        radiosim::Options options;
        options.model = "QN7201";
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageBluetooth);
        QVERIFY(!s.Form->BluetoothPage->Role->isEnabled());
        s.Form->OpenPage(PageSystem);
        Pick(s.Form->SystemPage->ConnectionMode, 3);
        s.Form->OpenPage(PageBluetooth);
        QVERIFY(s.Form->BluetoothPage->Role->isEnabled());
    }

    void clickingTheOpenPageRebuildsItFromTheWorkingCopy()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(PageSecurity);
        TSecurityForm* first = s.Form->SecurityPage;
        s.Form->EditParams.Security.PinCode = "4321";
        s.Form->MenuButtons[PageSecurity]->OnClick();
        QVERIFY(s.Form->SecurityPage != first);
        QCOMPARE(s.Form->SecurityPage->PinCode->text(), QStringLiteral("4321"));
        QVERIFY(s.Form->OpenPages[PageSecurity]);
        QVERIFY(s.Form->PageLeds[PageSecurity]->On());
    }

    void confirmedExitWithThePortOpenRestartsTheModule()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        s.Module.clearTranscript();
        PressInNextModal(QStringLiteral("EXIT APPLICATION"));
        s.Form->BtnExit->click();
        QVERIFY(!s.Form->isVisible());
        QTRY_COMPARE(s.Module.receivedBytes(), std::string("ATZ\r"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
