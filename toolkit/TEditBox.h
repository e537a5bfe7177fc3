// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>

// A single-line edit box as the pages use it: a length limit, optional forced
// upper case and a per-keystroke filter. The limit, the filter and the upper
// case act on what the user types or pastes only; text set by the program (a
// loaded value, a found address) is taken as is and shown whole, so a change
// handler that stores the box's text stores the value unchanged.
// textChanged fires for both, which is what the pages' change handlers rely on.
class TEditBox final : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TEditBox)

public:
    explicit TEditBox(QWidget* parent = nullptr);

    // Returns true when the typed character may go into the box. Backspace,
    // Delete, cursor keys and shortcuts are never filtered.
    std::function<bool(QChar)> KeyFilter;

    // The most characters the user may type or paste. A longer text set by the
    // program stays whole; the user may delete from it but not add to it.
    void SetTypingLimit(int limit);
    int TypingLimit() const { return m_typingLimit; }

    // Shows `text` whole, whatever the typing limit. Hides QLineEdit::setText,
    // which would cut it to the limit.
    void setText(const QString& text);

    void SetUpperCase(bool upper) { m_upperCase = upper; }
    bool UpperCase() const { return m_upperCase; }

    // Filters that the pages share.
    static bool HexDigit(QChar c);
    static bool DecimalDigit(QChar c);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The length limit is the typing limit above; the underlying one follows it.
    using QLineEdit::setMaxLength;

    QString Clean(const QString& text) const;
    void SanitiseUserEdit(const QString& text);
    // Lets the underlying box hold the current text and no more than the limit.
    void FitLimit();

    int m_typingLimit = 32767;
    bool m_upperCase = false;
    bool m_sanitising = false;
};
