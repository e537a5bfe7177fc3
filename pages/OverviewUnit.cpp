// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverviewUnit.h"

#include "PropertyUnit.h"
#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <initializer_list>

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

// How a row sums its value up. Most rows show the field as its page shows it.
// The on/off and two-way lists name their second item for any stored value
// but 0 (STREAM SWITCHING FAST for 1 only); the connection mode counts from
// MODE 1 and the operation mode from MODE 0, as their pages list them; the
// inquiry access code is shown whole, its fixed part first.
enum class TSummary { AsShown, ZeroOrOther, OneOrOther, ModeFromOne, ModeFromZero, WholeAccessCode };

struct TOverviewRow
{
    QLabel* TOverviewForm::*Label;
    const char* Name;     // the label's object name
    const char* Caption;
    TFieldId Field = TFieldId::DeviceName;
    TSummary Summary = TSummary::AsShown;
    QByteArray TLocalParam::*Local = nullptr;  // a row of the module's own values, shown as read
    bool Below = false;   // the value takes a line of its own below its caption
};

enum TColumn { LeftColumn, RightColumn };

struct TOverviewGroupRows
{
    const char* Heading;
    TColumn Column;
    std::initializer_list<TOverviewRow> Rows;
};

using F = TOverviewForm;
using S = TSummary;

// The page as it is laid out: the left column from the top, then the right one
// below the product banner.
const TOverviewGroupRows OverviewGroups[] = {
    {"LOCAL PARAMETERS", LeftColumn, {
        {&F::Overview_ModelName, "Overview_ModelName", "MODEL NAME", {}, {}, &TLocalParam::ModelName},
        {&F::Overview_BTSpec, "Overview_BTSpec", "BLUETOOTH SPEC.", {}, {}, &TLocalParam::BTSpec},
        {&F::Overview_LoaclBDAddr, "Overview_LoaclBDAddr", "LOCAL BD ADDR.", {}, {}, &TLocalParam::LocalBDAddr},
        {&F::Overview_SWVersion, "Overview_SWVersion", "S/W VERSION", {}, {}, &TLocalParam::SWVersion},
    }},
    // The service name takes a line of its own below its caption: twenty wide
    // letters need the group's whole width.
    {"BLUETOOTH PARAMETERS", LeftColumn, {
        {&F::Overview_DeviceName, "Overview_DeviceName", "DEVICE NAME", TFieldId::DeviceName},
        {&F::Overview_Role, "Overview_Role", "ROLE", TFieldId::Role, S::ZeroOrOther},
        {&F::Overview_RemoteBDAddr, "Overview_RemoteBDAddr", "REMOTE BD ADDR.", TFieldId::RemoteBDAddr},
        {&F::Overview_InquiryAccessCode, "Overview_InquiryAccessCode", "INQUIRY ACCESS CODE",
         TFieldId::InquiryAccessCode, S::WholeAccessCode},
        {&F::Overview_ClassOfDevice, "Overview_ClassOfDevice", "CLASS OF DEVICE", TFieldId::ClassOfDevice},
        {&F::Overview_PowerSave, "Overview_PowerSave", "POWER SAVE", TFieldId::PowerSave, S::ZeroOrOther},
        {&F::Overview_LinkTimeout, "Overview_LinkTimeout", "LINK SUPERVISION TIMEOUT", TFieldId::LinkTimeout},
        {&F::Overview_SupportProfile, "Overview_SupportProfile", "SUPPORT PROFILE", TFieldId::SupportProfile,
         S::ZeroOrOther},
        {&F::Overview_ServiceName, "Overview_ServiceName", "SERVICE NAME", TFieldId::ServiceName, S::AsShown,
         nullptr, true},
    }},
    {"SECURITY PARAMETERS", LeftColumn, {
        {&F::Overview_Auth, "Overview_Auth", "AUTHENTICATION", TFieldId::Auth, S::ZeroOrOther},
        {&F::Overview_PinCode, "Overview_PinCode", "PIN CODE", TFieldId::PinCode},
        {&F::Overview_Encry, "Overview_Encry", "ENCRYPTION", TFieldId::Encry, S::ZeroOrOther},
    }},
    {"SYSTEM PARAMETERS", RightColumn, {
        {&F::Overview_StatusMessage, "Overview_StatusMessage", "STATUS MESSAGE", TFieldId::StatusMessage,
         S::ZeroOrOther},
        {&F::Overview_ConnectionMode, "Overview_ConnectionMode", "CONNECTION MODE", TFieldId::ConnectionMode,
         S::ModeFromOne},
        {&F::Overview_EscChar, "Overview_EscChar", "ESCAPE CHAR", TFieldId::EscapeChar},
        {&F::Overview_DebugChar, "Overview_DebugChar", "DEBUG CHAR", TFieldId::DebugChar},
        {&F::Overview_ConnectionDelayTime, "Overview_ConnectionDelayTime", "CONNECTION DELAY TIME",
         TFieldId::ConnectionDelayTime},
        {&F::StreamSwitchingFast, "StreamSwitchingFast", "STREAM SWITCHING FAST", TFieldId::StreamSwitchingFast,
         S::OneOrOther},
    }},
    {"UART PARAMETERS", RightColumn, {
        {&F::Overview_BaudRate, "Overview_BaudRate", "BAUDRATE", TFieldId::BaudRate},
        {&F::Overview_ParityBit, "Overview_ParityBit", "PARITY BIT", TFieldId::ParityBit},
        {&F::Overview_StopBit, "Overview_StopBit", "STOP BIT", TFieldId::StopBit},
        {&F::Overview_HWFlowControl, "Overview_HWFlowControl", "H/W FLOW CONTROL", TFieldId::HWFlowControl,
         S::ZeroOrOther},
    }},
    {"1:N COMMUNICATION PARAMETERS", RightColumn, {
        {&F::Overview_OperationMode, "Overview_OperationMode", "OPERATION MODE", TFieldId::OperationMode,
         S::ModeFromZero},
        {&F::Overview_NumberOfDevice, "Overview_NumberOfDevice", "NUMBER OF DEVICE", TFieldId::NumberOfDevice},
        {&F::Overview_RxBufferSize, "Overview_RxBufferSize", "RX BUFFER SIZE", TFieldId::RxBufferSize},
    }},
};

QString Summary(const TOverviewRow& row, const TParameters& params)
{
    const QStringList items = FieldItems(row.Field, TModuleType::Current);
    const qint32 number = StoredNumber(row.Field, params);
    switch (row.Summary) {
    case TSummary::AsShown: return Shown(ShownValue(row.Field, params));
    case TSummary::ZeroOrOther: return items.at(number == 0 ? 0 : 1);
    case TSummary::OneOrOther: return items.at(number == 1 ? 1 : 0);
    case TSummary::ModeFromOne: return QStringLiteral("MODE ") + QString::number(qint64(number) + 1);
    case TSummary::ModeFromZero: return QStringLiteral("MODE ") + QString::number(number);
    case TSummary::WholeAccessCode:
        return Shown(params.Bluetooth.InquiryAccessCodeFirst + ShownValue(row.Field, params));
    }
    return QString();
}

} // namespace

TOverviewForm::TOverviewForm(QWidget* parent)
    : TPageForm(QStringLiteral("OVERVIEW"), parent)
{
    int top[2] = {28, 28};
    for (const TOverviewGroupRows& group : OverviewGroups) {
        const bool right = group.Column == RightColumn;
        if (right && top[1] == 28) {
            auto* banner = new TProductBanner(this);
            banner->setObjectName(QStringLiteral("ProductBanner"));
            banner->setGeometry(RightColumnLeft, top[1], RightColumnWidth, 46);
            top[1] += banner->height() + ColumnGap;
        }
        int lines = 0;
        for (const TOverviewRow& row : group.Rows)
            lines += row.Below ? 2 : 1;
        QGroupBox* box = AddGroup(QString::fromLatin1(group.Heading),
                                  QRect(right ? RightColumnLeft : LeftColumnLeft, top[right],
                                        right ? RightColumnWidth : LeftColumnWidth, GroupHeight(lines)));
        int line = 0;
        for (const TOverviewRow& row : group.Rows) {
            this->*row.Label = AddRow(box, line, QString::fromLatin1(row.Caption), QString::fromLatin1(row.Name),
                                      row.Below ? ValueBelowCaption : ValueBesideCaption);
            line += row.Below ? 2 : 1;
        }
        top[right] += box->height() + ColumnGap;
    }
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
    const TModuleType type = ModuleTypeOf(LegacyDevice, LegacyFastSwitch);
    for (const TOverviewGroupRows& group : OverviewGroups) {
        for (const TOverviewRow& row : group.Rows) {
            QString text;
            if (row.Local)
                text = Shown(Params->Local.*row.Local);
            else if (!FieldSupported(row.Field, type))
                text = NotSupport;
            else
                text = Summary(row, *Params);
            (this->*row.Label)->setText(text);
        }
    }
    // A legacy module answers the Bluetooth version query with "2.0" or not at all.
    if (LegacyDevice)
        Overview_BTSpec->setText(QStringLiteral("2.0"));
}
