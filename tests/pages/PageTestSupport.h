// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

// Picks item `index` the way a user does with the keyboard: Home, then Down.
// Every step emits activated, as a user's pick does; a list that is disabled
// takes no keys at all.
inline void UserPick(QComboBox* list, int index)
{
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
}

// Selects everything in the box and erases it, as a user would.
inline void UserErase(QLineEdit* box)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
}

// A page of type TForm showing `group`, loaded for a legacy module or not.
template <typename TForm, typename TGroup>
std::unique_ptr<TForm> LoadedPage(TGroup& group, bool legacy)
{
    auto page = std::make_unique<TForm>();
    page->LegacyDevice = legacy;
    page->Group = &group;
    page->LoadFromParams();
    return page;
}

// The background a page gave the control.
inline QColor Background(const QWidget* control)
{
    return control->palette().color(QPalette::Base);
}

inline QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// A column of the current data row, for use inside an expression.
template <typename T>
T Fetch(const char* column)
{
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}
