#include "TToolDialog.h"

#include "Skin.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TToolDialog::TToolDialog(const QString& caption, QSize clientSize, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(caption);
    setAccessibleName(caption);
    setFixedSize(clientSize);
    setModal(true);
}

void TToolDialog::showEvent(QShowEvent* event)
{
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect frame = owner->geometry();
        move(frame.left() + frame.width() / 2 - width() / 2, frame.top() + frame.height() / 2 - height() / 2);
    }
    QDialog::showEvent(event);
}

void TToolDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !m_escapeCloses) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QLabel* TToolDialog::AddLabel(QWidget* parent, const QString& text, int left, int top, const QColor& color,
                              bool bold)
{
    auto* label = new QLabel(ToDisplayText(text), parent);
    label->setFont(SkinFont(bold));
    SetTextColor(label, color);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* TToolDialog::AddButton(const QString& text, QRect place, const QColor& color)
{
    auto* button = new QPushButton(text, this);
    button->setFont(SkinFont(true));
    SetTextColor(button, color);
    button->setGeometry(place);
    button->setAccessibleName(text);
    button->setAutoDefault(true);
    return button;
}

QGroupBox* TToolDialog::AddGroup(const QString& caption, QRect place, const QColor& color)
{
    auto* group = new QGroupBox(caption, this);
    group->setFont(SkinFont(true));
    SetTextColor(group, color);
    group->setGeometry(place);
    return group;
}

QString ToDisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}
