// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchDevicesFormUnit.h"

#include "Skin.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace {

// Draws the cell borders that make the list read as a grid.
class TGridDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(192, 198, 208));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

} // namespace

TSearchDeviceForm::TSearchDeviceForm(QWidget* parent)
    : TToolDialog(QStringLiteral("Search Bluetooth Devices"), QSize(311, 239), parent)
{
    SetEscapeCloses(true);

    BtnSearch = AddButton(QStringLiteral("SEARCH BLUETOOTH DEVICES"), QRect(5, 5, 301, 26), SkinTextColor);

    DeviceList = new QTreeWidget(this);
    DeviceList->setGeometry(5, 36, 301, 168);
    DeviceList->setAccessibleName(QStringLiteral("Devices found"));
    DeviceList->setColumnCount(4);
    DeviceList->setHeaderLabels({QStringLiteral("Index"), QStringLiteral("Device Address"), QStringLiteral("Device Name"),
                                 QStringLiteral("CoD")});
    DeviceList->setRootIsDecorated(false);
    DeviceList->setItemsExpandable(false);
    DeviceList->setUniformRowHeights(true);
    DeviceList->setAllColumnsShowFocus(true);
    DeviceList->setSelectionMode(QAbstractItemView::SingleSelection);
    DeviceList->setSelectionBehavior(QAbstractItemView::SelectRows);
    DeviceList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DeviceList->setItemDelegate(new TGridDelegate(DeviceList));
    DeviceList->setFont(SkinFont());

    QHeaderView* header = DeviceList->header();
    header->setFont(SkinFont(true));
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    const int widths[] = {40, 92, 100, 62};
    for (int column = 0; column < 4; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        DeviceList->setColumnWidth(column, widths[column]);
    }
    // Sorting is done on request only: rows must otherwise stay in the order the
    // module reports them, so the view's automatic sorting stays off.
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { DeviceList->sortItems(column, Qt::AscendingOrder); });

    BtnInsert = AddButton(QStringLiteral(u"\u25C0  INSERT TO TARGET"), QRect(5, 209, 148, 25), SkinTextColor);
    BtnClose = AddButton(QStringLiteral("CLOSE WINDOW"), QRect(158, 209, 148, 25), SkinTextColor);

    connect(BtnSearch, &QPushButton::clicked, this, [this] { BtnSearchClick(); });
    connect(BtnInsert, &QPushButton::clicked, this, [this] { BtnInsertClick(); });
    connect(BtnClose, &QPushButton::clicked, this, [this] { BtnCloseClick(); });
    // A double-click on a row chooses it, as INSERT TO TARGET does.
    connect(DeviceList, &QTreeWidget::itemDoubleClicked, this, [this] { BtnInsertClick(); });
    // No default button: Return is decided in keyPressEvent, by what has the
    // focus. Space still presses the focused button.
    for (QPushButton* button : {BtnSearch, BtnInsert, BtnClose}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void TSearchDeviceForm::keyPressEvent(QKeyEvent* event)
{
    const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!returnKey || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        TToolDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    QWidget* focus = focusWidget();
    if (focus == BtnInsert || focus == BtnClose) {
        static_cast<QPushButton*>(focus)->click();
    } else if (focus == BtnSearch) {
        if (DeviceList->topLevelItemCount() == 0)
            BtnSearch->click();
    } else {
        // The list, or no focus at all: a selected row is chosen; without one
        // nothing happens.
        BtnInsertClick();
    }
}

void TSearchDeviceForm::BtnSearchClick()
{
    if (OnSearchClick)
        OnSearchClick();
}

void TSearchDeviceForm::BtnInsertClick()
{
    QTreeWidgetItem* row = DeviceList->topLevelItemCount() > 0 ? DeviceList->currentItem() : nullptr;
    if (!row || !row->isSelected())
        return;
    Inserted = true;
    SelectedAddress = row->text(DeviceAddress).toLatin1();
    accept();
}

void TSearchDeviceForm::BtnCloseClick()
{
    QDialog::reject();
}

void TSearchDeviceForm::reject()
{
    if (!isEnabled())
        return;
    QDialog::reject();
}
