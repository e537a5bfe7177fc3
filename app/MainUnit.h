// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BluetoothUnit.h"
#include "CPort.h"
#include "ModuleExchange.h"
#include "PageIndex.h"
#include "PropertyUnit.h"
#include "SerialQueueThreadUnit.h"
#include "SerialQueueUnit.h"
#include "UiHandOff.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

#include <array>

class QToolButton;
class TErrorForm;
class TExitQuestionForm;
class TLed;
class TMainDisplayForm;
class TPictureButton;
class TTimer;
class TOverviewForm;
class TSecurityForm;
class TSystemForm;
class TUartForm;
class TMultiCommForm;
class TProcessingForm;

// Bits of SetToolbarButtons.
enum ToolbarBit : qint32 {
    ToolbarOpen = 1,
    ToolbarClose = 2,
    ToolbarRead = 4,
    ToolbarWrite = 8,
    ToolbarInit = 16,
};

// The sequencer's state (CommMode, CommandStep, LegacyDevice, LegacyFastSwitch,
// ServiceNameRequested) is the window's own, held in TSequencerState; the
// exchange that decides every step works on it.
class TMainForm final : public QWidget, public TBluetoothPageHost, public TSequencerState
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The product list file; the program's own Setup/config.ini unless a test
    // points elsewhere.
    void SetProductListFile(const QString& path) { m_productListPath = path; }
    QString ProductListFile() const { return m_productListPath; }

    // How long a device search may stay without answers before it is ended.
    void SetSearchSilenceLimit(int ms);

    // Enables OPEN, CLOSE, READ, WRITE and INIT by bits 0 to 4 of mask; EXIT stays
    // enabled and higher bits are ignored.
    void SetToolbarButtons(qint32 mask);

    // Toolbar actions.
    void BtnOpenClick();
    void BtnCloseClick();
    void BtnReadClick();
    void BtnWriteClick();
    void BtnInitClick();
    void BtnExitClick();

    // The desktop or the system asks the program to end (a termination signal,
    // the session ending): not a close request, and nobody may be there to answer
    // a question. A read or write under way, and a disconnection, are let finish;
    // then the module is restarted when the port is open, and the window closes
    // without the exit question.
    void EndOnRequest();

    // Sequencer.
    void HandleResponse(const QByteArray& answer);
    void ReportError(const QString& title, const QString& detail, const QString& maintenanceLine);
    void SendReadCommand();
    void SendWriteCommand();
    void FinishReading();
    void FinishWriting();
    void RestoreReadParameters();

    // Page menu.
    void OpenPage(int k);
    void CloseAllPages();
    void ShowPageLed(int index);
    void AllPageLedsOff();
    void ShowMenuButtonsDisabled();
    void ReopenCurrentPage();
    bool ValidatePage(int k);
    QWidget* PageInSlot(int k) const;

    // TBluetoothPageHost
    bool PortConnected() const override;
    void SendToModule(const QByteArray& text) override;
    void SetCommMode(qint32 mode) override { CommMode = mode; }
    void SetServiceNameRequested(qint32 requested) override { ServiceNameRequested = requested; }
    void StartDeviceSearch() override;

    // Received bytes, raised by MainComPort on this thread.
    void MainComPortRxChar(TCustomComPort* sender, qint32 count);
    // The port's device went away while open (adapter pulled out), raised by
    // MainComPort on this thread: the exchange ends, the port is released, the
    // window returns to its closed look, and one report says what happened.
    void MainComPortLost(TCustomComPort* sender);

    // Controls, by the names the rest of the program uses.
    QToolButton* BtnOpen;
    QToolButton* BtnClose;
    QToolButton* BtnRead;
    QToolButton* BtnWrite;
    QToolButton* BtnInit;
    QToolButton* BtnExit;
    QWidget* MenuPanel;
    QWidget* DisplayPanel;
    std::array<TPictureButton*, PageCount> MenuButtons{};
    std::array<TLed*, PageCount> PageLeds{};
    TLed* SerialLED;
    TLed* ReadyToSetLED;

    // Timers; all stopped at start-up, all but DisplayBtnTimer used as one-shot.
    TTimer* SendDebugCharTimer;
    TTimer* DisconnectTimer;
    TTimer* DisplayBtnTimer;
    TTimer* RedrawTimer;
    TTimer* ShowErrorFormTimer;
    TTimer* RxTimeoutTimer;
    TTimer* ShowSelectProductTimer;
    TTimer* ServiceNameReqTimer;

    // Members, in their order of creation.
    TComPort MainComPort;
    TMainDisplayForm* MainDisplay = nullptr;
    TOverviewForm* OverviewPage = nullptr;
    TBluetoothForm* BluetoothPage = nullptr;
    TSecurityForm* SecurityPage = nullptr;
    TSystemForm* SystemPage = nullptr;
    TUartForm* UartPage = nullptr;
    TMultiCommForm* MultiCommPage = nullptr;
    std::array<bool, PageCount> OpenPages{};
    TParameters ReadParams;
    TParameters EditParams;
    bool PagesLocked = true;
    qint32 DebugCharValue = 0;
    TSerialQueue RxQueue;
    TSerialQueueThread RxThread;
    TProcessingForm* ProcessingDialog = nullptr;
    TErrorForm* ErrorDialog = nullptr;
    qint32 DisplayBtnStep = 0;
    QList<QByteArray> CommandNames;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildToolbar();
    void BuildMenu();
    void BuildStatusBar();
    void BuildTimers();

    void SendDebugCharTimerTimer();
    void DisconnectTimerTimer();
    void DisplayBtnTimerTimer();
    void RedrawTimerTimer();
    void ShowErrorFormTimerTimer();
    void RxTimeoutTimerTimer();
    void ShowSelectProductTimerTimer();
    void ServiceNameReqTimerTimer();

    // Carries out what the exchange says comes next. Returns false when a
    // command was due and did not go out.
    bool ActOn(const TExchangeStep& step);
    TTimer* TimerFor(TAnswerTimer timer) const;
    void EndIfRequestedAndIdle();

    // Sends through the port when it is open; a failed write is shown in a plain
    // message box once the current handler has returned. Returns whether it was sent.
    bool SendText(const QByteArray& text);
    void ShowProgress(const QString& caption, const QString& title, int maximum);
    void MenuButtonMouseMove(int k);
    void MenuButtonMouseLeave(int k);
    void PreparePage(int k);

    QString m_productListPath;
    TModuleExchange m_exchange;
    TUiHandOff m_responseHandOff;
    TTimer* m_searchSilenceTimer = nullptr;
    TTimer* m_profileChangeTimer = nullptr;
    bool m_endRequested = false;
    TExitQuestionForm* m_exitQuestion = nullptr;
};
