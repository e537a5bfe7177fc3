// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

#include <QByteArray>

#include <functional>

class QPushButton;
class QTreeWidget;

// Lists the devices a MASTER module finds and lets the user take one address
// as the module's remote address. The search itself is run by the main window;
// the Bluetooth page fills the list and enables the dialog again at the end.
class TSearchDeviceForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSearchDeviceForm)

public:
    explicit TSearchDeviceForm(QWidget* parent = nullptr);

    // Columns of DeviceList, left to right.
    enum Column : int { SearchIndex = 0, DeviceAddress = 1, DeviceNames = 2, ClassOfDevice = 3 };

    bool Inserted = false;
    QByteArray SelectedAddress;
    // Runs when SEARCH BLUETOOTH DEVICES is pressed; the page starts the search.
    std::function<void()> OnSearchClick;

    QPushButton* BtnSearch = nullptr;
    QTreeWidget* DeviceList = nullptr;
    QPushButton* BtnInsert = nullptr;
    QPushButton* BtnClose = nullptr;

    void BtnSearchClick();
    void BtnInsertClick();
    void BtnCloseClick();

    // While a search runs the dialog is disabled and must wait for its end:
    // closing it then (Escape, the window manager) is refused.
    void reject() override;

protected:
    // Return (and Enter) act on what has the focus: on the list, INSERT TO TARGET;
    // on a button, that button. They never start a search while the list holds
    // found devices, so a list cannot be thrown away by a key meant for a row.
    void keyPressEvent(QKeyEvent* event) override;
};
