// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"

#include <QByteArray>
#include <QChar>

class QComboBox;
class QPushButton;
class TBluetoothParam;
class TEditBox;
class TErrorForm;
class TSearchDeviceForm;
class TTimer;

// What the Bluetooth page needs of the main window: the page never drives the
// port itself, it asks its host.
class TBluetoothPageHost
{
public:
    virtual ~TBluetoothPageHost() = default;
    virtual bool PortConnected() const = 0;                // MainComPort open
    virtual void SendToModule(const QByteArray& text) = 0; // WriteStr through MainComPort (text includes its CR)
    virtual void SetCommMode(qint32 mode) = 0;
    virtual void SetServiceNameRequested(qint32 requested) = 0;
    virtual void StartDeviceSearch() = 0;
};

// Edits the Bluetooth group of the working parameter set, and is the entry to
// the device search.
class TBluetoothForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TBluetoothForm)

public:
    explicit TBluetoothForm(QWidget* parent = nullptr);
    ~TBluetoothForm() override;

    bool LegacyDevice = false;
    bool MasterMode = false;
    TBluetoothParam* Group = nullptr;
    TBluetoothPageHost* Host = nullptr;
    TSearchDeviceForm* SearchDialog = nullptr;

    TEditBox* DeviceName = nullptr;
    QComboBox* Role = nullptr;
    TEditBox* RemoteBDAddr = nullptr;
    QPushButton* BtnSearch = nullptr;
    TEditBox* InquiryAccessCodeFirst = nullptr;
    TEditBox* InquiryAccessCodeSecond = nullptr;
    TEditBox* ClassOfDevice = nullptr;
    QComboBox* PowerSave = nullptr;
    TEditBox* LinkTimeout = nullptr;
    QComboBox* SupportProfile = nullptr;
    TEditBox* ServiceName = nullptr;
    TTimer* AccessCodeErrorTimer = nullptr;

    void LoadFromParams();

    // Puts a service name read back from the module into its box, whole even
    // when it is longer than can be typed (setText would cut it to the limit).
    void ShowServiceName(const QByteArray& name);

    void DeviceNameChange();
    void RoleChange();
    void RemoteBDAddrChange();
    void InquiryAccessCodeSecondChange();
    void ClassOfDeviceChange();
    void PowerSaveChange();
    void LinkTimeoutChange();
    void SupportProfileChange();
    void ServiceNameChange();

    // Return true when the typed character may go into the box.
    static bool RemoteBDAddrKeyPress(QChar key);
    static bool InquiryAccessCodeSecondKeyPress(QChar key);
    static bool ClassOfDeviceKeyPress(QChar key);
    static bool LinkTimeoutKeyPress(QChar key);

    void AccessCodeErrorTimerTimer();

    void BtnSearchClick();
    void BeginSearch();
    void AddSearchResult(const QByteArray& address, const QByteArray& name, const QByteArray& cod);
    void EndSearch();

    // The "INPUT ERROR" dialog while it is shown, for whoever needs to reach it.
    TErrorForm* AccessCodeErrorDialog() const { return m_errorDialog; }

private:
    TErrorForm* m_errorDialog = nullptr;
};
