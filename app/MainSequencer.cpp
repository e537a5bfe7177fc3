// The sequencer: dispatch of framed answers by exchange, the error report
// and the answer time-out.

#include "MainUnit.h"
#include "MainInternal.h"

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


using namespace MainForm;

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
