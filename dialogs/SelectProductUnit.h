// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

class QComboBox;
class QPushButton;

// Lets the user name the model of a module that cannot name it itself, from the
// product names of the product list file.
class TSelectProductForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSelectProductForm)

public:
    // Reads the product names from the file at `productListPath` at once.
    explicit TSelectProductForm(const QString& productListPath, QWidget* parent = nullptr);

    // The most products listed, whatever count the file claims: each one is a read of
    // the file, and a count in the millions would hold the program up for minutes.
    static constexpr int MaxProducts = 1000;

    // True when the dialog was closed with SELECT.
    bool Confirmed = false;

    QComboBox* ProductList;
    QPushButton* BtnSelect;
    QPushButton* BtnDisconnect;

    // The chosen name; empty when nothing is selected.
    QString SelectedProduct() const;

private:
    void FillProductList(const QString& productListPath);
};
