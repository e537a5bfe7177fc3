// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"

class QComboBox;
class TEditBox;
class TSystemParam;

// Status message, connection mode, escape and debug characters, connection
// delay and stream switching. The last two depend on the module generation.
class TSystemForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSystemForm)

public:
    explicit TSystemForm(QWidget* parent = nullptr);

    bool LegacyDevice = false;
    bool LegacyFastSwitch = false;
    TSystemParam* Group = nullptr;

    QComboBox* StatusMessage;
    QComboBox* ConnectionMode;
    TEditBox* EscapeChar;
    TEditBox* DebugChar;
    TEditBox* ConnectionDelayTime;
    QComboBox* StreamSwitchingFast;

    void LoadFromParams();

    void StatusMessageChange();
    void ConnectionModeChange();
    void EscapeCharChange();
    void DebugCharChange();
    void ConnectionDelayTimeChange();
    void StreamSwitchingFastChange();

    // Typed keys: true lets the key into the box.
    static bool EscapeCharKeyPress(QChar key);
    static bool DebugCharKeyPress(QChar key);
    static bool ConnectionDelayTimeKeyPress(QChar key);
};
