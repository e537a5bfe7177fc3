// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-bench-window: an empty Qt Widgets window of the main window's size,
// the least a Widgets program can take to show itself and keep resident.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(560, 436);
    window.show();
    return QApplication::exec();
}
