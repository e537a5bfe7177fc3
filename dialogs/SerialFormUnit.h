// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LineSettings.h"
#include "PortWatcher.h"
#include "TToolDialog.h"

#include <QStringList>

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

// What the serial port dialog hands back: the port and the line, as typed or
// picked. ReadLineTexts says what the line texts mean.
struct TSerialSettings {
    QString Port;
    TLineTexts Line;
};

// Asks for the port, the line settings and the module's debug character before a
// connection. It checks nothing itself: the caller reads Settings() after exec().
class TSerialForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSerialForm)

public:
    // The module's factory debug character, as two hexadecimal digits.
    static constexpr const char* DefaultDebugChar = "1E";

    // The item data of COM PORT that holds the whole drop-down entry (path,
    // adapter, serial number, holder); the item text is the bare path.
    static constexpr int PortEntryRole = Qt::UserRole + 1;

    // Lists the serial ports of this computer, and follows adapters plugged in
    // or pulled out while the dialog is open.
    explicit TSerialForm(QWidget* parent = nullptr);
    // Lists the given ports instead (they are sorted here as well).
    explicit TSerialForm(const QStringList& ports, QWidget* parent = nullptr);
    // Lists and follows the ports of `source`; `holders` names the program that
    // holds a port.
    TSerialForm(std::unique_ptr<IPortSource> source, TPortWatcher::THolderLookup holders,
                QWidget* parent = nullptr);

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
    TSerialSettings Settings() const;

    // The ports the list shows now.
    const TPortWatcher& Ports() const { return *m_ports; }

private:
    // Refills COM PORT from the watcher, keeping what the box says.
    void FillPortList();

    TPortWatcher* m_ports = nullptr;
};
