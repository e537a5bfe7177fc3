// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its frame, toolbar, menu column, status bar and timers,
// and shutdown.

#include "MainUnit.h"
#include "MainInternal.h"

#include "Artwork.h"
#include "AtProtocol.h"
#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "IniFile.h"
#include "MainDisplayUnit.h"
#include "MessageBox.h"
#include "ProcessingFormUnit.h"
#include "TLed.h"
#include "TPictureButton.h"
#include "TTimer.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPainter>
#include <QToolButton>

using namespace MainForm;

namespace {

// The menu column paints its background picture stretched over itself.
class TMenuPanel final : public QWidget
{
public:
    explicit TMenuPanel(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawPixmap(rect(), Artwork::MenuBackground(size()));
    }
};

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_productListPath(::ProductListPath())
    , m_exchange(*this, ReadParams, EditParams)
    , m_responseHandOff(this)
{
    setWindowTitle(QStringLiteral("RadioSet Program Ver 1.3.2"));
    setAccessibleName(windowTitle());
    setFixedSize(560, 436);
    move(0, 0);

    BuildToolbar();
    BuildMenu();
    BuildStatusBar();
    BuildTimers();

    MainComPort.OnRxChar = [this](TCustomComPort* sender, qint32 count) { MainComPortRxChar(sender, count); };
    MainComPort.OnLost = [this](TCustomComPort* sender) { MainComPortLost(sender); };

    // Creation, in order.
    SetToolbarButtons(ToolbarOpen);
    ShowMenuButtonsDisabled();
    OpenPages.fill(false);
    ReadParams.Clear();
    EditParams.Clear();
    CommMode = ModeIdle;
    CommandStep = -1;
    RxQueue.Clear();

    // Every framed answer is handled here on the window's thread, one at a time,
    // while the worker waits; at shutdown the hand-off is cancelled first so the
    // worker can be joined without waiting on this thread.
    RxThread.Queue = &RxQueue;
    RxThread.OnResponse = [this](const QByteArray& response) {
        m_responseHandOff.Run([this, response] { HandleResponse(response); });
    };
    RxThread.Start();

    MainDisplay = new TMainDisplayForm(DisplayPanel);
    MainDisplay->move(0, 0);
    MainDisplay->show();

    ProcessingDialog = new TProcessingForm(this);
    ErrorDialog = new TErrorForm(this);
    PagesLocked = true;
    DisplayBtnStep = 0;
    CommandNames = ::CommandNames();
}

TMainForm::~TMainForm()
{
    m_responseHandOff.Cancel();
    RxThread.Stop();
    MainComPort.OnRxChar = nullptr;
    MainComPort.OnLost = nullptr;
    try {
        MainComPort.Close();
    } catch (const EComPort&) {
        // The port goes away with the program; nothing is left to tell.
    }
}

// ---------------------------------------------------------------- frame

void TMainForm::BuildToolbar()
{
    auto* toolbar = new QWidget(this);
    toolbar->setGeometry(0, 0, 560, 57);

    const Artwork::ToolbarGlyph glyphs[] = {
        Artwork::ToolbarGlyph::Open, Artwork::ToolbarGlyph::Close, Artwork::ToolbarGlyph::Read,
        Artwork::ToolbarGlyph::Write, Artwork::ToolbarGlyph::Init, Artwork::ToolbarGlyph::Exit,
    };
    QToolButton** buttons[] = {&BtnOpen, &BtnClose, &BtnRead, &BtnWrite, &BtnInit, &BtnExit};
    for (int i = 0; i < 6; ++i) {
        auto* button = new QToolButton(toolbar);
        button->setGeometry(93 * i, 0, 93, 58);
        button->setAutoRaise(true);
        button->setIcon(QIcon(Artwork::ToolbarPicture(glyphs[i])));
        button->setIconSize(QSize(82, 58));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setText(Artwork::ToolbarLabel(glyphs[i]));
        button->setAccessibleName(Artwork::ToolbarLabel(glyphs[i]));
        button->setToolTip(Artwork::ToolbarLabel(glyphs[i]));
        *buttons[i] = button;
    }
    connect(BtnOpen, &QToolButton::clicked, this, [this] { BtnOpenClick(); });
    connect(BtnClose, &QToolButton::clicked, this, [this] { BtnCloseClick(); });
    connect(BtnRead, &QToolButton::clicked, this, [this] { BtnReadClick(); });
    connect(BtnWrite, &QToolButton::clicked, this, [this] { BtnWriteClick(); });
    connect(BtnInit, &QToolButton::clicked, this, [this] { BtnInitClick(); });
    connect(BtnExit, &QToolButton::clicked, this, [this] { BtnExitClick(); });
}

void TMainForm::BuildMenu()
{
    MenuPanel = new TMenuPanel(this);
    MenuPanel->setGeometry(0, 57, 120, 360);
    for (int k = 0; k < PageCount; ++k) {
        auto* button = new TPictureButton(MenuPanel);
        button->setGeometry(8, MenuButtonTops[k], 90, 40);
        button->setAccessibleName(PageMenuCaption(k));
        button->OnClick = [this, k] { OpenPage(k); };
        button->OnMouseMove = [this, k] { MenuButtonMouseMove(k); };
        button->OnMouseLeave = [this, k] { MenuButtonMouseLeave(k); };
        MenuButtons[k] = button;
        auto* lamp = new TLed(MenuPanel);
        lamp->setGeometry(102, MenuButtonTops[k], 10, 40);
        lamp->setAccessibleName(PageMenuCaption(k) + QStringLiteral(" LAMP"));
        PageLeds[k] = lamp;
    }

    DisplayPanel = new QWidget(this);
    DisplayPanel->setGeometry(120, 57, 440, 360);
}

void TMainForm::BuildStatusBar()
{
    auto* statusBar = new QWidget(this);
    statusBar->setGeometry(0, 417, 560, 19);
    auto* first = new QFrame(statusBar);
    first->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    first->setGeometry(0, 0, 220, 19);
    auto* second = new QFrame(statusBar);
    second->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    second->setGeometry(222, 0, 50, 19);

    SerialLED = new TLed(statusBar);
    SerialLED->setGeometry(1, 2, 106, 17);
    SerialLED->SetCaption(QStringLiteral("SERIAL CLOSED"));
    ReadyToSetLED = new TLed(statusBar);
    ReadyToSetLED->setGeometry(109, 2, 105, 17);
    ReadyToSetLED->SetCaption(QStringLiteral("READY TO SET"));
}

void TMainForm::BuildTimers()
{
    SendDebugCharTimer = new TTimer(DebugCharDelayMs, this);
    DisconnectTimer = new TTimer(DisconnectDelayMs, this);
    DisplayBtnTimer = new TTimer(100, this);
    RedrawTimer = new TTimer(100, this);
    ShowErrorFormTimer = new TTimer(ReportDelayMs, this);
    RxTimeoutTimer = new TTimer(AnswerLimitMs, this);
    ShowSelectProductTimer = new TTimer(ProductChoiceDelayMs, this);
    ServiceNameReqTimer = new TTimer(ServiceNameDelayMs, this);
    m_searchSilenceTimer = new TTimer(SearchSilenceLimitMs, this);
    m_profileChangeTimer = new TTimer(ProfileChangeLimitMs, this);

    SendDebugCharTimer->OnTimer = [this] { SendDebugCharTimerTimer(); };
    DisconnectTimer->OnTimer = [this] {
        DisconnectTimerTimer();
        if (m_endRequested)
            EndIfRequestedAndIdle();
    };
    DisplayBtnTimer->OnTimer = [this] { DisplayBtnTimerTimer(); };
    RedrawTimer->OnTimer = [this] { RedrawTimerTimer(); };
    ShowErrorFormTimer->OnTimer = [this] { ShowErrorFormTimerTimer(); };
    RxTimeoutTimer->OnTimer = [this] { RxTimeoutTimerTimer(); };
    ShowSelectProductTimer->OnTimer = [this] { ShowSelectProductTimerTimer(); };
    ServiceNameReqTimer->OnTimer = [this] { ServiceNameReqTimerTimer(); };
    m_searchSilenceTimer->OnTimer = [this] {
        m_searchSilenceTimer->Stop();
        ActOn(m_exchange.TimedOut(TAnswerTimer::SearchSilence));
    };
    m_profileChangeTimer->OnTimer = [this] {
        m_profileChangeTimer->Stop();
        ActOn(m_exchange.TimedOut(TAnswerTimer::ProfileChange));
    };
}

void TMainForm::SetSearchSilenceLimit(int ms)
{
    m_searchSilenceTimer->SetInterval(ms);
}

void TMainForm::SetToolbarButtons(qint32 mask)
{
    BtnOpen->setEnabled(mask & ToolbarOpen);
    BtnClose->setEnabled(mask & ToolbarClose);
    BtnRead->setEnabled(mask & ToolbarRead);
    BtnWrite->setEnabled(mask & ToolbarWrite);
    BtnInit->setEnabled(mask & ToolbarInit);
}

// ---------------------------------------------------------------- shutdown

void TMainForm::BtnExitClick()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // While a read or a write runs the whole window is disabled, and a disabled
    // window cannot be closed: a close request then (the title bar, Alt+F4, the
    // desktop closing its windows) does nothing, and the exchange ends whole.
    // Qt hands the window manager's request to a disabled window all the same.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    if (!m_endRequested) {
        TExitQuestionForm question(this);
        m_exitQuestion = &question;
        question.exec();
        m_exitQuestion = nullptr;
        // An end asked for from outside while the question was open closes it.
        if (!question.Confirmed && !m_endRequested) {
            event->ignore();
            return;
        }
    }
    CommMode = ModeIdle;
    RxQueue.Clear();
    CommandStep = -1;
    if (MainComPort.Connected()) {
        try {
            MainComPort.WriteStr(RestartCommand());
        } catch (const EComPort& e) {
            // The window closes all the same: a program that cannot be closed
            // because its adapter misbehaves is worse than a module left in
            // configuration mode, which SERIAL OPEN then SERIAL CLOSE, or switching
            // it off and on, restarts.
            // The user hears why, unless the adapter is simply gone (nothing to
            // restart) or nobody is there to read it (the desktop is ending).
            if (!SerialDeviceGone(e.PlatformError()) && !m_endRequested)
                PlatformMessageBox::Show(e.Message(), this);
        }
    }
    event->accept();
}

void TMainForm::EndOnRequest()
{
    m_endRequested = true;
    if (m_exitQuestion) {
        m_exitQuestion->reject();
        return;
    }
    EndIfRequestedAndIdle();
}

void TMainForm::EndIfRequestedAndIdle()
{
    // Queued: the window is enabled again in the middle of the handler that ends
    // an exchange (and a write sends its restart after that), and the close must
    // come after that handler has returned.
    QMetaObject::invokeMethod(
        this,
        [this] {
            // A disconnection under way (after a write, INIT or CLOSE) is let finish:
            // whoever started it has restarted the module or chose not to.
            if (m_endRequested && isEnabled() && isVisible() && !DisconnectTimer->Enabled())
                close();
        },
        Qt::QueuedConnection);
}

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && isEnabled() && m_endRequested)
        EndIfRequestedAndIdle();
}
