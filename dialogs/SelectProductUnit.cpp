// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectProductUnit.h"

#include "IniFile.h"
#include "MessageBox.h"
#include "Skin.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <limits>
#include <optional>

namespace {

// A decimal integer: optional leading blanks, an optional sign, then digits only,
// within 32 bits.
std::optional<qint32> DecimalInteger(const QByteArray& text)
{
    qsizetype at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

} // namespace

TSelectProductForm::TSelectProductForm(const QString& productListPath, QWidget* parent)
    : TToolDialog(QStringLiteral("Product Selection"), QSize(219, 81), parent)
{
    // Sized by their texts: a fixed width would cut "MODEL NAME" short in this font.
    AddLabel(this, QStringLiteral("Select Product which you connected"), 8, 8, AccentRed);
    AddLabel(this, QStringLiteral("MODEL NAME"), 19, 30, SkinTextColor);

    ProductList = new QComboBox(this);
    ProductList->setEditable(false);
    ProductList->setFont(SkinFont(true));
    SetTextColor(ProductList, AccentBlue);
    ProductList->setGeometry(97, 27, 103, 21);
    ProductList->setAccessibleName(QStringLiteral("MODEL NAME"));

    BtnSelect = AddButton(QStringLiteral("SELECT"), QRect(8, 55, 98, 21), AccentRed);
    BtnDisconnect = AddButton(QStringLiteral("DISCONNECT"), QRect(113, 55, 98, 21), palette().color(QPalette::WindowText));
    setTabOrder(ProductList, BtnSelect);
    setTabOrder(BtnSelect, BtnDisconnect);

    connect(BtnSelect, &QPushButton::clicked, this, [this] {
        Confirmed = true;
        accept();
    });
    connect(BtnDisconnect, &QPushButton::clicked, this, [this] {
        Confirmed = false;
        reject();
    });

    FillProductList(productListPath);
}

void TSelectProductForm::FillProductList(const QString& productListPath)
{
    const QByteArray section = QByteArrayLiteral("PRODUCTS");
    const QByteArray countText = ReadProductListValue(productListPath, section, QByteArrayLiteral("PRODUCT_CNT"));
    const std::optional<qint32> count = DecimalInteger(countText);
    if (!count) {
        PlatformMessageBox::Show(u'\'' + QString::fromLatin1(countText) + QStringLiteral("' is not a valid integer value"),
                                 parentWidget());
        return;
    }
    if (*count < 1)
        return;

    ProductList->clear();
    const int listed = qMin(*count, MaxProducts);
    QStringList names;
    names.reserve(listed);
    for (int k = 1; k <= listed; ++k) {
        const QByteArray key = QByteArrayLiteral("PRODUCT") + QByteArray::number(k).rightJustified(2, '0');
        // A missing key reads as empty and still takes its place in the list.
        names.append(QString::fromLatin1(ReadProductListValue(productListPath, section, key)));
    }
    ProductList->addItems(names);
    // The open list shows its items as the closed box shows the choice: bold, in
    // the dialog's blue.
    for (int i = 0; i < ProductList->count(); ++i) {
        ProductList->setItemData(i, QBrush(AccentBlue), Qt::ForegroundRole);
        ProductList->setItemData(i, SkinFont(true), Qt::FontRole);
    }
    ProductList->setCurrentIndex(0);
}

QString TSelectProductForm::SelectedProduct() const
{
    return ProductList->currentIndex() < 0 ? QString() : ProductList->currentText();
}
