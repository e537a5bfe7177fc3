// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the connection handshake for a module without a model: the
// product selection. The handshake's answers are the exchange's.

#include "MainUnit.h"
#include "MainInternal.h"

#include "SelectProductUnit.h"
#include "TTimer.h"

using namespace MainForm;

void TMainForm::ShowSelectProductTimerTimer()
{
    ShowSelectProductTimer->Stop();
    TSelectProductForm dialog(m_productListPath, this);
    dialog.exec();
    // The port may have gone while the list was open; its report has been made.
    if (!MainComPort.Connected())
        return;
    if (dialog.Confirmed) {
        const QByteArray model = dialog.SelectedProduct().toLatin1();
        ReadParams.Local.ModelName = model;
        EditParams.Local.ModelName = model;
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
    } else {
        DisconnectTimer->Start();
    }
}
