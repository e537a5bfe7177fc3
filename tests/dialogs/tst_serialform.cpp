// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port dialog: defaults, the port list as it changes, and what it hands back.
#include "SerialFormUnit.h"

#include "FakePortSource.h"
#include "Skin.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// A dialog over a fake source of USB adapters with the given names.
struct TFakeForm {
    explicit TFakeForm(const QStringList& names, TPortWatcher::THolderLookup holders = {})
    {
        auto owned = std::make_unique<TFakePortSource>();
        Source = owned.get();
        for (const QString& name : names)
            Source->Devices << UsbAdapter(name);
        Form = std::make_unique<TSerialForm>(std::move(owned), std::move(holders));
    }
    TFakePortSource* Source;
    std::unique_ptr<TSerialForm> Form;
};

} // namespace

class TestSerialForm : public QObject
{
    Q_OBJECT

private slots:
    void opensWithTheDefaults()
    {
        TSerialForm form({u"/dev/ttyUSB0"_s, u"/dev/ttyS2"_s, u"/dev/ttyS10"_s});
        QCOMPARE(form.windowTitle(), u"SerialForm"_s);
        QCOMPARE(form.size(), QSize(177, 223));
        QVERIFY(!form.Confirmed);
        QCOMPARE(form.DebugCharText(), u"1E"_s);
        QCOMPARE(form.DebugChar->maxLength(), 2);

        QStringList ports;
        for (int i = 0; i < form.ComPort->count(); ++i)
            ports << form.ComPort->itemText(i);
        QCOMPARE(ports, (QStringList{u"/dev/ttyS10"_s, u"/dev/ttyS2"_s, u"/dev/ttyUSB0"_s}));
        QCOMPARE(form.ComPortText(), u"/dev/ttyS10"_s);

        QStringList speeds;
        for (int i = 0; i < form.BaudRate->count(); ++i)
            speeds << form.BaudRate->itemText(i);
        QCOMPARE(speeds, (QStringList{u"1200"_s, u"2400"_s, u"4800"_s, u"9600"_s, u"19200"_s, u"38400"_s,
                                      u"57600"_s, u"115200"_s, u"230400"_s}));
        QCOMPARE(form.BaudRateText(), u"9600"_s);
        QCOMPARE(form.ParityBit->count(), 3);
        QCOMPARE(form.ParityBitText(), u"None"_s);
        QCOMPARE(form.StopBit->count(), 2);
        QCOMPARE(form.StopBitText(), u"1"_s);
    }

    void withoutPortsTheListIsEmpty()
    {
        TSerialForm form(QStringList{});
        QCOMPARE(form.ComPort->count(), 0);
        QCOMPARE(form.ComPort->currentIndex(), -1);
        QCOMPARE(form.ComPortText(), QString());
    }

    void controlsLookAndFocus()
    {
        TSerialForm form(QStringList{u"/dev/ttyS0"_s});
        for (QComboBox* list : {form.ComPort, form.BaudRate, form.ParityBit, form.StopBit}) {
            QVERIFY(list->isEditable());
            QCOMPARE(list->insertPolicy(), QComboBox::NoInsert);
            QVERIFY(list->font().bold());
            QCOMPARE(list->palette().color(QPalette::Text), AccentRed);
            QVERIFY(!list->accessibleName().isEmpty());
        }
        for (QWidget* box : std::initializer_list<QWidget*>{form.DebugChar, form.BaudRate, form.ParityBit, form.StopBit})
            QCOMPARE(box->palette().color(QPalette::Base), EditColor);
        QVERIFY(form.DebugChar->font().bold());
        QCOMPARE(form.DebugChar->palette().color(QPalette::Text), AccentRed);
        QCOMPARE(form.BtnSerialOpen->accessibleName(), u"OPEN"_s);
        QCOMPARE(form.BtnCancel->accessibleName(), u"CANCEL"_s);
        QCOMPARE(form.BtnSerialOpen->geometry(), QRect(8, 196, 78, 22));
        QCOMPARE(form.BtnCancel->geometry(), QRect(91, 196, 78, 22));

        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.DebugChar);
        for (QPushButton* button : {form.BtnSerialOpen, form.BtnCancel}) {
            QVERIFY(button->isFlat());
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        }
    }

    void typedTextIsPassedOnAsTyped()
    {
        TSerialForm form(QStringList{u"/dev/ttyS10"_s});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // A prefix of a listed port must stay as typed, not be completed to it.
        form.ComPort->setFocus();
        form.ComPort->lineEdit()->clear();
        QTest::keyClicks(form.ComPort->lineEdit(), u"/dev/ttyS1"_s);
        form.BaudRate->setFocus();
        form.BaudRate->lineEdit()->clear();
        QTest::keyClicks(form.BaudRate->lineEdit(), u"12"_s);
        form.DebugChar->setFocus();
        form.DebugChar->clear();
        QTest::keyClicks(form.DebugChar, u"zz9"_s);
        QCOMPARE(form.ComPortText(), u"/dev/ttyS1"_s);
        QCOMPARE(form.BaudRateText(), u"12"_s);
        QCOMPARE(form.DebugCharText(), u"zz"_s);
    }

    // While the dialog is open, adapters come and go; the box keeps what the
    // user chose or typed. Actions: "choose:N" picks item N, "type:TEXT" types.
    void liveUpdateKeepsTheUsersChoice_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("plug");
        QTest::addColumn<QString>("pull");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("text");

        QTest::newRow("chosen port stays when one is plugged in before it")
            << QStringList{u"ttyS0"_s, u"ttyUSB0"_s} << u"choose:1"_s << u"ttyACM0"_s << QString()
            << QStringList{u"/dev/ttyACM0"_s, u"/dev/ttyS0"_s, u"/dev/ttyUSB0"_s} << u"/dev/ttyUSB0"_s;
        QTest::newRow("chosen port stays when another is pulled out")
            << QStringList{u"ttyS0"_s, u"ttyUSB0"_s} << u"choose:1"_s << QString() << u"/dev/ttyS0"_s
            << QStringList{u"/dev/ttyUSB0"_s} << u"/dev/ttyUSB0"_s;
        QTest::newRow("the first port stays chosen when one sorts before it")
            << QStringList{u"ttyUSB0"_s} << QString() << u"ttyACM0"_s << QString()
            << QStringList{u"/dev/ttyACM0"_s, u"/dev/ttyUSB0"_s} << u"/dev/ttyUSB0"_s;
        QTest::newRow("typed text stays")
            << QStringList{u"ttyUSB0"_s} << u"type:/dev/pts/7"_s << u"ttyUSB1"_s << QString()
            << QStringList{u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s} << u"/dev/pts/7"_s;
        QTest::newRow("a port pulled out stays in the box")
            << QStringList{u"ttyUSB0"_s, u"ttyUSB1"_s} << u"choose:0"_s << QString() << u"/dev/ttyUSB0"_s
            << QStringList{u"/dev/ttyUSB1"_s} << u"/dev/ttyUSB0"_s;
        QTest::newRow("an empty box takes the first port plugged in")
            << QStringList{} << QString() << u"ttyUSB0"_s << QString() << QStringList{u"/dev/ttyUSB0"_s}
            << u"/dev/ttyUSB0"_s;
    }

    void liveUpdateKeepsTheUsersChoice()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, action);
        QFETCH(QString, plug);
        QFETCH(QString, pull);
        QFETCH(QStringList, after);
        QFETCH(QString, text);
        TFakeForm fake(before);
        TSerialForm& form = *fake.Form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(fake.Source->Watched());
        if (action.startsWith(u"choose:")) {
            form.ComPort->setCurrentIndex(action.mid(7).toInt());
        } else if (action.startsWith(u"set:")) {
            form.ComPort->setEditText(action.mid(4));
        } else if (action.startsWith(u"type:")) {
            form.ComPort->setFocus();
            form.ComPort->lineEdit()->clear();
            QTest::keyClicks(form.ComPort->lineEdit(), action.mid(5));
        }
        const int cursor = form.ComPort->lineEdit()->cursorPosition();
        if (!plug.isEmpty())
            fake.Source->Plug(UsbAdapter(plug));
        if (!pull.isEmpty())
            fake.Source->Pull(pull);
        QCOMPARE(Items(form.ComPort), after);
        QCOMPARE(form.ComPortText(), text);
        QCOMPARE(form.ComPort->currentIndex(), after.indexOf(text));
        if (action.startsWith(u"type:"))
            QCOMPARE(form.ComPort->lineEdit()->cursorPosition(), cursor);
    }

    // COM PORT is narrower than most paths: the box shows a path from its start
    // (never "ev/ttyUSB0"), when the dialog opens, when an entry is picked, and
    // when the focus leaves a typed path.
    void comPortShowsThePathFromItsStart_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("shown");
        const QString byId = u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0"_s;
        QTest::newRow("the first port as the dialog opens") << QString() << byId;
        QTest::newRow("an entry picked from the drop-down") << u"pick:1"_s << u"/dev/ttyUSB0"_s;
        QTest::newRow("a path put in while the box has no focus") << u"set:/dev/ttyUSB0"_s << u"/dev/ttyUSB0"_s;
        QTest::newRow("a typed path once the focus leaves")
            << u"type:/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"_s
            << u"/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"_s;
    }

    void comPortShowsThePathFromItsStart()
    {
        QFETCH(QString, action);
        QFETCH(QString, shown);
        TSerialForm form(QStringList{u"/dev/ttyUSB0"_s,
                                     u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0"_s});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QLineEdit* box = form.ComPort->lineEdit();
        if (action.startsWith(u"pick:")) {
            form.ComPort->setFocus();
            form.ComPort->showPopup();
            QAbstractItemView* view = form.ComPort->view();
            QTRY_VERIFY(view->isVisible());
            const QRect entry = view->visualRect(view->model()->index(action.mid(5).toInt(), 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
            QTRY_VERIFY(!view->isVisible());
        } else if (action.startsWith(u"set:")) {
            form.ComPort->setEditText(action.mid(4));
        } else if (action.startsWith(u"type:")) {
            form.ComPort->setFocus();
            box->clear();
            QTest::keyClicks(box, action.mid(5));
            form.BaudRate->setFocus();
        }
        QCOMPARE(form.ComPortText(), shown);
        // Only a path longer than the box can be cut.
        QVERIFY(box->fontMetrics().horizontalAdvance(shown) > box->contentsRect().width());
        // Drawn as on the screen, the text starts at the box's left edge.
        (void)box->grab();
        QCOMPARE(box->cursorPosition(), 0);
        const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(cursor.left() <= box->contentsRect().left() + 2, qPrintable(QString::number(cursor.left())));
    }

    // The drop-down names each adapter; the box and OPEN get the bare path.
    void entriesNameTheAdapterAndTheBoxKeepsThePath()
    {
        QString holder = u"screen"_s;
        TFakeForm fake({u"ttyUSB0"_s}, [&](const QString& path) {
            return path == u"/dev/ttyUSB1" ? holder : QString();
        });
        TSerialForm& dialog = *fake.Form;
        // An adapter udev knows nothing about, plugged in while the dialog is open.
        fake.Source->Plug(UsbAdapter(u"ttyUSB1"_s, {}));
        const QString ftdi = u"/dev/ttyUSB0 \u2014 FTDI FT232R USB UART \u2014 A10K3X2Q"_s;
        const QString held = u"/dev/ttyUSB1 \u2014 in use by screen"_s;
        QCOMPARE(Items(dialog.ComPort), (QStringList{u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s}));
        QCOMPARE(dialog.ComPort->itemData(0, TSerialForm::PortEntryRole).toString(), ftdi);
        QCOMPARE(dialog.ComPort->itemData(1, TSerialForm::PortEntryRole).toString(), held);

        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // Opening the drop-down asks again who holds the ports.
        holder = u"minicom"_s;
        dialog.ComPort->showPopup();
        QAbstractItemView* view = dialog.ComPort->view();
        QTRY_VERIFY(view->isVisible());
        const QString heldNow = u"/dev/ttyUSB1 \u2014 in use by minicom"_s;
        QCOMPARE(dialog.ComPort->itemData(1, TSerialForm::PortEntryRole).toString(), heldNow);
        // The entries are drawn whole and a screen reader hears them.
        QVERIFY(view->width() >= view->fontMetrics().horizontalAdvance(ftdi));
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
        QVERIFY(list);
        QStringList heard;
        for (int i = 0; i < list->childCount(); ++i)
            heard << list->child(i)->text(QAccessible::Name);
        QVERIFY2(heard.contains(ftdi) && heard.contains(heldNow), qPrintable(heard.join(u" | ")));

        // Picking an entry puts the bare path in the box.
        const QRect second = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(dialog.ComPortText(), u"/dev/ttyUSB1"_s);
    }

    // The computer's processes are asked: a program holding the port is named.
    void aPortHeldByAnotherProgramSaysSo()
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString pty = QString::fromLocal8Bit(::ptsname(master));
        TPortDevice device = UsbAdapter(QStringLiteral("ttyUSB0"));
        device.Node = pty;

        auto owned = std::make_unique<TFakePortSource>();
        TFakePortSource* source = owned.get();
        TSerialForm form(std::move(owned), SystemHolderName);
        QCOMPARE(form.ComPort->count(), 0);

        // "sleep" holds the port as its standard input.
        QProcess holder;
        holder.setStandardInputFile(pty);
        holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(holder.waitForStarted());
        source->Plug(device);
        QCOMPARE(form.ComPort->itemData(0, TSerialForm::PortEntryRole).toString(),
                 pty + QStringLiteral(" \u2014 FTDI FT232R USB UART \u2014 A10K3X2Q \u2014 in use by sleep"));
        holder.kill();
        QVERIFY(holder.waitForFinished());
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ComPort->showPopup();
        QCOMPARE(form.ComPort->itemData(0, TSerialForm::PortEntryRole).toString(),
                 pty + QStringLiteral(" \u2014 FTDI FT232R USB UART \u2014 A10K3X2Q"));
        form.ComPort->hidePopup();
        ::close(master);
    }

    void holderNames_data()
    {
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nobody") << false << QString() << QString();
        QTest::newRow("named") << true << u"screen"_s << u"screen"_s;
        QTest::newRow("name not told") << true << QString() << u"process 4242"_s;
    }

    void holderNames()
    {
        QFETCH(bool, held);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        std::optional<TPortHolder> holder;
        if (held)
            holder = TPortHolder{4242, name};
        QCOMPARE(HolderName(holder), shown);
        QCOMPARE(PortInUseText(HolderName(holder)), held ? u"in use by "_s + shown : QString());
    }

    void captionsNameTheirLists()
    {
        TSerialForm form(QStringList{u"/dev/ttyS0"_s});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QList<std::pair<QString, QComboBox*>> captions{{u"COM PORT"_s, form.ComPort},
                                                             {u"BAUDRATE"_s, form.BaudRate},
                                                             {u"PARITY BIT"_s, form.ParityBit},
                                                             {u"STOP BIT"_s, form.StopBit}};
        for (const auto& [caption, list] : captions) {
            QLabel* label = nullptr;
            for (QLabel* candidate : form.findChildren<QLabel*>())
                if (candidate->text() == caption)
                    label = candidate;
            QVERIFY2(label, qPrintable(caption));
            QCOMPARE(label->buddy(), list);
            // The accessibility tree relates the caption to its list both ways.
            QAccessibleInterface* labelInterface = QAccessible::queryAccessibleInterface(label);
            QAccessibleInterface* listInterface = QAccessible::queryAccessibleInterface(list);
            bool labels = false;
            for (const auto& relation : labelInterface->relations(QAccessible::Labelled))
                labels = labels || relation.first->object() == list;
            bool labelled = false;
            for (const auto& relation : listInterface->relations(QAccessible::Label))
                labelled = labelled || relation.first->object() == label;
            QVERIFY2(labels && labelled, qPrintable(caption));
        }
    }

    void closingSetsConfirmed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("confirmed");
        // The buttons start from the opposite answer, so that a press that sets
        // nothing shows; the other ways start from the value of creation.
        QTest::newRow("OPEN") << u"OPEN"_s << false << true;
        QTest::newRow("CANCEL") << u"CANCEL"_s << true << false;
        QTest::newRow("close box") << u"close"_s << false << false;
        QTest::newRow("Escape") << u"Escape"_s << false << false;
    }

    void closingSetsConfirmed()
    {
        QFETCH(QString, how);
        QFETCH(bool, before);
        QFETCH(bool, confirmed);
        TSerialForm form(QStringList{u"/dev/ttyS0"_s});
        form.Confirmed = before;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        if (how == u"OPEN")
            QTest::mouseClick(form.BtnSerialOpen, Qt::LeftButton);
        else if (how == u"CANCEL")
            QTest::mouseClick(form.BtnCancel, Qt::LeftButton);
        else if (how == u"close")
            form.close();
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Confirmed, confirmed);
    }
};

QTEST_MAIN(TestSerialForm)
#include "tst_serialform.moc"
