#pragma once

#include "TToolDialog.h"

#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;

// Asks for the port, the line settings and the module's debug character before a
// connection. It checks nothing itself: the caller reads the texts after exec().
class TSerialForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSerialForm)

public:
    // The module's factory debug character, as two hexadecimal digits.
    static constexpr const char* DefaultDebugChar = "1E";

    // Lists the serial ports of this computer.
    explicit TSerialForm(QWidget* parent = nullptr);
    // Lists the given ports instead (they are sorted here as well).
    explicit TSerialForm(const QStringList& ports, QWidget* parent = nullptr);

    // True when the dialog was closed with OPEN.
    bool Confirmed = false;

    QLineEdit* DebugChar;
    QComboBox* ComPort;
    QComboBox* BaudRate;
    QComboBox* ParityBit;
    QComboBox* StopBit;
    QPushButton* BtnSerialOpen;
    QPushButton* BtnCancel;

    QString ComPortText() const;
    QString BaudRateText() const;
    QString ParityBitText() const;
    QString StopBitText() const;
    QString DebugCharText() const;
};
