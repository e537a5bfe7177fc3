// SPDX-License-Identifier: GPL-3.0-or-later
// The write, initialisation and exit questions: texts, answers, keys and focus.
#include "ExitQuestionFormUnit.h"
#include "InitQuestionFormUnit.h"
#include "WriteQuestionFormUnit.h"

#include "AllocatedBytes.h"
#include "Skin.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QTest>

#include <functional>
#include <memory>


using namespace Qt::StringLiterals;

namespace {

// One of the three questions, with its buttons in tab order and its answer as a number
// (false 0, true 1 for the yes/no questions).
struct Question
{
    std::unique_ptr<TToolDialog> dialog;
    QList<QPushButton*> buttons;
    std::function<int()> answer;
    std::function<void(int)> setAnswer;
};

Question Make(const QString& kind)
{
    Question q;
    if (kind == u"write") {
        auto* d = new TWriteQuestionForm;
        q.dialog.reset(d);
        q.buttons = {d->BtnWrite, d->BtnReturn, d->BtnCancel};
        q.answer = [d] { return int(d->Answer); };
        q.setAnswer = [d](int a) { d->Answer = a; };
    } else if (kind == u"init") {
        auto* d = new TInitQuestionForm;
        q.dialog.reset(d);
        q.buttons = {d->BtnInit, d->BtnCancel};
        q.answer = [d] { return int(d->Confirmed); };
        q.setAnswer = [d](int a) { d->Confirmed = a != 0; };
    } else {
        auto* d = new TExitQuestionForm;
        q.dialog.reset(d);
        q.buttons = {d->BtnExit, d->BtnCancel};
        q.answer = [d] { return int(d->Confirmed); };
        q.setAnswer = [d](int a) { d->Confirmed = a != 0; };
    }
    return q;
}

void AddKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("write") << u"write"_s;
    QTest::newRow("init") << u"init"_s;
    QTest::newRow("exit") << u"exit"_s;
}

QLabel* FindLabel(const QWidget* dialog, const QString& text)
{
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

} // namespace

class TestQuestionForms : public QObject
{
    Q_OBJECT

private slots:
    // The program's own look, so that the style checks below see what a user sees.
    void initTestCase() { ApplySkin(*qApp); }

    void layoutAndTexts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<QRect>>("places");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("write") << u"write"_s << u"Write Parameters"_s << QSize(259, 146)
                               << QStringList{u"WRITE PARAMETERS"_s, u"RETURN TO READ"_s, u"CANCEL"_s}
                               << QList<QRect>{{5, 96, 122, 21}, {132, 96, 122, 21}, {5, 121, 249, 21}}
                               << QStringList{u"NOTE"_s, u"Write the PARAMETERS which you set :"_s,
                                              u"Click WRITE PARAMETERS"_s, u"Reset the last read PARAMETERS :"_s,
                                              u"Click RETURN TO READ"_s};
        QTest::newRow("init") << u"init"_s << u"Factory Initialization"_s << QSize(334, 99)
                              << QStringList{u"INIT DEVICE"_s, u"CANCEL"_s}
                              << QList<QRect>{{5, 73, 159, 20}, {169, 73, 159, 20}}
                              << QStringList{u"WARNING : FACTORY INITIALIZATION"_s,
                                             u"This device will be initialized to Factory Setting"_s,
                                             u"Do you want to initialize this device?"_s};
        QTest::newRow("exit") << u"exit"_s << u"Exit Application"_s << QSize(277, 121)
                              << QStringList{u"EXIT APPLICATION"_s, u"CANCEL"_s}
                              << QList<QRect>{{6, 95, 131, 21}, {140, 95, 131, 21}}
                              << QStringList{u"NOTE"_s, u"If the COM PORT is opened now, "_s,
                                             u"when this Application is closed,"_s,
                                             u"Restart Command will be sent to the device."_s,
                                             u"Do you want to exit this application?"_s};
    }

    void layoutAndTexts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QSize, size);
        QFETCH(QStringList, captions);
        QFETCH(QList<QRect>, places);
        QFETCH(QStringList, lines);
        Question q = Make(kind);
        QCOMPARE(q.dialog->windowTitle(), title);
        QCOMPARE(q.dialog->size(), size);
        QVERIFY(!q.dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(q.buttons.size(), captions.size());
        for (qsizetype i = 0; i < captions.size(); ++i) {
            QCOMPARE(q.buttons[i]->text(), captions[i]);
            QCOMPARE(q.buttons[i]->accessibleName(), captions[i]);
            QCOMPARE(q.buttons[i]->geometry(), places[i]);
        }
        QStringList shown;
        for (const QLabel* label : q.dialog->findChildren<QLabel*>())
            shown << label->text();
        for (const QGroupBox* group : q.dialog->findChildren<QGroupBox*>())
            shown << group->title();
        for (const QString& line : lines)
            QVERIFY2(shown.contains(line), qPrintable(line));
    }

    void colouredWordsLieOverTheGreyWords_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("write red") << u"write"_s << u"Click WRITE PARAMETERS"_s << u"Click "_s
                                   << u"WRITE PARAMETERS"_s << AccentRed;
        QTest::newRow("write blue") << u"write"_s << u"Click RETURN TO READ"_s << u"Click "_s << u"RETURN TO READ"_s
                                    << AccentBlue;
        QTest::newRow("exit red") << u"exit"_s << u"Restart Command will be sent to the device."_s << QString()
                                  << u"Restart Command"_s << AccentRed;
    }

    void colouredWordsLieOverTheGreyWords()
    {
        QFETCH(QString, kind);
        QFETCH(QString, line);
        QFETCH(QString, prefix);
        QFETCH(QString, words);
        QFETCH(QColor, colour);
        Question q = Make(kind);
        QLabel* grey = FindLabel(q.dialog.get(), line);
        QLabel* coloured = FindLabel(q.dialog.get(), words);
        QVERIFY(grey && coloured);
        QCOMPARE(grey->palette().color(QPalette::WindowText), SkinTextColor);
        QCOMPARE(coloured->palette().color(QPalette::WindowText), colour);
        QCOMPARE(coloured->parentWidget(), grey->parentWidget());
        QCOMPARE(coloured->pos(), grey->pos() + QPoint(grey->fontMetrics().horizontalAdvance(prefix), 0));
        QCOMPARE(coloured->font(), grey->font());
    }

    void exitLinesAreThirteenPixelsApart()
    {
        Question q = Make(u"exit"_s);
        // Group-relative, the group box starting at the dialog's 6, 1.
        QCOMPARE(FindLabel(q.dialog.get(), u"If the COM PORT is opened now, "_s)->pos(), QPoint(7, 17));
        QCOMPARE(FindLabel(q.dialog.get(), u"when this Application is closed,"_s)->pos(), QPoint(7, 30));
        QCOMPARE(FindLabel(q.dialog.get(), u"Restart Command"_s)->pos(), QPoint(7, 43));
    }

    void buttonsSetTheAnswerAndClose_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("WRITE PARAMETERS") << u"write"_s << 0 << 1;
        QTest::newRow("RETURN TO READ") << u"write"_s << 1 << 2;
        QTest::newRow("write CANCEL") << u"write"_s << 2 << 0;
        QTest::newRow("INIT DEVICE") << u"init"_s << 0 << 1;
        QTest::newRow("init CANCEL") << u"init"_s << 1 << 0;
        QTest::newRow("EXIT APPLICATION") << u"exit"_s << 0 << 1;
        QTest::newRow("exit CANCEL") << u"exit"_s << 1 << 0;
    }

    void buttonsSetTheAnswerAndClose()
    {
        QFETCH(QString, kind);
        QFETCH(int, button);
        QFETCH(int, answer);
        Question q = Make(kind);
        // Start from another answer, so that a button that sets nothing shows.
        q.setAnswer(answer == 1 ? 2 : 1);
        q.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(q.dialog.get()));
        QTest::mouseClick(q.buttons[button], Qt::LeftButton);
        QCOMPARE(q.answer(), answer);
        QVERIFY(!q.dialog->isVisible());
    }

    void closedWithoutAButtonAnswersNo_data() { AddKinds(); }

    void closedWithoutAButtonAnswersNo()
    {
        QFETCH(QString, kind);
        Question q = Make(kind);
        QCOMPARE(q.answer(), 0);
        q.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(q.dialog.get()));
        q.dialog->close();
        QVERIFY(!q.dialog->isVisible());
        QCOMPARE(q.answer(), 0);
    }

    void escapeLeavesItOpen_data() { AddKinds(); }

    void escapeLeavesItOpen()
    {
        QFETCH(QString, kind);
        Question q = Make(kind);
        q.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(q.dialog.get()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(q.dialog->isVisible());
        QCOMPARE(q.answer(), 0);
    }

    void focusStartsOnTheFirstButtonAndTabsInOrder_data() { AddKinds(); }

    void focusStartsOnTheFirstButtonAndTabsInOrder()
    {
        QFETCH(QString, kind);
        Question q = Make(kind);
        q.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(q.dialog.get()));
        for (QPushButton* expected : q.buttons) {
            QCOMPARE(QApplication::focusWidget(), expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), q.buttons.first());
    }

    void enterAndSpacePressTheFocusedButton_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");
        QTest::newRow("write Enter on first") << u"write"_s << 0 << int(Qt::Key_Return) << 1;
        QTest::newRow("write Space on second") << u"write"_s << 1 << int(Qt::Key_Space) << 2;
        QTest::newRow("write Enter on second") << u"write"_s << 1 << int(Qt::Key_Enter) << 2;
        QTest::newRow("init Space on first") << u"init"_s << 0 << int(Qt::Key_Space) << 1;
        QTest::newRow("init Enter on second") << u"init"_s << 1 << int(Qt::Key_Return) << 0;
        QTest::newRow("exit Enter on first") << u"exit"_s << 0 << int(Qt::Key_Return) << 1;
        QTest::newRow("exit Space on second") << u"exit"_s << 1 << int(Qt::Key_Space) << 0;
    }

    void enterAndSpacePressTheFocusedButton()
    {
        QFETCH(QString, kind);
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(int, answer);
        Question q = Make(kind);
        q.dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(q.dialog.get()));
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!q.dialog->isVisible());
        QCOMPARE(q.answer(), answer);
    }

    // A question is built anew each time it is asked. Built and drawn again and
    // again, it must not take more memory each time: the faces the style keeps
    // for its buttons are met again rather than kept once more per dialog.
    void askingAgainTakesNoMoreMemory_data() { AddKinds(); }

    void askingAgainTakesNoMoreMemory()
    {
        QFETCH(QString, kind);
        const auto askOnce = [&kind] {
            Question q = Make(kind);
            q.dialog->setAttribute(Qt::WA_DontShowOnScreen);
            q.dialog->show();
            (void)q.dialog->grab();
            q.buttons.first()->setFocus();
            (void)q.dialog->grab();
        };
        for (int i = 0; i < 20; ++i)
            askOnce();
        const qint64 settled = AllocatedBytes();
        constexpr int Times = 100;
        for (int i = 0; i < Times; ++i)
            askOnce();
        const qint64 growth = AllocatedBytes() - settled;
        QVERIFY2(growth < 128 * 1024, qPrintable(u"%1 bytes more after %2 questions"_s.arg(growth).arg(Times)));
    }

    void exitButtonsDrawNoFocusRectangle()
    {
        Question q = Make(u"exit"_s);
        const auto drawsFocusFrame = [](const QWidget* button, const QStyle* style) {
            QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QStyleOptionFocusRect option;
            option.initFrom(button);
            option.rect = image.rect().adjusted(2, 2, -2, -2);
            option.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
            QPainter painter(&image);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, button);
            painter.end();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) != 0)
                        return true;
            return false;
        };
        // The application's style does draw one, so the check below can tell.
        QVERIFY(drawsFocusFrame(q.buttons.first(), QApplication::style()));
        for (QPushButton* button : q.buttons)
            QVERIFY(!drawsFocusFrame(button, button->style()));
    }
};

QTEST_MAIN(TestQuestionForms)
#include "tst_questionforms.moc"
