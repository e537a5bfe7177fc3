#include "SerialFormUnit.h"

#include "Skin.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

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
