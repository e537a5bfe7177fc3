// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// The title picture shown in the display panel while no page is open.
class TMainDisplayForm final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMainDisplayForm)

public:
    explicit TMainDisplayForm(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
