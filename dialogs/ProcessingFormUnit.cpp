// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProcessingFormUnit.h"

#include "Artwork.h"
#include "Centring.h"
#include "Skin.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace {
const QColor ProcessingBackground(216, 215, 222);
}

TProcessGauge::TProcessGauge(QWidget* parent)
    : QWidget(parent)
{
    setFont(SkinFont(true));
    setAccessibleName(Text());
}

void TProcessGauge::SetMax(int maximum)
{
    if (m_max == maximum)
        return;
    m_max = maximum;
    setAccessibleName(Text());
    update();
}

void TProcessGauge::SetPosition(int position)
{
    if (m_position == position)
        return;
    m_position = position;
    setAccessibleName(Text());
    update();
}

int TProcessGauge::Percent() const
{
    if (m_max <= 0)
        return 0;
    // A position past either end is shown at that end: the gauge never reads more
    // than 100% or less than 0%. 64 bits keep position x 100 from overflowing.
    const qint64 position = std::clamp<qint64>(m_position, 0, m_max);
    return static_cast<int>(position * 100 / m_max);
}

QString TProcessGauge::Text() const
{
    return QString::number(Percent()) + u'%';
}

void TProcessGauge::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    const QRect all = rect();
    const int filled = all.width() * Percent() / 100;
    const QRect bar(all.left(), all.top(), filled, all.height());
    const QRect trough(all.left() + filled, all.top(), all.width() - filled, all.height());

    p.fillRect(bar, Qt::black);
    p.fillRect(trough, Qt::white);

    // The text reads white over the bar and black over the trough.
    const QString text = Text();
    p.setFont(font());
    p.save();
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(all, Qt::AlignCenter, text);
    p.restore();
    p.setClipRect(trough);
    p.setPen(Qt::black);
    p.drawText(all, Qt::AlignCenter, text);
}

TProcessingForm::TProcessingForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("PROCESSING"));
    setAccessibleName(windowTitle());
    setFixedSize(311, 60);
    setModal(false);

    QPalette back = palette();
    back.setColor(QPalette::Window, ProcessingBackground);
    setPalette(back);
    setAutoFillBackground(true);

    ProcessingTitle = new QGroupBox(QStringLiteral("Processing Title"), this);
    ProcessingTitle->setFont(SkinFont(true));
    SetTextColor(ProcessingTitle, AccentRed);
    ProcessingTitle->setGeometry(5, 0, 301, 55);

    auto* note = new QLabel(QStringLiteral("Just wait few seconds during this processing"), ProcessingTitle);
    note->setFont(SkinFont(true));
    SetTextColor(note, AccentRed);
    note->setGeometry(40, 18, 250, 13);

    auto* icon = new QLabel(ProcessingTitle);
    icon->setPixmap(Artwork::ProcessingIcon(30));
    icon->setGeometry(5, 18, 30, 30);

    ProcessBar = new TProcessGauge(ProcessingTitle);
    ProcessBar->setGeometry(40, 34, 250, 13);

    CentreOnEveryShowing(this, [this] { return m_mainWindow; });
}

void TProcessingForm::CentreOn(const QWidget* mainWindow)
{
    m_mainWindow = mainWindow;
    if (mainWindow)
        move(CentredFramePosition(mainWindow->window()->frameGeometry(), frameGeometry().size()));
}

void TProcessingForm::closeEvent(QCloseEvent* event)
{
    // Only the end of the sequence or an error report takes the dialog away (hide()).
    event->ignore();
}

void TProcessingForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
