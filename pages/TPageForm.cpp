// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPageForm.h"

#include "Artwork.h"
#include "Skin.h"
#include "TEditBox.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>

TPageForm::TPageForm(const QString& heading, QWidget* parent)
    : QWidget(parent)
    , m_heading(heading)
{
    setFixedSize(440, 360);
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    setAccessibleName(heading);
}

void TPageForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.drawPixmap(0, 0, Artwork::PageHeading(m_heading, width()));
}

QLabel* TPageForm::AddCaption(const QString& text, int row)
{
    auto* label = new QLabel(text, this);
    label->setFont(SkinFont(true));
    label->setGeometry(CaptionLeft, Row(row), ControlLeft - CaptionLeft - 6, ControlHeight);
    label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return label;
}

QLabel* TPageForm::AddHint(const QString& text, int row, int left)
{
    auto* label = new QLabel(text, this);
    label->setFont(SkinFont(true));
    label->setGeometry(left + 6, Row(row), width() - left - 12, ControlHeight);
    label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return label;
}

TEditBox* TPageForm::AddEdit(const QString& caption, int row, int width, int maxLength, int left)
{
    auto* edit = new TEditBox(this);
    edit->setGeometry(left, Row(row), width, ControlHeight);
    edit->setFont(SkinFont(true));
    edit->SetTypingLimit(maxLength);
    edit->setAccessibleName(caption);
    SetBackgroundColor(edit, EditColor);
    if (QLabel* label = AddCaption(caption, row))
        label->setBuddy(edit);
    return edit;
}

QComboBox* TPageForm::AddList(const QString& caption, int row, int width, const QStringList& items, int left)
{
    auto* list = new QComboBox(this);
    list->setGeometry(left, Row(row), width, ControlHeight);
    list->setFont(SkinFont(true));
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setAccessibleName(caption);
    if (QLabel* label = AddCaption(caption, row))
        label->setBuddy(list);
    return list;
}

TEditBox* TPageForm::AddFieldEdit(TFieldId id, int row, int width, int left)
{
    const TFieldRule& rule = FieldRule(id);
    TEditBox* edit = AddEdit(QString::fromLatin1(rule.Caption), row, width, rule.Limit, left);
    edit->SetUpperCase(rule.UpperCase);
    if (rule.Keys != TFieldKeys::Any) {
        const TFieldKeys keys = rule.Keys;
        edit->KeyFilter = [keys](QChar key) { return KeyAccepted(keys, key); };
    }
    return edit;
}

void TPageForm::SelectIndex(QComboBox* list, qint64 index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? static_cast<int>(index) : -1);
}

QComboBox* TPageForm::AddFieldList(TFieldId id, int row, int width)
{
    return AddList(QString::fromLatin1(FieldRule(id).Caption), row, width, FieldItems(id, TModuleType::Current));
}
