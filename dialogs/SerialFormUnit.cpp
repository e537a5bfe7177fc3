// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialFormUnit.h"

#include "Skin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

namespace {

// A fixed list of port paths, as if each were an adapter without a name.
class TFixedPortSource final : public IPortSource
{
public:
    explicit TFixedPortSource(QStringList paths) : m_paths(std::move(paths)) {}

    QList<TPortDevice> Enumerate() override
    {
        QList<TPortDevice> devices;
        for (const QString& path : std::as_const(m_paths)) {
            TPortDevice device;
            device.SysName = QFileInfo(path).fileName();
            device.Node = path;
            device.HasDevice = true;
            device.HasDriver = true;
            devices.append(device);
        }
        return devices;
    }

    bool Watch(std::function<void(const TPortEvent&)>) override { return true; }

private:
    QStringList m_paths;
};

// COM PORT asks who holds each port again whenever its drop-down opens.
//
// A path is often longer than the box. A line edit keeps its cursor in view, and
// setting a text puts the cursor at its end, which would show "ev/ttyUSB0" for
// /dev/ttyUSB0 and the tail of a /dev/serial/by-id name. The box shows a path
// from its start instead whenever it is not being typed: when the dialog opens,
// when an entry is picked, when a text is put in while the box has no focus, and
// when the focus leaves.
class TPortComboBox final : public QComboBox
{
public:
    explicit TPortComboBox(QWidget* parent)
        : QComboBox(parent)
    {
        connect(this, &QComboBox::currentIndexChanged, this, [this] { ShowFromStart(); });
    }

    std::function<void()> BeforePopup;

    void showPopup() override
    {
        if (BeforePopup)
            BeforePopup();
        QComboBox::showPopup();
    }

    void ShowFromStart()
    {
        if (QLineEdit* edit = lineEdit())
            edit->setCursorPosition(0);
    }

protected:
    void focusOutEvent(QFocusEvent* event) override
    {
        QComboBox::focusOutEvent(event);
        ShowFromStart();
    }
};

// The drop-down shows the whole entry, while the box, which takes its text from
// the item text, keeps the bare path that OPEN uses.
class TPortEntryDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString entry = index.data(TSerialForm::PortEntryRole).toString();
        if (!entry.isEmpty())
            option->text = entry;
    }
};

// The lists show their text in red bold and take typed text as well: a port the
// list does not know (a pseudo-terminal, say) or a speed of the user's own.
QComboBox* SetUpList(QComboBox* list, const QString& caption, QRect place, const QStringList& items,
                     bool editColor)
{
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

QComboBox* AddList(QWidget* group, const QString& caption, QRect place, const QStringList& items, bool editColor)
{
    return SetUpList(new QComboBox(group), caption, place, items, editColor);
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
    : TSerialForm(MakeSystemPortSource(), SystemHolderName, parent)
{
}

TSerialForm::TSerialForm(const QStringList& ports, QWidget* parent)
    : TSerialForm(std::make_unique<TFixedPortSource>(ports), {}, parent)
{
}

TSerialForm::TSerialForm(std::unique_ptr<IPortSource> source, TPortWatcher::THolderLookup holders, QWidget* parent)
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
    QLabel* comPortLabel = AddLabel(portGroup, QStringLiteral("COM PORT"), 9, 24, SkinTextColor, false);
    QLabel* baudRateLabel = AddLabel(portGroup, QStringLiteral("BAUDRATE"), 9, 50, SkinTextColor, false);
    QLabel* parityBitLabel = AddLabel(portGroup, QStringLiteral("PARITY BIT"), 7, 76, SkinTextColor, false);
    QLabel* stopBitLabel = AddLabel(portGroup, QStringLiteral("STOP BIT"), 17, 102, SkinTextColor, false);
    for (QLabel* label : {comPortLabel, baudRateLabel, parityBitLabel, stopBitLabel})
        Tighten(label);

    auto* portList = new TPortComboBox(portGroup);
    ComPort = SetUpList(portList, QStringLiteral("COM PORT"), QRect(68, 21, 83, 21), {}, false);
    ComPort->setItemDelegate(new TPortEntryDelegate(ComPort));
    connect(ComPort->lineEdit(), &QLineEdit::textChanged, portList, [portList] {
        if (!portList->hasFocus() && !portList->lineEdit()->hasFocus())
            portList->ShowFromStart();
    });
    BaudRate = AddList(portGroup, QStringLiteral("BAUDRATE"), QRect(68, 47, 83, 21),
                       {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                        QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                        QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400")},
                       true);
    ParityBit = AddList(portGroup, QStringLiteral("PARITY BIT"), QRect(68, 73, 83, 21),
                        {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd")}, true);
    StopBit = AddList(portGroup, QStringLiteral("STOP BIT"), QRect(68, 99, 83, 21),
                      {QStringLiteral("1"), QStringLiteral("2")}, true);

    // Each caption names its list for screen readers.
    comPortLabel->setBuddy(ComPort);
    baudRateLabel->setBuddy(BaudRate);
    parityBitLabel->setBuddy(ParityBit);
    stopBitLabel->setBuddy(StopBit);

    // The first port, or nothing at all when there is none; then the list follows
    // the adapters that come and go while the dialog is open.
    m_ports = new TPortWatcher(std::move(source), std::move(holders), this);
    FillPortList();
    connect(m_ports, &TPortWatcher::PortsChanged, this, &TSerialForm::FillPortList);
    portList->BeforePopup = [this] { m_ports->RefreshHolders(); };
    m_ports->Start();
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

void TSerialForm::FillPortList()
{
    // What the box says stays, whether chosen or typed, even when its port has
    // gone; only an empty box takes the first port, as when the dialog opens.
    QLineEdit* edit = ComPort->lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = edit->selectedText().size();
    {
        const QSignalBlocker blocker(ComPort);
        ComPort->clear();
        for (const TPortInfo& port : m_ports->Ports()) {
            const QString entry = PortEntryText(port);
            ComPort->addItem(port.Path);
            const int row = ComPort->count() - 1;
            ComPort->setItemData(row, entry, PortEntryRole);
            ComPort->setItemData(row, entry, Qt::AccessibleTextRole);
            ComPort->setItemData(row, entry, Qt::ToolTipRole);
        }
        if (text.isEmpty()) {
            ComPort->setCurrentIndex(ComPort->count() > 0 ? 0 : -1);
            static_cast<TPortComboBox*>(ComPort)->ShowFromStart();
        } else {
            ComPort->setCurrentIndex(ComPort->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
            edit->setText(text);
            if (selectionStart >= 0)
                edit->setSelection(selectionStart, selectionLength);
            else
                edit->setCursorPosition(cursor);
        }
    }
    // Entries are longer than the box; the drop-down shows them whole.
    ComPort->view()->setMinimumWidth(ComPort->view()->sizeHintForColumn(0) + 8);
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

TSerialSettings TSerialForm::Settings() const
{
    return { ComPortText(), { BaudRateText(), ParityBitText(), StopBitText(), DebugCharText() } };
}
