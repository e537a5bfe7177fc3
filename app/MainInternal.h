// Constants and small helpers shared by the files that implement TMainForm.
#pragma once

#include <QByteArray>
#include <QString>

namespace MainForm {

constexpr int MenuButtonTops[6] = {36, 100, 151, 202, 253, 304};

inline const QByteArray AnswerOk = QByteArrayLiteral("OK");
inline const QByteArray AnswerError = QByteArrayLiteral("ERROR");
inline const QByteArray RestartCommand = QByteArrayLiteral("ATZ\r");

// Three models can change their role and UART speed only in the fourth
// connection mode.
inline bool RoleAndBaudNeedModeFour(const QByteArray& model)
{
    return model == "QN7101" || model == "QN7201" || model == "QN7x01";
}

inline QString Num(qint32 value)
{
    return QString::number(value);
}

} // namespace MainForm
