// SPDX-License-Identifier: GPL-3.0-or-later
// Constants and small helpers shared by the files that implement TMainForm.
#pragma once

#include <QByteArray>
#include <QString>

namespace MainForm {

constexpr int MenuButtonTops[6] = {36, 100, 151, 202, 253, 304};

inline QString Num(qint32 value)
{
    return QString::number(value);
}

} // namespace MainForm
