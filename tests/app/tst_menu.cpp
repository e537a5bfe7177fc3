// SPDX-License-Identifier: GPL-3.0-or-later
// The page menu as the user sees it: the reveal after the first reading, the
// pictures under the pointer, and the locked look that a disconnection restores.

#include "Session.h"

#include "Artwork.h"
#include "MainDisplayUnit.h"
#include "TPictureButton.h"
#include "UartUnit.h"

#include <QElapsedTimer>

namespace {

bool Shows(const TPictureButton* button, int k, Artwork::MenuLook look)
{
    return button->Picture().toImage() == Artwork::MenuButtonPicture(k, look).toImage();
}

// The window that a user sees in the middle of the display panel.
QWidget* OnTop(const TMainForm& form)
{
    QWidget* top = form.DisplayPanel->childAt(form.DisplayPanel->rect().center());
    while (top && top->parentWidget() != form.DisplayPanel)
        top = top->parentWidget();
    return top;
}

bool AllShow(const TMainForm& form, Artwork::MenuLook look)
{
    for (int k = 0; k < PageCount; ++k)
        if (!Shows(form.MenuButtons[k], k, look))
            return false;
    return true;
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    // Each button changes on its own, in page order, no sooner than 100 ms after
    // the one before it.
    void revealChangesOneButtonAtATimeInOrder()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(AllShow(*s.Form, Artwork::MenuLook::Disabled));

        // Seen at each tick of the reveal's timer, right after the tick changed the pictures.
        QElapsedTimer clock;
        QList<int> order;
        QList<qint64> at;
        int mostAtOnce = 0;
        const std::function<void()> tick = s.Form->DisplayBtnTimer->OnTimer;
        s.Form->DisplayBtnTimer->OnTimer = [&] {
            tick();
            int now = 0;
            for (int k = 0; k < PageCount; ++k)
                if (!order.contains(k) && Shows(s.Form->MenuButtons[k], k, Artwork::MenuLook::Normal)) {
                    order << k;
                    at << clock.elapsed();
                    ++now;
                }
            mostAtOnce = qMax(mostAtOnce, now);
        };
        clock.start();
        QVERIFY(s.Read());
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), PageCount, 3000);
        QCOMPARE(order, (QList<int>{0, 1, 2, 3, 4, 5}));
        QCOMPARE(mostAtOnce, 1);
        for (int i = 1; i < at.size(); ++i)
            QVERIFY2(at[i] - at[i - 1] >= 100, qPrintable(QStringLiteral("button %1 came %2 ms after the one before")
                                                             .arg(i)
                                                             .arg(at[i] - at[i - 1])));
    }

    // Under the pointer a button shows its highlighted picture; leaving it brings
    // the normal one back. While the menu is locked the pointer changes nothing.
    void pointerHighlightsAndLeavingRestores()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        TPictureButton* system = s.Form->MenuButtons[PageSystem];
        system->OnMouseMove();
        QVERIFY(Shows(system, PageSystem, Artwork::MenuLook::Disabled));

        QVERIFY(s.Read());
        QTRY_VERIFY(!s.Form->DisplayBtnTimer->Enabled());
        for (int k = 0; k < PageCount; ++k) {
            TPictureButton* button = s.Form->MenuButtons[k];
            button->OnMouseMove();
            QVERIFY(Shows(button, k, Artwork::MenuLook::Highlighted));
            for (int other = 0; other < PageCount; ++other)
                if (other != k)
                    QVERIFY(Shows(s.Form->MenuButtons[other], other, Artwork::MenuLook::Normal));
            button->OnMouseLeave();
            QVERIFY(Shows(button, k, Artwork::MenuLook::Normal));
        }
    }

    // CLOSE with a page open: every button back to its disabled picture, the page
    // gone and the placeholder picture shown again.
    void disconnectionRestoresTheLockedLook()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QCOMPARE(OnTop(*s.Form), s.Form->MainDisplay);
        QVERIFY(s.Read());
        QTRY_VERIFY(!s.Form->DisplayBtnTimer->Enabled());
        s.Form->MenuButtons[PageUart]->OnClick();
        QVERIFY(s.Form->OpenPages[PageUart]);
        QCOMPARE(OnTop(*s.Form), s.Form->UartPage);
        s.Form->MenuButtons[PageUart]->OnMouseMove();

        s.Form->BtnClose->click();
        QTRY_VERIFY(!s.Form->MainComPort.Connected());
        QVERIFY(AllShow(*s.Form, Artwork::MenuLook::Disabled));
        QCOMPARE(OnTop(*s.Form), s.Form->MainDisplay);
        QVERIFY(!s.Form->UartPage->isVisible());
        // Locked again: the pointer changes nothing.
        s.Form->MenuButtons[PageUart]->OnMouseMove();
        QVERIFY(Shows(s.Form->MenuButtons[PageUart], PageUart, Artwork::MenuLook::Disabled));
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
