#pragma once

#include <QLineEdit>

#include <functional>

// A single-line edit box as the pages use it: a length limit, optional forced
// upper case and a per-keystroke filter. The filter and the upper case act on
// what the user types or pastes only; text set by the program is taken as is.
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

    void SetUpperCase(bool upper) { m_upperCase = upper; }
    bool UpperCase() const { return m_upperCase; }

    // Filters that the pages share.
    static bool HexDigit(QChar c);
    static bool DecimalDigit(QChar c);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString Clean(const QString& text) const;
    void SanitiseUserEdit(const QString& text);

    bool m_upperCase = false;
    bool m_sanitising = false;
};
