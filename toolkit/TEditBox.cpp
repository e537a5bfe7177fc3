// SPDX-License-Identifier: GPL-3.0-or-later
#include "TEditBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

TEditBox::TEditBox(QWidget* parent)
    : QLineEdit(parent)
{
    // Pasted or dropped text goes through the same rules as typed keys.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        SanitiseUserEdit(text);
        FitLimit();
    });
}

void TEditBox::SetTypingLimit(int limit)
{
    m_typingLimit = qMax(0, limit);
    FitLimit();
}

void TEditBox::setText(const QString& text)
{
    // Widened first: QLineEdit cuts a text to its maximum length before it
    // reports the change.
    QLineEdit::setMaxLength(qMax(m_typingLimit, int(text.size())));
    QLineEdit::setText(text);
}

void TEditBox::FitLimit()
{
    // An over-long text shrinks the room as the user deletes from it.
    const int wanted = qMax(m_typingLimit, int(text().size()));
    if (maxLength() == wanted)
        return;
    const int cursor = cursorPosition();
    QLineEdit::setMaxLength(wanted);
    setCursorPosition(cursor);
}

bool TEditBox::HexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool TEditBox::DecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

void TEditBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        // Cleaned before it goes in, so the length limit cuts the clean text and
        // not line breaks that would have been dropped anyway.
        if (!isReadOnly())
            insert(Clean(QGuiApplication::clipboard()->text()));
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool printable = typed.size() == 1 && typed.at(0).isPrint()
                           && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!printable) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed.at(0);
    if (KeyFilter && !KeyFilter(c)) {
        event->accept();
        return;
    }
    if (m_upperCase && c.isLower()) {
        QKeyEvent upper(event->type(), event->key(), event->modifiers(), QString(c.toUpper()),
                        event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QLineEdit::keyPressEvent(&upper);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

QString TEditBox::Clean(const QString& text) const
{
    // Control characters (line breaks, tabs), characters beyond one byte and
    // characters the filter refuses are dropped; letters forced to upper case
    // where the box wants it.
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (!c.isPrint() || c.unicode() > 0xFF)
            continue;
        if (KeyFilter && !KeyFilter(c))
            continue;
        clean.append(m_upperCase ? c.toUpper() : c);
    }
    return clean;
}

void TEditBox::SanitiseUserEdit(const QString& text)
{
    if (m_sanitising)
        return;
    // Typed keys and the paste shortcut are cleaned before they go in; this
    // catches what comes another way (the context menu, a drop).
    const QString clean = Clean(text);
    if (clean == text)
        return;
    m_sanitising = true;
    const int cursor = cursorPosition() - (text.size() - clean.size());
    QLineEdit::setText(clean.left(maxLength()));
    setCursorPosition(qBound(0, cursor, clean.size()));
    m_sanitising = false;
}
