// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

class QWidget;

// Where the frame of a window of `frame` size goes to sit centred over a window
// whose frame is `ownerFrame`: owner left + owner width / 2 - width / 2, and the
// same with top and heights, each half cut toward zero.
QPoint CentredFramePosition(const QRect& ownerFrame, const QSize& frame);

// Keeps the top-level `window` centred, frame over frame, over the window that
// `owner` returns, on every showing: placed as it is shown, and placed again once
// the window manager has put its frame around it (the frame is only known then,
// and a window manager may put a new window elsewhere). A null owner leaves the
// window where it is.
void CentreOnEveryShowing(QWidget* window, std::function<const QWidget*()> owner);
