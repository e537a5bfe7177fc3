// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QAbstractButton;
class QLabel;
class QGroupBox;
class QPushButton;

// A small modal tool window of fixed client size with a short title bar and no
// title-bar buttons, centred over its owner each time it is shown.
class TToolDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TToolDialog)

public:
    TToolDialog(const QString& caption, QSize clientSize, QWidget* parent);

    // Escape closes the dialog only when allowed; questions keep it open.
    void SetEscapeCloses(bool closes) { m_escapeCloses = closes; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

    // Small builders for the fixed layouts of the dialogs.
    QLabel* AddLabel(QWidget* parent, const QString& text, int left, int top, const QColor& color,
                     bool bold = true);
    QPushButton* AddButton(const QString& text, QRect place, const QColor& color);
    QGroupBox* AddGroup(const QString& caption, QRect place, const QColor& color);

    // Shows `words`, which follow `prefix` in the one-line label `line`, in another
    // colour: a second label over exactly the same words, hiding the first ones.
    QLabel* ColourWords(QLabel* line, const QString& prefix, const QString& words, const QColor& color);

    // The button still takes focus and answers Enter and Space, but draws no focus
    // rectangle.
    static void DrawNoFocusFrame(QAbstractButton* button);

private:
    bool m_escapeCloses = false;
};

// Turns the CR LF pairs of the program's texts into the line breaks of a label.
QString ToDisplayText(const QString& text);
