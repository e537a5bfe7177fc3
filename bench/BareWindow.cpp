// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-bench-window: a bare Qt Widgets window of the main window's size with
// a few labels in the program's fonts, the least a Widgets program that shows
// text can take to show itself and keep resident: the text stack (fontconfig,
// FreeType, HarfBuzz and the font files) is loaded as in any window with words.

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The font the program's skin gives every window, and its bold cut.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    QApplication::setFont(font);
    QFont bold = font;
    bold.setBold(true);

    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(560, 436);
    auto* layout = new QVBoxLayout(&window);
    for (const char* text : {"SERIAL OPEN", "SERIAL CLOSED", "READY TO SET", "Device name", "Baud rate"}) {
        auto* label = new QLabel(QString::fromLatin1(text), &window);
        layout->addWidget(label);
    }
    auto* caption = new QLabel(QStringLiteral("MENU"), &window);
    caption->setFont(bold);
    layout->addWidget(caption);
    window.show();
    return QApplication::exec();
}
