#include "SerialFormUnit.h"

#include "SerialPortList.h"
#include "Skin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The lists show their text in red bold and take typed text as well: a port the
// list does not know (a pseudo-terminal, say) or a speed of the user's own.
QComboBox* AddList(QWidget* group, const QString& caption, QRect place, const QStringList& items, bool editColor)
{
    auto* list = new QComboBox(group);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    // No inline completion: typing "/dev/ttyS1" must not turn into "/dev/ttyS10".
    list->setCompleter(nullptr);
    list->setFont(SkinFont(true));
    SetTextColor(list, AccentRed);
    if (editColor)
        SetBackgroundColor(list, EditColor);
    list->addItems(items);
    list->setGeometry(place);
    list->setAccessibleName(caption);
    return list;
}

// The labels were laid out for a narrower font; drawn a little tighter they end
// before the box beside them.
void Tighten(QLabel* label)
{
    QFont font = label->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.3);
    label->setFont(font);
    label->adjustSize();
}

QPushButton* AddFlatButton(QWidget* parent, const QString& caption, QRect place)
{
    auto* button = new QPushButton(caption, parent);
    button->setFlat(true);
    button->setFont(SkinFont(true));
    button->setGeometry(place);
    button->setAccessibleName(caption);
    // Flat buttons are pressed with the pointer only, as on a toolbar.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TSerialForm::TSerialForm(QWidget* parent)
    : TSerialForm(ListSerialPorts(), parent)
{
}

TSerialForm::TSerialForm(const QStringList& ports, QWidget* parent)
    : TToolDialog(QStringLiteral("SerialForm"), QSize(177, 223), parent)
{
    // This one has a close box: closing it is the same as CANCEL. So is Escape.
    setWindowFlag(Qt::WindowCloseButtonHint, true);
    SetEscapeCloses(true);

    QGroupBox* debugGroup = AddGroup(QStringLiteral("DEBUG CHARACTER"), QRect(8, 5, 161, 49), SkinTextColor);
    Tighten(AddLabel(debugGroup, QStringLiteral("0x"), 9, 23, SkinTextColor, false));
    DebugChar = new QLineEdit(debugGroup);
    DebugChar->setMaxLength(2);
    DebugChar->setFont(SkinFont(true));
    SetTextColor(DebugChar, AccentRed);
    SetBackgroundColor(DebugChar, EditColor);
    DebugChar->setGeometry(27, 20, 39, 21);
    DebugChar->setAccessibleName(QStringLiteral("DEBUG CHARACTER"));
    Tighten(AddLabel(debugGroup, QStringLiteral("(MUST BE HEXA)"), 72, 23, SkinTextColor, false));

    QGroupBox* portGroup = AddGroup(QStringLiteral("SERIAL PORT"), QRect(8, 60, 161, 130), SkinTextColor);
    Tighten(AddLabel(portGroup, QStringLiteral("COM PORT"), 9, 24, SkinTextColor, false));
    Tighten(AddLabel(portGroup, QStringLiteral("BAUDRATE"), 9, 50, SkinTextColor, false));
    Tighten(AddLabel(portGroup, QStringLiteral("PARITY BIT"), 7, 76, SkinTextColor, false));
    Tighten(AddLabel(portGroup, QStringLiteral("STOP BIT"), 17, 102, SkinTextColor, false));

    QStringList sorted = ports;
    sorted.sort(Qt::CaseSensitive);
    ComPort = AddList(portGroup, QStringLiteral("COM PORT"), QRect(68, 21, 83, 21), sorted, false);
    BaudRate = AddList(portGroup, QStringLiteral("BAUDRATE"), QRect(68, 47, 83, 21),
                       {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                        QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                        QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400")},
                       true);
    ParityBit = AddList(portGroup, QStringLiteral("PARITY BIT"), QRect(68, 73, 83, 21),
                        {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd")}, true);
    StopBit = AddList(portGroup, QStringLiteral("STOP BIT"), QRect(68, 99, 83, 21),
                      {QStringLiteral("1"), QStringLiteral("2")}, true);

    // Device paths are longer than the box; the drop-down shows them whole.
    ComPort->view()->setMinimumWidth(ComPort->view()->sizeHintForColumn(0) + 8);
    // The first port, or nothing at all when there is none.
    ComPort->setCurrentIndex(sorted.isEmpty() ? -1 : 0);
    BaudRate->setCurrentIndex(BaudRate->findText(QStringLiteral("9600")));
    ParityBit->setCurrentIndex(ParityBit->findText(QStringLiteral("None")));
    StopBit->setCurrentIndex(StopBit->findText(QStringLiteral("1")));
    DebugChar->setText(QLatin1String(DefaultDebugChar));

    BtnSerialOpen = AddFlatButton(this, QStringLiteral("OPEN"), QRect(8, 196, 78, 22));
    BtnCancel = AddFlatButton(this, QStringLiteral("CANCEL"), QRect(91, 196, 78, 22));
    // The buttons take no focus, so Return needs a default button to confirm.
    BtnSerialOpen->setDefault(true);
    connect(BtnSerialOpen, &QPushButton::clicked, this, [this] {
        Confirmed = true;
        accept();
    });
    connect(BtnCancel, &QPushButton::clicked, this, [this] {
        Confirmed = false;
        reject();
    });

    setTabOrder(DebugChar, ComPort);
    setTabOrder(ComPort, BaudRate);
    setTabOrder(BaudRate, ParityBit);
    setTabOrder(ParityBit, StopBit);
    DebugChar->setFocus();
}

QString TSerialForm::ComPortText() const
{
    return ComPort->currentText();
}

QString TSerialForm::BaudRateText() const
{
    return BaudRate->currentText();
}

QString TSerialForm::ParityBitText() const
{
    return ParityBit->currentText();
}

QString TSerialForm::StopBitText() const
{
    return StopBit->currentText();
}

QString TSerialForm::DebugCharText() const
{
    return DebugChar->text();
}
