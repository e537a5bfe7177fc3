// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineSettings.h"

#include <optional>

namespace {

// The speed a text names, when the port knows it by name or it is 230400.
std::optional<qint32> SpeedOf(const QString& text)
{
    if (text == QLatin1StringView("230400"))
        return 230400;
    const TBaudRate rate = StrToBaudRate(text);
    // StrToBaudRate gives 9600 for any text it does not know, and brCustom for
    // the word "Custom", which is no speed.
    if (rate == brCustom || (rate == br9600 && text != QLatin1StringView("9600")))
        return std::nullopt;
    return BaudRateToInt(rate);
}

int HexDigit(QChar c)
{
    // ASCII only: QChar::isDigit would take the digits of every script.
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

std::optional<quint8> DebugCharOf(const QString& text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return quint8(value);
}

bool NamesParity(const QString& text)
{
    for (const char* name : { "None", "Odd", "Even", "Mark", "Space" }) {
        if (text.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

TLineReading ReadLineTexts(const TLineTexts& texts)
{
    TLineReading reading;
    TLineSettings& s = reading.Settings;
    TLineTextFaults& f = reading.Faults;

    if (const auto speed = SpeedOf(texts.Speed))
        s.Speed = *speed;
    else
        f.Speed = true;

    f.Parity = !NamesParity(texts.Parity);
    s.Parity = StrToParity(texts.Parity);

    f.StopBits = texts.StopBits != QLatin1StringView("1") && texts.StopBits != QLatin1StringView("1.5")
                 && texts.StopBits != QLatin1StringView("2");
    s.StopBits = StrToStopBits(texts.StopBits);

    if (texts.DebugChar.isEmpty())
        f.DebugCharEmpty = true;
    else if (const auto debugChar = DebugCharOf(texts.DebugChar))
        s.DebugChar = *debugChar;
    else
        f.DebugChar = true;
    return reading;
}

void ApplyLineSettings(TCustomComPort& port, const TLineSettings& settings)
{
    const TBaudRate named = StrToBaudRate(QString::number(settings.Speed));
    if (named != brCustom && BaudRateToInt(named) == settings.Speed) {
        port.SetCustomBaudRate(9600);
        port.SetBaudRate(named);
    } else {
        port.SetCustomBaudRate(settings.Speed);
        port.SetBaudRate(brCustom);
    }
    port.SetParityBits(settings.Parity);
    port.SetStopBits(settings.StopBits);
    port.SetDataBits(dbEight);
}
