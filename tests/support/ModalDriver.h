// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Acts on the next modal dialog as soon as it is shown: the modal loop runs in
// the code under test, so the action is queued before that code is started.
// `act` receives the dialog and must close it. No dialog within `giveUpMs`: the
// watch ends and `act` is never called.
inline void WhenModalShown(std::function<void(QWidget*)> act, int giveUpMs = 5000)
{
    auto timer = std::make_shared<QTimer>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer.get(), &QTimer::timeout, [timer, clock, act, giveUpMs]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            timer->stop();
            act(modal);
            timer.reset();
        } else if (clock->elapsed() > giveUpMs) {
            timer->stop();
            timer.reset();
        }
    });
    timer->start();
}

// Presses the button whose accessible name is `caption` in the next modal dialog.
inline void PressInNextModal(const QString& caption)
{
    WhenModalShown([caption](QWidget* modal) {
        for (auto* button : modal->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == caption || button->text() == caption) {
                button->click();
                return;
            }
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
}
