#include "MainUnit.h"

#include "Artwork.h"
#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "MainDisplayUnit.h"
#include "Skin.h"
#include "TLed.h"
#include "TPictureButton.h"
#include "TTimer.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPainter>
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

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("RadioSet Program Ver 1.3.2"));
    setAccessibleName(windowTitle());
    setFixedSize(560, 436);
    move(0, 0);

    BuildToolbar();
    BuildMenu();
    BuildStatusBar();

    SendDebugCharTimer = new TTimer(200, this);
    DisconnectTimer = new TTimer(100, this);
    DisplayBtnTimer = new TTimer(100, this);
    RedrawTimer = new TTimer(100, this);
    ShowErrorFormTimer = new TTimer(200, this);
    RxTimeoutTimer = new TTimer(2000, this);
    ShowSelectProductTimer = new TTimer(100, this);
    ServiceNameReqTimer = new TTimer(100, this);

    // Creation, in order.
    SetToolbarButtons(ToolbarOpen);
    ShowMenuButtonsDisabled();
    OpenPages.fill(false);
    ReadParams.Clear();
    EditParams.Clear();
    CommMode = ModeIdle;
    CommandStep = -1;

    MainDisplay = new TMainDisplayForm(DisplayPanel);
    MainDisplay->move(0, 0);
    MainDisplay->show();

    ErrorDialog = new TErrorForm(this);
    PagesLocked = true;
    DisplayBtnStep = 0;
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildToolbar()
{
    auto* toolbar = new QWidget(this);
    toolbar->setGeometry(0, 0, 560, 57);
    toolbar->setAutoFillBackground(true);

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

void TMainForm::SetToolbarButtons(qint32 mask)
{
    BtnOpen->setEnabled(mask & ToolbarOpen);
    BtnClose->setEnabled(mask & ToolbarClose);
    BtnRead->setEnabled(mask & ToolbarRead);
    BtnWrite->setEnabled(mask & ToolbarWrite);
    BtnInit->setEnabled(mask & ToolbarInit);
}

void TMainForm::ShowMenuButtonsDisabled()
{
    for (int k = 0; k < PageCount; ++k)
        MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Disabled));
}

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
    CommandStep = -1;
    event->accept();
}
