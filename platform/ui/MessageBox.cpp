// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace PlatformMessageBox {
namespace {
Hook& CurrentHook()
{
    static Hook hook;
    return hook;
}
} // namespace

void Show(const QString& text, QWidget* parent)
{
    if (const Hook& hook = CurrentHook()) {
        hook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent ? parent : QApplication::activeWindow());
    box.setAccessibleName(text);
    box.exec();
}

Hook SetHook(Hook hook)
{
    Hook previous = std::move(CurrentHook());
    CurrentHook() = std::move(hook);
    return previous;
}

} // namespace PlatformMessageBox
