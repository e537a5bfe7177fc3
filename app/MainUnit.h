#pragma once

#include "PageIndex.h"
#include "PropertyUnit.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

#include <array>

class QToolButton;
class TErrorForm;
class TLed;
class TMainDisplayForm;
class TPictureButton;
class TTimer;
class TOverviewForm;
class TBluetoothForm;
class TSecurityForm;
class TSystemForm;
class TUartForm;
class TMultiCommForm;
class TProcessingForm;

// The exchange in progress with the module.
enum TCommMode : qint32 {
    ModeIdle = 0,
    ModeConnecting = 1,
    ModeReading = 2,
    ModeWriting = 3,
    ModeInitialising = 4,
    ModeSearching = 5,
    ModeProfileChange = 6,
};

// Bits of SetToolbarButtons.
enum ToolbarBit : qint32 {
    ToolbarOpen = 1,
    ToolbarClose = 2,
    ToolbarRead = 4,
    ToolbarWrite = 8,
    ToolbarInit = 16,
};

class TMainForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainForm)

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Enables OPEN, CLOSE, READ, WRITE and INIT by bits 0 to 4 of mask; EXIT stays
    // enabled and higher bits are ignored.
    void SetToolbarButtons(qint32 mask);

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
    bool LegacyDevice = false;
    bool LegacyFastSwitch = false;
    qint32 CommMode = ModeIdle;
    qint32 ServiceNameRequested = 0;
    qint32 DebugCharValue = 0;
    qint32 CommandStep = -1;
    TProcessingForm* ProcessingDialog = nullptr;
    TErrorForm* ErrorDialog = nullptr;
    qint32 DisplayBtnStep = 0;
    QList<QByteArray> CommandNames;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolbar();
    void BuildMenu();
    void BuildStatusBar();
    void ShowMenuButtonsDisabled();
    void BtnExitClick();
};
