#include "MainUnit.h"

#include "Artwork.h"
#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "IniFile.h"
#include "InitQuestionFormUnit.h"
#include "MainDisplayUnit.h"
#include "MessageBox.h"
#include "MultiCommUnit.h"
#include "OpenFailure.h"
#include "OverviewUnit.h"
#include "PageValidation.h"
#include "ProcessingFormUnit.h"
#include "SecurityUnit.h"
#include "SelectProductUnit.h"
#include "SerialFormUnit.h"
#include "Skin.h"
#include "SystemUnit.h"
#include "TLed.h"
#include "TPictureButton.h"
#include "TTimer.h"
#include "UartUnit.h"
#include "WriteQuestionFormUnit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

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

constexpr int MenuButtonTops[PageCount] = {36, 100, 151, 202, 253, 304};

const QByteArray AnswerOk = QByteArrayLiteral("OK");
const QByteArray AnswerError = QByteArrayLiteral("ERROR");
const QByteArray RestartCommand = QByteArrayLiteral("ATZ\r");

// Three models can change their role and UART speed only in the fourth
// connection mode.
bool RoleAndBaudNeedModeFour(const QByteArray& model)
{
    return model == "QN7101" || model == "QN7201" || model == "QN7x01";
}

// The debug character is typed as one or two hexadecimal digits.
bool ParseDebugChar(const QString& text, qint32* value)
{
    if (text.isEmpty())
        return false;
    qint32 result = 0;
    for (QChar c : text) {
        const int digit = c.isDigit() ? c.unicode() - u'0'
                          : (c >= u'a' && c <= u'f') ? c.unicode() - u'a' + 10
                          : (c >= u'A' && c <= u'F') ? c.unicode() - u'A' + 10
                                                     : -1;
        if (digit < 0 || result > 0x7FFFFFF)
            return false;
        result = result * 16 + digit;
    }
    *value = result;
    return true;
}

QString Num(qint32 value)
{
    return QString::number(value);
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_productListPath(::ProductListPath())
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
    SendDebugCharTimer = new TTimer(200, this);
    DisconnectTimer = new TTimer(100, this);
    DisplayBtnTimer = new TTimer(100, this);
    RedrawTimer = new TTimer(100, this);
    ShowErrorFormTimer = new TTimer(200, this);
    RxTimeoutTimer = new TTimer(2000, this);
    ShowSelectProductTimer = new TTimer(100, this);
    ServiceNameReqTimer = new TTimer(100, this);
    m_searchSilenceTimer = new TTimer(SearchSilenceLimitMs, this);
    m_profileChangeTimer = new TTimer(ProfileChangeLimitMs, this);

    SendDebugCharTimer->OnTimer = [this] { SendDebugCharTimerTimer(); };
    DisconnectTimer->OnTimer = [this] { DisconnectTimerTimer(); };
    DisplayBtnTimer->OnTimer = [this] { DisplayBtnTimerTimer(); };
    RedrawTimer->OnTimer = [this] { RedrawTimerTimer(); };
    ShowErrorFormTimer->OnTimer = [this] { ShowErrorFormTimerTimer(); };
    RxTimeoutTimer->OnTimer = [this] { RxTimeoutTimerTimer(); };
    ShowSelectProductTimer->OnTimer = [this] { ShowSelectProductTimerTimer(); };
    ServiceNameReqTimer->OnTimer = [this] { ServiceNameReqTimerTimer(); };
    m_searchSilenceTimer->OnTimer = [this] {
        m_searchSilenceTimer->Stop();
        if (CommMode == ModeSearching)
            EndDeviceSearch();
    };
    m_profileChangeTimer->OnTimer = [this] {
        m_profileChangeTimer->Stop();
        if (CommMode == ModeProfileChange)
            CommMode = ModeIdle;
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

// ---------------------------------------------------------------- port

bool TMainForm::PortConnected() const
{
    return MainComPort.Connected();
}

void TMainForm::SendToModule(const QByteArray& text)
{
    SendText(text);
}

bool TMainForm::SendText(const QByteArray& text)
{
    if (!MainComPort.Connected())
        return false;
    try {
        MainComPort.WriteStr(text);
        return true;
    } catch (const EComPort& e) {
        // Shown once this handler has returned, so no modal loop runs inside the
        // exchange; the exchange itself runs into its time limit.
        const QString message = e.Message();
        QTimer::singleShot(0, this, [this, message] { PlatformMessageBox::Show(message, this); });
        return false;
    }
}

void TMainForm::MainComPortRxChar(TCustomComPort*, qint32 count)
{
    QByteArray received;
    MainComPort.ReadStr(received, count);
    if (count > 0 && CommMode != ModeIdle) {
        for (char byte : std::as_const(received))
            RxQueue.Push(QByteArray(1, byte));
    }
}

// ---------------------------------------------------------------- connection

void TMainForm::BtnOpenClick()
{
    CommandStep = -1;
    CommMode = ModeIdle;

    TSerialForm dialog(this);
    dialog.exec();
    if (!dialog.Confirmed)
        return;

    const QString port = dialog.ComPort->currentText();
    const QString baud = dialog.BaudRate->currentText();
    MainComPort.SetPort(port);
    if (baud == QLatin1String("230400")) {
        MainComPort.SetCustomBaudRate(230400);
        MainComPort.SetBaudRate(brCustom);
    } else {
        MainComPort.SetCustomBaudRate(9600);
        MainComPort.SetBaudRate(StrToBaudRate(baud));
    }
    MainComPort.SetParityBits(StrToParity(dialog.ParityBit->currentText()));
    MainComPort.SetStopBits(StrToStopBits(dialog.StopBit->currentText()));
    MainComPort.SetDataBits(dbEight);

    const QString debugChar = dialog.DebugChar->text();
    if (debugChar.isEmpty()) {
        ErrorDialog->SetError(QStringLiteral("DEBUG CHAR ERROR"),
                              QStringLiteral("Debug Char must be input in connecting\r\nDebug Char is used for "
                                             "Configuration Mode in the device."),
                              QStringLiteral("Retry Connect Again with Correct Debug Char"));
        ShowErrorFormTimer->Start();
        return;
    }

    DebugCharValue = 0;
    qint32 value = 0;
    if (!ParseDebugChar(debugChar, &value)) {
        PlatformMessageBox::Show(QStringLiteral("'$%1' is not a valid integer value").arg(debugChar), this);
        return;
    }
    DebugCharValue = value;

    try {
        MainComPort.Open();
    } catch (const EComPort& e) {
        ErrorDialog->SetError(QStringLiteral("SERIAL OPEN ERROR"), OpenFailureDetail(port, e.PlatformError()),
                              QStringLiteral("Check ") + port + QStringLiteral(" Port and Try Open Again."));
        ShowErrorFormTimer->Start();
        return;
    }
    SetToolbarButtons(ToolbarClose);
    SerialLED->SetOn(true);
    SerialLED->SetCaption(QStringLiteral("SERIAL OPENED"));
    SendText(QByteArrayLiteral("\r"));
    SendDebugCharTimer->Start();
}

void TMainForm::SendDebugCharTimerTimer()
{
    SendDebugCharTimer->Stop();
    if (!MainComPort.Connected())
        return;
    CommandStep = 0;
    CommMode = ModeConnecting;
    RxTimeoutTimer->Start();
    SendText(QByteArray(1, static_cast<char>(DebugCharValue & 0xFF)));
}

void TMainForm::BtnCloseClick()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    CommandStep = -1;
    if (MainComPort.Connected() && ReadyToSetLED->On())
        SendText(RestartCommand);
    DisconnectTimer->Start();
}

void TMainForm::DisconnectTimerTimer()
{
    DisconnectTimer->Stop();
    if (MainComPort.Connected()) {
        try {
            MainComPort.Close();
        } catch (const EComPort&) {
            // A purge refused by a vanished device: the port is closed all the same.
        }
    }
    PagesLocked = true;
    DisplayBtnStep = 0;
    // A reveal still running would paint usable pictures over a locked menu.
    DisplayBtnTimer->Stop();
    SerialLED->SetOn(false);
    SerialLED->SetCaption(QStringLiteral("SERIAL CLOSED"));
    ReadyToSetLED->SetOn(false);
    CommMode = ModeIdle;
    CloseAllPages();
    ReadParams.Clear();
    EditParams.Clear();
    RxQueue.Clear();
    ShowMenuButtonsDisabled();
    AllPageLedsOff();
    SetToolbarButtons(ToolbarOpen);
}

// ---------------------------------------------------------------- sequencer

void TMainForm::HandleResponse(const QByteArray& answer)
{
    switch (CommMode) {
    case ModeConnecting:
        RxTimeoutTimer->Stop();
        HandleConnecting(answer);
        break;
    case ModeReading:
        RxTimeoutTimer->Stop();
        HandleReading(answer);
        break;
    case ModeWriting:
        RxTimeoutTimer->Stop();
        HandleWriting(answer);
        break;
    case ModeInitialising:
        RxTimeoutTimer->Stop();
        HandleInitialising(answer);
        break;
    case ModeSearching:
        HandleSearching(answer);
        break;
    case ModeProfileChange:
        HandleProfileChange(answer);
        break;
    default:
        break;
    }
}

void TMainForm::ReportError(const QString& title, const QString& detail, const QString& maintenanceLine)
{
    ErrorDialog->SetError(title, detail, maintenanceLine);
    ShowErrorFormTimer->Start();
}

void TMainForm::ShowErrorFormTimerTimer()
{
    ShowErrorFormTimer->Stop();
    ProcessingDialog->hide();
    setEnabled(true);
    CommMode = ModeIdle;
    RxQueue.Clear();
    ErrorDialog->exec();
}

void TMainForm::RxTimeoutTimerTimer()
{
    RxTimeoutTimer->Stop();
    const QString manufacturer = QStringLiteral("Contact and Refer Manufacturer");
    switch (CommMode) {
    case ModeConnecting:
        ReportError(QStringLiteral("CONNECTING ERROR"),
                    QStringLiteral("Input Debug Char was wrong\r\nOr Response Data was not received."),
                    QStringLiteral("After Serial Port Close, then Retry Connect with Correct Debug Char\r\nOr "
                                   "Contact and Refer Manufacturer."));
        break;
    case ModeReading:
        ReportError(QStringLiteral("READING ERROR"),
                    QStringLiteral("Response Data was not received for Read Command\r\nRead Command Number : ")
                        + Num(CommandStep),
                    manufacturer);
        break;
    case ModeWriting:
        ReportError(QStringLiteral("WRITING ERROR"),
                    QStringLiteral("Response Data was not received for Write Command\r\nWrite Command Number : ")
                        + Num(CommandStep),
                    manufacturer);
        break;
    case ModeInitialising:
        ReportError(QStringLiteral("INITIALIZATION ERROR"),
                    QStringLiteral("Response Data was not received for Init Command\r\nCommand : AT&F "
                                   "(Initialization Command)"),
                    manufacturer);
        break;
    default:
        break;
    }
}

void TMainForm::HandleConnecting(const QByteArray& answer)
{
    switch (CommandStep) {
    case 0:
        if (answer == AnswerOk) {
            ReadyToSetLED->SetOn(true);
            CommandStep = 1;
            RxTimeoutTimer->Start();
            SendText(QByteArrayLiteral("AT+BTINFO?10\r"));
        } else {
            ReportError(QStringLiteral("Debug Char ERROR"),
                        QStringLiteral("Debug Char was wrong\r\nError Data was recevied for Debug Char"),
                        QStringLiteral("After Serial Port Close, then Retry Connect with Correct Debug Char\r\nOr "
                                       "Contact and Refer Manufacturer."));
        }
        break;
    case 1:
        if (answer == AnswerError) {
            LegacyDevice = true;
            LegacyFastSwitch = false;
        } else if (answer == "2.0") {
            LegacyDevice = true;
            LegacyFastSwitch = true;
        } else {
            LegacyDevice = false;
        }
        CommandStep = 2;
        RxTimeoutTimer->Start();
        SendText(QByteArrayLiteral("AT+BTINFO?100\r"));
        break;
    case 2:
        CommMode = ModeIdle;
        RxQueue.Clear();
        if (answer != AnswerError) {
            ReadParams.Local.ModelName = answer;
            EditParams.Local.ModelName = answer;
            SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
        } else {
            ShowSelectProductTimer->Start();
        }
        break;
    default:
        break;
    }
}

void TMainForm::ShowSelectProductTimerTimer()
{
    ShowSelectProductTimer->Stop();
    TSelectProductForm dialog(m_productListPath, this);
    dialog.exec();
    if (dialog.Confirmed) {
        const QByteArray model = dialog.SelectedProduct().toLatin1();
        ReadParams.Local.ModelName = model;
        EditParams.Local.ModelName = model;
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
    } else {
        DisconnectTimer->Start();
    }
}

// ---------------------------------------------------------------- reading

int TMainForm::ReadGaugeMaximum() const
{
    if (!LegacyDevice)
        return 17;
    return LegacyFastSwitch ? 10 : 9;
}

void TMainForm::ShowProgress(const QString& caption, const QString& title, int maximum)
{
    ProcessingDialog->setWindowTitle(caption);
    ProcessingDialog->ProcessingTitle->setTitle(title);
    ProcessingDialog->ProcessBar->SetMax(maximum);
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    ProcessingDialog->CentreOn(this);
    ProcessingDialog->show();
    setEnabled(false);
}

void TMainForm::BtnReadClick()
{
    CommandStep = 0;
    ShowProgress(QStringLiteral("READING"), QStringLiteral("READING PARAMETERS"), ReadGaugeMaximum());
    SendReadCommand();
}

void TMainForm::SendReadCommand()
{
    CommMode = ModeReading;
    if (CommandStep >= 18)
        return;
    if (CommandStep == 10 && LegacyFastSwitch && LegacyDevice)
        CommandStep = 16;
    const QByteArray query = InfoQuery(CommandStep);
    if (MainComPort.Connected()) {
        RxTimeoutTimer->Start();
        SendText(query);
    }
}

void TMainForm::HandleReading(const QByteArray& answer)
{
    if (!StoreInfoAnswer(CommandStep, answer, ReadParams, EditParams)) {
        ReportError(QStringLiteral("WRONG DATA"),
                    QStringLiteral("Wrong Data was received\r\nRead Command Number : ") + Num(CommandStep),
                    QStringLiteral("Retry Read Again\r\nOr Contact and Refer Manufacturer."));
    }
    const bool last = (CommandStep == 9 && LegacyDevice && !LegacyFastSwitch) || (CommandStep == 16 && LegacyDevice)
                      || CommandStep == 17;
    if (last) {
        FinishReading();
        return;
    }
    ++CommandStep;
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    SendReadCommand();
}

void TMainForm::FinishReading()
{
    if (PagesLocked) {
        PagesLocked = false;
        DisplayBtnTimer->Start();
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarWrite | ToolbarInit);
    }
    CommMode = ModeIdle;
    RxQueue.Clear();
    ProcessingDialog->hide();
    setEnabled(true);
    RedrawTimer->Start();
}

void TMainForm::RestoreReadParameters()
{
    EditParams.CopyReadValues(ReadParams);
}

// ---------------------------------------------------------------- writing

int TMainForm::LastWriteStep() const
{
    if (!LegacyDevice)
        return 21;
    return LegacyFastSwitch ? 15 : 14;
}

void TMainForm::BtnWriteClick()
{
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i] && !ValidatePage(i))
            return;
    }
    TWriteQuestionForm question(this);
    question.exec();
    switch (question.Answer) {
    case AnswerWrite:
        CommandStep = 0;
        ShowProgress(QStringLiteral("WRITING"), QStringLiteral("WRITING PARAMETERS"), LastWriteStep());
        SendWriteCommand();
        break;
    case AnswerReturnToRead:
        RestoreReadParameters();
        ReopenCurrentPage();
        break;
    default:
        break;
    }
}

void TMainForm::SendWriteCommand()
{
    CommMode = ModeWriting;
    const QByteArray command = WriteCommand(CommandStep, EditParams);
    if (MainComPort.Connected()) {
        RxTimeoutTimer->Start();
        SendText(command);
    }
}

void TMainForm::HandleWriting(const QByteArray& answer)
{
    if (answer != AnswerOk) {
        const QByteArray name = CommandStep >= 0 && CommandStep < CommandNames.size() ? CommandNames.at(CommandStep)
                                                                                     : QByteArray();
        ReportError(QStringLiteral("ERROR RECEIVED"),
                    QStringLiteral("Error Data was received\r\nWrite Command Number : ") + Num(CommandStep)
                        + QStringLiteral("\r\nCommand : ") + QString::fromLatin1(name),
                    QStringLiteral("Retry Write Again\r\nOr Contact and Refer Manufacturer."));
        return;
    }
    if (CommandStep >= LastWriteStep()) {
        FinishWriting();
        return;
    }
    ++CommandStep;
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    SendWriteCommand();
}

void TMainForm::FinishWriting()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    ProcessingDialog->hide();
    setEnabled(true);
    SendText(RestartCommand);
    DisconnectTimer->Start();
}

// ---------------------------------------------------------------- factory initialisation

void TMainForm::BtnInitClick()
{
    TInitQuestionForm question(this);
    question.exec();
    if (question.Confirmed && MainComPort.Connected()) {
        CommMode = ModeInitialising;
        RxTimeoutTimer->Start();
        SendText(QByteArrayLiteral("AT&F\r"));
    }
}

void TMainForm::HandleInitialising(const QByteArray& answer)
{
    if (answer == AnswerOk) {
        CommMode = ModeIdle;
        RxQueue.Clear();
        DisconnectTimer->Start();
        return;
    }
    ReportError(QStringLiteral("WRONG DATA RECEIVED"), QStringLiteral("Wrong Data was received\r\nInit Command : AT&F"),
                QStringLiteral("Retry Init Again\r\nOr Contact and Refer Manufacturer."));
}

// ---------------------------------------------------------------- device search

void TMainForm::StartDeviceSearch()
{
    if (!MainComPort.Connected()) {
        // Nothing can be sent, so nothing will answer: give the dialog back at once.
        if (BluetoothPage)
            BluetoothPage->EndSearch();
        return;
    }
    CommandStep = 0;
    RxQueue.Clear();
    CommMode = ModeSearching;
    m_searchSilenceTimer->Stop();
    m_searchSilenceTimer->Start();
    if (!SendText(QByteArrayLiteral("AT+BTINQ?\r")))
        EndDeviceSearch();
}

void TMainForm::EndDeviceSearch()
{
    m_searchSilenceTimer->Stop();
    CommMode = ModeIdle;
    RxQueue.Clear();
    if (BluetoothPage)
        BluetoothPage->EndSearch();
}

void TMainForm::HandleSearching(const QByteArray& answer)
{
    // Every answer shows the module is still searching.
    m_searchSilenceTimer->Stop();
    m_searchSilenceTimer->Start();
    if (CommandStep == 0) {
        if (answer == AnswerOk)
            CommandStep = 1;
        else if (answer == AnswerError)
            EndDeviceSearch(); // the module refused the inquiry: no closing "OK" will come
        return;
    }
    if (answer == AnswerOk) {
        EndDeviceSearch();
        return;
    }
    const QList<QByteArray> items = SplitResponse(answer);
    if (items.size() == 3 && BluetoothPage)
        BluetoothPage->AddSearchResult(items.at(0), items.at(1), items.at(2));
}

// ---------------------------------------------------------------- profile change

void TMainForm::HandleProfileChange(const QByteArray& answer)
{
    m_profileChangeTimer->Stop();
    if (ServiceNameRequested == 0) {
        if (answer == AnswerOk) {
            ServiceNameReqTimer->Start();
            m_profileChangeTimer->Start();
        } else {
            CommMode = ModeIdle;
        }
        return;
    }
    if (BluetoothPage)
        BluetoothPage->ShowServiceName(answer);
    CommMode = ModeIdle;
}

void TMainForm::ServiceNameReqTimerTimer()
{
    ServiceNameReqTimer->Stop();
    if (MainComPort.Connected()) {
        ServiceNameRequested = 1;
        m_profileChangeTimer->Stop();
        m_profileChangeTimer->Start();
        SendText(QByteArrayLiteral("AT+BTINFO?15\r"));
    } else {
        CommMode = ModeIdle;
    }
}

// ---------------------------------------------------------------- page menu

QWidget* TMainForm::PageInSlot(int k) const
{
    switch (k) {
    case PageOverview: return OverviewPage;
    case PageBluetooth: return BluetoothPage;
    case PageSecurity: return SecurityPage;
    case PageSystem: return SystemPage;
    case PageUart: return UartPage;
    case PageMultiComm: return MultiCommPage;
    default: return nullptr;
    }
}

void TMainForm::OpenPage(int k)
{
    if (k < 0 || k >= PageCount || !MainComPort.Connected() || PagesLocked)
        return;
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i] && !ValidatePage(i))
            return;
    }
    CloseAllPages();
    OpenPages[k] = true;

    // The page built last of this kind is released once its successor takes the slot.
    if (QWidget* previous = PageInSlot(k))
        previous->deleteLater();

    QWidget* page = nullptr;
    switch (k) {
    case PageOverview: page = OverviewPage = new TOverviewForm(DisplayPanel); break;
    case PageBluetooth: page = BluetoothPage = new TBluetoothForm(DisplayPanel); break;
    case PageSecurity: page = SecurityPage = new TSecurityForm(DisplayPanel); break;
    case PageSystem: page = SystemPage = new TSystemForm(DisplayPanel); break;
    case PageUart: page = UartPage = new TUartForm(DisplayPanel); break;
    case PageMultiComm: page = MultiCommPage = new TMultiCommForm(DisplayPanel); break;
    default: break;
    }
    page->setGeometry(0, 0, DisplayPanel->width(), DisplayPanel->height());
    PreparePage(k);
    page->show();
    page->raise();
    ShowPageLed(k);
}

void TMainForm::PreparePage(int k)
{
    const bool restrictedModel = RoleAndBaudNeedModeFour(ReadParams.Local.ModelName);
    const bool modeFour = EditParams.System.ConnectionMode >= 3;
    switch (k) {
    case PageOverview:
        OverviewPage->LegacyDevice = LegacyDevice;
        OverviewPage->LegacyFastSwitch = LegacyFastSwitch;
        OverviewPage->Params = &EditParams;
        OverviewPage->LoadFromParams();
        break;
    case PageBluetooth:
        BluetoothPage->LegacyDevice = LegacyDevice;
        BluetoothPage->Group = &EditParams.Bluetooth;
        BluetoothPage->MasterMode = ReadParams.Bluetooth.Role == 0;
        BluetoothPage->LoadFromParams();
        BluetoothPage->Role->setEnabled(!restrictedModel || modeFour);
        BluetoothPage->Host = this;
        CommMode = ModeIdle;
        break;
    case PageSecurity:
        SecurityPage->Group = &EditParams.Security;
        SecurityPage->LegacyDevice = LegacyDevice;
        SecurityPage->LoadFromParams();
        break;
    case PageSystem:
        SystemPage->LegacyDevice = LegacyDevice;
        SystemPage->LegacyFastSwitch = LegacyFastSwitch;
        SystemPage->Group = &EditParams.System;
        SystemPage->LoadFromParams();
        break;
    case PageUart:
        UartPage->Group = &EditParams.Uart;
        UartPage->LegacyDevice = LegacyDevice;
        UartPage->LoadFromParams();
        UartPage->BaudRate->setEnabled(!restrictedModel || modeFour);
        break;
    case PageMultiComm:
        MultiCommPage->ModelName = EditParams.Local.ModelName;
        MultiCommPage->Group = &EditParams.MultiComm;
        MultiCommPage->ConfigPath = m_productListPath;
        MultiCommPage->LoadModelChoices();
        MultiCommPage->LoadFromParams();
        MultiCommPage->ApplyOperationModeLock();
        break;
    default:
        break;
    }
}

void TMainForm::CloseAllPages()
{
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i]) {
            if (QWidget* page = PageInSlot(i))
                page->hide();
        }
        OpenPages[i] = false;
    }
}

void TMainForm::ShowPageLed(int index)
{
    AllPageLedsOff();
    if (index >= 0 && index < PageCount)
        PageLeds[index]->SetOn(true);
}

void TMainForm::AllPageLedsOff()
{
    for (TLed* lamp : PageLeds)
        lamp->SetOn(false);
}

void TMainForm::ShowMenuButtonsDisabled()
{
    for (int k = 0; k < PageCount; ++k)
        MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Disabled));
}

void TMainForm::ReopenCurrentPage()
{
    for (int k = 0; k < PageCount; ++k) {
        if (OpenPages[k]) {
            OpenPage(k);
            return;
        }
    }
}

bool TMainForm::ValidatePage(int k)
{
    const std::optional<TPageFault> fault = CheckPage(k, PageInSlot(k), LegacyDevice, LegacyFastSwitch);
    if (!fault)
        return true;
    if (fault->Control)
        fault->Control->setFocus();
    ErrorDialog->SetError(InputParameterErrorTitle, fault->Detail, fault->MaintenanceLine);
    ShowErrorFormTimer->Start();
    return false;
}

void TMainForm::MenuButtonMouseMove(int k)
{
    if (!MainComPort.Connected() || PagesLocked)
        return;
    MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Highlighted));
}

void TMainForm::MenuButtonMouseLeave(int k)
{
    if (!MainComPort.Connected() || PagesLocked)
        return;
    MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Normal));
}

void TMainForm::DisplayBtnTimerTimer()
{
    if (DisplayBtnStep >= 0 && DisplayBtnStep < PageCount) {
        MenuButtons[DisplayBtnStep]->SetPicture(Artwork::MenuButtonPicture(DisplayBtnStep, Artwork::MenuLook::Normal));
        ++DisplayBtnStep;
    } else if (DisplayBtnStep == PageCount) {
        DisplayBtnStep = 0;
        DisplayBtnTimer->Stop();
    }
}

void TMainForm::RedrawTimerTimer()
{
    RedrawTimer->Stop();
    RestoreReadParameters();
    ReopenCurrentPage();
}

// ---------------------------------------------------------------- shutdown

void TMainForm::BtnExitClick()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    TExitQuestionForm question(this);
    question.exec();
    if (!question.Confirmed) {
        event->ignore();
        return;
    }
    CommMode = ModeIdle;
    RxQueue.Clear();
    CommandStep = -1;
    // A read or write may be under way: its progress window must not outlive the
    // main window, or the program would keep running with nothing to close it.
    ProcessingDialog->hide();
    if (MainComPort.Connected()) {
        try {
            MainComPort.WriteStr(RestartCommand);
        } catch (const EComPort& e) {
            // The user asked to leave: say that the module could not be restarted,
            // but do not keep the program captive to a vanished adapter.
            PlatformMessageBox::Show(e.Message(), this);
        }
    }
    event->accept();
}
