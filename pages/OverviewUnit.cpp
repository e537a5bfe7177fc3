// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverviewUnit.h"

#include "PropertyUnit.h"
#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// The page is a dark summary sheet: white values read well on it, captions
// are a lighter tint of the group colour so the values stand out.
const QColor GroupColor(52, 72, 104);
const QColor GroupBandColor(28, 44, 72);
const QColor GroupCaptionColor(192, 210, 234);
const QColor ValueColor(Qt::white);

constexpr int ColumnGap = 4;
constexpr int LeftColumnLeft = 4;
constexpr int LeftColumnWidth = 234;
constexpr int RightColumnLeft = LeftColumnLeft + LeftColumnWidth + ColumnGap;
constexpr int RightColumnWidth = 440 - RightColumnLeft - 4;
constexpr int BandHeight = 17;
constexpr int LinePitch = 15;
constexpr int FirstLineTop = BandHeight + 2;
constexpr int LineInset = 4;

int GroupHeight(int rows)
{
    return FirstLineTop + rows * LinePitch + 3;
}

QFont CaptionFont()
{
    QFont font = SkinFont(true);
    font.setPixelSize(9);
    return font;
}

QFont ValueFont()
{
    // 8 points at the usual 96 dots per inch.
    QFont font = SkinFont(false);
    font.setPixelSize(11);
    return font;
}

QString Shown(const QByteArray& text)
{
    return QString::fromLatin1(text);
}

QString OffOn(qint32 value)
{
    return value == 0 ? QStringLiteral("DISABLE") : QStringLiteral("ENABLE");
}

const QString NotSupport = QStringLiteral("Not Support");

// A group box drawn as a dark panel with its heading in a band across the top.
class TOverviewGroup final : public QGroupBox
{
public:
    TOverviewGroup(const QString& heading, QWidget* parent)
        : QGroupBox(heading, parent)
    {
        setAccessibleName(heading);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath outline;
        outline.addRoundedRect(frame, 4, 4);
        p.fillPath(outline, GroupColor);
        p.save();
        p.setClipPath(outline);
        p.fillRect(QRect(0, 0, width(), BandHeight), GroupBandColor);
        p.restore();
        p.setPen(GroupBandColor);
        p.drawPath(outline);
        p.setRenderHint(QPainter::Antialiasing, false);
        QFont heading = SkinFont(true);
        heading.setPixelSize(10);
        p.setFont(heading);
        p.setPen(Qt::white);
        p.drawText(QRect(LineInset + 2, 0, width() - 2 * LineInset, BandHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   title());
    }
};

// The product banner at the top of the right column.
class TProductBanner final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, width(), height());
        fill.setColorAt(0, GroupBandColor);
        fill.setColorAt(1, GroupColor.lighter(150));
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        p.fillPath(outline, fill);

        // Radio waves rising from a dot, as on the program's icon.
        const QPointF centre(24, height() * 0.68);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
            const qreal r = 5.5 * i;
            p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(LampOnColor);
        p.drawEllipse(centre, 3, 3);

        QFont name = SkinFont(true);
        name.setPixelSize(20);
        name.setLetterSpacing(QFont::AbsoluteSpacing, 2);
        p.setFont(name);
        p.setPen(Qt::white);
        p.drawText(QRect(48, 3, width() - 52, 26), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("RADIOSET"));
        QFont line = SkinFont(true);
        line.setPixelSize(9);
        p.setFont(line);
        p.setPen(GroupCaptionColor);
        p.drawText(QRect(49, 28, width() - 52, 14), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("CONFIGURATION TOOL"));
    }
};

} // namespace

TOverviewForm::TOverviewForm(QWidget* parent)
    : TPageForm(QStringLiteral("OVERVIEW"), parent)
{
    int top = 28;
    QGroupBox* local = AddGroup(QStringLiteral("LOCAL PARAMETERS"), QRect(LeftColumnLeft, top, LeftColumnWidth, GroupHeight(4)));
    Overview_ModelName = AddRow(local, 0, QStringLiteral("MODEL NAME"), QStringLiteral("Overview_ModelName"));
    Overview_BTSpec = AddRow(local, 1, QStringLiteral("BLUETOOTH SPEC."), QStringLiteral("Overview_BTSpec"));
    Overview_LoaclBDAddr = AddRow(local, 2, QStringLiteral("LOCAL BD ADDR."), QStringLiteral("Overview_LoaclBDAddr"));
    Overview_SWVersion = AddRow(local, 3, QStringLiteral("S/W VERSION"), QStringLiteral("Overview_SWVersion"));

    top += local->height() + ColumnGap;
    // The service name takes a line of its own below its caption: twenty wide
    // letters need the group's whole width.
    QGroupBox* bluetooth = AddGroup(QStringLiteral("BLUETOOTH PARAMETERS"), QRect(LeftColumnLeft, top, LeftColumnWidth, GroupHeight(10)));
    Overview_DeviceName = AddRow(bluetooth, 0, QStringLiteral("DEVICE NAME"), QStringLiteral("Overview_DeviceName"));
    Overview_Role = AddRow(bluetooth, 1, QStringLiteral("ROLE"), QStringLiteral("Overview_Role"));
    Overview_RemoteBDAddr = AddRow(bluetooth, 2, QStringLiteral("REMOTE BD ADDR."), QStringLiteral("Overview_RemoteBDAddr"));
    Overview_InquiryAccessCode = AddRow(bluetooth, 3, QStringLiteral("INQUIRY ACCESS CODE"), QStringLiteral("Overview_InquiryAccessCode"));
    Overview_ClassOfDevice = AddRow(bluetooth, 4, QStringLiteral("CLASS OF DEVICE"), QStringLiteral("Overview_ClassOfDevice"));
    Overview_PowerSave = AddRow(bluetooth, 5, QStringLiteral("POWER SAVE"), QStringLiteral("Overview_PowerSave"));
    Overview_LinkTimeout = AddRow(bluetooth, 6, QStringLiteral("LINK SUPERVISION TIMEOUT"), QStringLiteral("Overview_LinkTimeout"));
    Overview_SupportProfile = AddRow(bluetooth, 7, QStringLiteral("SUPPORT PROFILE"), QStringLiteral("Overview_SupportProfile"));
    Overview_ServiceName = AddRow(bluetooth, 8, QStringLiteral("SERVICE NAME"), QStringLiteral("Overview_ServiceName"),
                                  ValueBelowCaption);

    top += bluetooth->height() + ColumnGap;
    QGroupBox* security = AddGroup(QStringLiteral("SECURITY PARAMETERS"), QRect(LeftColumnLeft, top, LeftColumnWidth, GroupHeight(3)));
    Overview_Auth = AddRow(security, 0, QStringLiteral("AUTHENTICATION"), QStringLiteral("Overview_Auth"));
    Overview_PinCode = AddRow(security, 1, QStringLiteral("PIN CODE"), QStringLiteral("Overview_PinCode"));
    Overview_Encry = AddRow(security, 2, QStringLiteral("ENCRYPTION"), QStringLiteral("Overview_Encry"));

    top = 28;
    auto* banner = new TProductBanner(this);
    banner->setObjectName(QStringLiteral("ProductBanner"));
    banner->setGeometry(RightColumnLeft, top, RightColumnWidth, 46);

    top += banner->height() + ColumnGap;
    QGroupBox* system = AddGroup(QStringLiteral("SYSTEM PARAMETERS"), QRect(RightColumnLeft, top, RightColumnWidth, GroupHeight(6)));
    Overview_StatusMessage = AddRow(system, 0, QStringLiteral("STATUS MESSAGE"), QStringLiteral("Overview_StatusMessage"));
    Overview_ConnectionMode = AddRow(system, 1, QStringLiteral("CONNECTION MODE"), QStringLiteral("Overview_ConnectionMode"));
    Overview_EscChar = AddRow(system, 2, QStringLiteral("ESCAPE CHAR"), QStringLiteral("Overview_EscChar"));
    Overview_DebugChar = AddRow(system, 3, QStringLiteral("DEBUG CHAR"), QStringLiteral("Overview_DebugChar"));
    Overview_ConnectionDelayTime = AddRow(system, 4, QStringLiteral("CONNECTION DELAY TIME"), QStringLiteral("Overview_ConnectionDelayTime"));
    StreamSwitchingFast = AddRow(system, 5, QStringLiteral("STREAM SWITCHING FAST"), QStringLiteral("StreamSwitchingFast"));

    top += system->height() + ColumnGap;
    QGroupBox* uart = AddGroup(QStringLiteral("UART PARAMETERS"), QRect(RightColumnLeft, top, RightColumnWidth, GroupHeight(4)));
    Overview_BaudRate = AddRow(uart, 0, QStringLiteral("BAUDRATE"), QStringLiteral("Overview_BaudRate"));
    Overview_ParityBit = AddRow(uart, 1, QStringLiteral("PARITY BIT"), QStringLiteral("Overview_ParityBit"));
    Overview_StopBit = AddRow(uart, 2, QStringLiteral("STOP BIT"), QStringLiteral("Overview_StopBit"));
    Overview_HWFlowControl = AddRow(uart, 3, QStringLiteral("H/W FLOW CONTROL"), QStringLiteral("Overview_HWFlowControl"));

    top += uart->height() + ColumnGap;
    QGroupBox* multi = AddGroup(QStringLiteral("1:N COMMUNICATION PARAMETERS"), QRect(RightColumnLeft, top, RightColumnWidth, GroupHeight(3)));
    Overview_OperationMode = AddRow(multi, 0, QStringLiteral("OPERATION MODE"), QStringLiteral("Overview_OperationMode"));
    Overview_NumberOfDevice = AddRow(multi, 1, QStringLiteral("NUMBER OF DEVICE"), QStringLiteral("Overview_NumberOfDevice"));
    Overview_RxBufferSize = AddRow(multi, 2, QStringLiteral("RX BUFFER SIZE"), QStringLiteral("Overview_RxBufferSize"));
}

QGroupBox* TOverviewForm::AddGroup(const QString& heading, const QRect& place)
{
    auto* group = new TOverviewGroup(heading, this);
    group->setGeometry(place);
    return group;
}

QLabel* TOverviewForm::AddRow(QGroupBox* group, int row, const QString& caption, const QString& valueName,
                              TValuePlace place)
{
    const int top = FirstLineTop + row * LinePitch;
    auto* captionLabel = new QLabel(caption, group);
    captionLabel->setFont(CaptionFont());
    SetTextColor(captionLabel, GroupCaptionColor);
    captionLabel->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    const int captionWidth = captionLabel->fontMetrics().horizontalAdvance(caption) + 2;
    captionLabel->setGeometry(LineInset, top, captionWidth, LinePitch);

    // The value takes all the room right of its caption, or the whole line below
    // it, so long names and addresses fit; it is right-aligned to keep the
    // column tidy.
    auto* value = new QLabel(group);
    value->setObjectName(valueName);
    value->setFont(ValueFont());
    SetTextColor(value, ValueColor);
    value->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    value->setTextFormat(Qt::PlainText);
    if (place == ValueBelowCaption) {
        value->setGeometry(LineInset, top + LinePitch, group->width() - 2 * LineInset, LinePitch);
    } else {
        const int valueLeft = LineInset + captionWidth + 4;
        value->setGeometry(valueLeft, top, group->width() - LineInset - valueLeft, LinePitch);
    }
    value->setAccessibleName(caption);
    return value;
}

void TOverviewForm::LoadFromParams()
{
    if (!Params)
        return;
    const TLocalParam& local = Params->Local;
    const TBluetoothParam& bt = Params->Bluetooth;
    const TSecurityParam& security = Params->Security;
    const TSystemParam& system = Params->System;
    const TUartParam& uart = Params->Uart;
    const TMultiCommParam& multi = Params->MultiComm;

    Overview_ModelName->setText(Shown(local.ModelName));
    Overview_BTSpec->setText(LegacyDevice ? QStringLiteral("2.0") : Shown(local.BTSpec));
    Overview_LoaclBDAddr->setText(Shown(local.LocalBDAddr));
    Overview_SWVersion->setText(Shown(local.SWVersion));

    Overview_DeviceName->setText(Shown(bt.DeviceName));
    Overview_Role->setText(bt.Role == 0 ? QStringLiteral("MASTER") : QStringLiteral("SLAVE"));
    Overview_RemoteBDAddr->setText(Shown(bt.RemoteBDAddr));
    Overview_InquiryAccessCode->setText(LegacyDevice ? NotSupport
                                                     : Shown(bt.InquiryAccessCodeFirst + bt.InquiryAccessCodeSecond));
    Overview_ClassOfDevice->setText(LegacyDevice ? NotSupport : Shown(bt.ClassOfDevice));
    Overview_PowerSave->setText(OffOn(bt.PowerSave));
    Overview_LinkTimeout->setText(QString::number(bt.LinkTimeout));
    Overview_SupportProfile->setText(LegacyDevice ? NotSupport
                                                  : (bt.SupportProfile == 0 ? QStringLiteral("SPP") : QStringLiteral("DUN")));
    Overview_ServiceName->setText(LegacyDevice ? NotSupport : Shown(bt.ServiceName));

    Overview_Auth->setText(OffOn(security.Auth));
    Overview_PinCode->setText(Shown(security.PinCode));
    Overview_Encry->setText(OffOn(security.Encry));

    Overview_StatusMessage->setText(OffOn(system.StatusMessage));
    // Shown one-based, as the System page lists the modes.
    Overview_ConnectionMode->setText(QStringLiteral("MODE ") + QString::number(qint64(system.ConnectionMode) + 1));
    Overview_EscChar->setText(Shown(system.EscapeChar));
    Overview_DebugChar->setText(Shown(system.DebugChar));
    Overview_ConnectionDelayTime->setText(LegacyDevice ? NotSupport : QString::number(system.ConnectionDelayTime));
    if (LegacyDevice && !LegacyFastSwitch)
        StreamSwitchingFast->setText(NotSupport);
    else
        StreamSwitchingFast->setText(system.StreamSwitchingFast == 1 ? QStringLiteral("ENABLE") : QStringLiteral("DISABLE"));

    Overview_BaudRate->setText(Shown(uart.BaudRate));
    Overview_ParityBit->setText(Shown(uart.ParityBit));
    Overview_StopBit->setText(Shown(uart.StopBit));
    Overview_HWFlowControl->setText(LegacyDevice ? NotSupport : OffOn(uart.HWFlowControl));

    // Zero-based, matching the Multi-connection page's list.
    Overview_OperationMode->setText(QStringLiteral("MODE ") + QString::number(multi.OperationMode));
    Overview_NumberOfDevice->setText(QString::number(multi.NumberOfDevice));
    Overview_RxBufferSize->setText(QString::number(multi.RxBufferSize));
}
