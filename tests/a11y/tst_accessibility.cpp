// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard and assistive-technology access: tab order, and a name on every operable control.
#include "Session.h"

#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "InitQuestionFormUnit.h"
#include "SearchDevicesFormUnit.h"
#include "SelectProductUnit.h"
#include "SerialFormUnit.h"
#include "TPictureButton.h"
#include "WriteQuestionFormUnit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// What a user can operate: buttons, lists, editable boxes, picture buttons.
bool Operable(const QWidget* w)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return !edit->isReadOnly() && !qobject_cast<const QComboBox*>(w->parentWidget());
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w)
        || qobject_cast<const TPictureButton*>(w);
}

QStringList Unnamed(const QWidget* root)
{
    QStringList unnamed;
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (Operable(w) && w->accessibleName().trimmed().isEmpty())
            unnamed << QString::fromLatin1(w->metaObject()->className()) + u'/' + w->objectName()
                           + QStringLiteral(" at %1,%2").arg(w->x()).arg(w->y());
    }
    return unnamed;
}

// A module whose settings let every control of every page be used: read as
// MASTER (SEARCH), in connection mode 4 (role and baud rate of its model) and in
// an operation mode above 0 (device count and buffer size).
radiosim::Options EverythingEnabled()
{
    radiosim::Options options;
    options.model = "QN7201";
    return options;
}

void UnlockAll(TSession& s)
{
    s.Module.setSetting("Role", "MASTER");
    s.Module.setSetting("ConnectionMode", "MODE4");
    s.Module.setSetting("OperationMode", "MODE1");
}

// Presses Tab from the focused widget until the focus comes round to a widget it
// has already visited, and returns, in order, the accessible names of the
// widgets inside `page` that took the focus.
QStringList TabWalk(QWidget* page)
{
    QStringList visited;
    QList<QWidget*> seen;
    QWidget* current = QApplication::focusWidget();
    if (!current)
        return {QStringLiteral("<no focus>")};
    for (int presses = 0; presses < 80; ++presses) {
        QTest::keyClick(current, Qt::Key_Tab);
        current = QApplication::focusWidget();
        if (!current)
            return visited << QStringLiteral("<focus lost>");
        if (seen.contains(current))
            break;
        seen << current;
        if (page->isAncestorOf(current))
            visited << current->accessibleName();
    }
    return visited;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void tabReachesEveryPageControlInItsOrder_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("overview") << int(PageOverview) << QStringList{};
        QTest::newRow("bluetooth") << int(PageBluetooth)
                                   << QStringList{QStringLiteral("DEVICE NAME"),
                                                  QStringLiteral("ROLE"),
                                                  QStringLiteral("REMOTE BD ADDRESS"),
                                                  QStringLiteral("SEARCH"),
                                                  QStringLiteral("INQUIRY ACCESS CODE"),
                                                  QStringLiteral("CLASS OF DEVICE"),
                                                  QStringLiteral("POWER SAVE"),
                                                  QStringLiteral("LINK SUPERVISION TIMEOUT"),
                                                  QStringLiteral("SUPPORT PROFILE"),
                                                  QStringLiteral("SERVICE NAME")};
        QTest::newRow("security") << int(PageSecurity)
                                  << QStringList{QStringLiteral("AUTHENTICATION"), QStringLiteral("PIN CODE"),
                                                 QStringLiteral("ENCRYPTION")};
        QTest::newRow("system") << int(PageSystem)
                                << QStringList{QStringLiteral("STATUS MESSAGE"),
                                               QStringLiteral("CONNECTION MODE"),
                                               QStringLiteral("ESCAPE CHARACTER (HEXA)"),
                                               QStringLiteral("DEBUG CHARACTER (HEXA)"),
                                               QStringLiteral("CONNECTION DELAY TIME"),
                                               QStringLiteral("STREAM SWITCHING FAST")};
        QTest::newRow("uart") << int(PageUart)
                              << QStringList{QStringLiteral("BAUDRATE"), QStringLiteral("PARITY BIT"),
                                             QStringLiteral("STOP BIT"), QStringLiteral("H/W FLOW CONTROL")};
        QTest::newRow("multi-connection") << int(PageMultiComm)
                                          << QStringList{QStringLiteral("OPERATION MODE"),
                                                         QStringLiteral("NUMBER OF DEVICE"),
                                                         QStringLiteral("RX BUFFER SIZE")};
    }

    void tabReachesEveryPageControlInItsOrder()
    {
        QFETCH(int, page);
        QFETCH(QStringList, expected);
        TSession s(EverythingEnabled());
        QVERIFY2(s.Started, qPrintable(s.StartError));
        UnlockAll(s);
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Form->OpenPage(page);
        QWidget* form = s.Form->PageInSlot(page);
        QVERIFY(form);
        QVERIFY(form->isVisible());

        // The progress dialog of the read took the activation with it when it hid.
        QApplication::setActiveWindow(s.Form.get());
        QVERIFY(QTest::qWaitForWindowActive(s.Form.get()));
        // Start on the page itself, which takes no focus of its own: the first Tab
        // enters the page's controls.
        form->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), form);

        QCOMPARE(TabWalk(form), expected);
    }

    void everyOperableControlOfThePagesHasAName()
    {
        TSession s(EverythingEnabled());
        QVERIFY2(s.Started, qPrintable(s.StartError));
        UnlockAll(s);
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        for (int k = 0; k < PageCount; ++k) {
            s.Form->OpenPage(k);
            QWidget* form = s.Form->PageInSlot(k);
            QVERIFY(form);
            QCOMPARE(Unnamed(form), QStringList{});
        }
        QCOMPARE(Unnamed(s.Form.get()), QStringList{});
    }

    void toolbarAndMenuCarryTheirCaptions()
    {
        TSession s;
        const QStringList toolbar{s.Form->BtnOpen->accessibleName(), s.Form->BtnClose->accessibleName(),
                                  s.Form->BtnRead->accessibleName(), s.Form->BtnWrite->accessibleName(),
                                  s.Form->BtnInit->accessibleName(), s.Form->BtnExit->accessibleName()};
        QCOMPARE(toolbar, (QStringList{QStringLiteral("SERIAL OPEN"), QStringLiteral("SERIAL CLOSE"),
                                       QStringLiteral("READ"), QStringLiteral("WRITE"), QStringLiteral("INIT"),
                                       QStringLiteral("EXIT")}));
        for (int k = 0; k < PageCount; ++k)
            QCOMPARE(s.Form->MenuButtons[k]->accessibleName(), PageMenuCaption(k));
    }

    void everyOperableControlOfTheDialogsHasAName_data()
    {
        QTest::addColumn<int>("which");
        for (int i = 0; i < 7; ++i)
            QTest::newRow(qPrintable(QStringLiteral("dialog %1").arg(i))) << i;
    }

    void everyOperableControlOfTheDialogsHasAName()
    {
        QFETCH(int, which);
        QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("config.ini"));
        {
            QFile file(list);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[PRODUCTS]\nPRODUCT_CNT=1\nPRODUCT01=QN7101\n");
        }
        std::unique_ptr<QWidget> dialog;
        switch (which) {
        case 0: dialog = std::make_unique<TSerialForm>(QStringList{QStringLiteral("/dev/ttyUSB0")}); break;
        case 1: dialog = std::make_unique<TSelectProductForm>(list); break;
        case 2: dialog = std::make_unique<TSearchDeviceForm>(); break;
        case 3: dialog = std::make_unique<TWriteQuestionForm>(); break;
        case 4: dialog = std::make_unique<TInitQuestionForm>(); break;
        case 5: dialog = std::make_unique<TExitQuestionForm>(); break;
        default: dialog = std::make_unique<TErrorForm>(); break;
        }
        QVERIFY(!dialog->findChildren<QAbstractButton*>().isEmpty());
        QCOMPARE(Unnamed(dialog.get()), QStringList{});
        QVERIFY(!dialog->accessibleName().isEmpty());
    }

    // OPEN and CANCEL of the serial port dialog take no focus, so the keyboard can
    // confirm it only through Return.
    void serialPortDialogIsConfirmedByReturn()
    {
        TSerialForm dialog(QStringList{QStringLiteral("/dev/ttyUSB0")});
        bool confirmed = false;
        int result = -1;
        QTimer::singleShot(0, &dialog, [&] {
            QApplication::setActiveWindow(&dialog);
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog, Qt::Key_Return);
            if (dialog.isVisible())
                dialog.reject(); // Return did nothing: leave the modal loop all the same
        });
        result = dialog.exec();
        confirmed = dialog.Confirmed;
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(confirmed);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
