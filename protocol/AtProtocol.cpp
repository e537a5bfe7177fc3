// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtProtocol.h"

#include <limits>

namespace {

constexpr char CR = '\r';

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray Decimal(qint64 value)
{
    return QByteArray::number(value);
}

// A text argument goes out as stored, except for line ends, which are dropped
// rather than refused: a CR inside it would end the command early and have the
// module run the rest as a command of its own, and an LF would start the rest on a
// line of its own. A profile, a pasted text or a value the module reported may
// hold either.
QByteArray TextArgument(const QByteArray& text)
{
    QByteArray cleaned = text;
    cleaned.replace('\r', QByteArray());
    cleaned.replace('\n', QByteArray());
    return cleaned;
}

// Keyword of each write step, "," and "=" included; steps 9 and 10 carry their
// own prefix instead of "AT+BT".
struct WriteKeyword
{
    const char* prefix;
    const char* keyword;
};

constexpr WriteKeyword WriteKeywords[WriteStepCount] = {
    {"AT+BT", "NAME="},    {"AT+BT", "ROLE="},   {"AT+BT", "ADDR="},  {"AT+BT", "LPM,"},
    {"AT+BT", "LT="},      {"AT+BT", "SEC,"},    {"AT+BT", "KEY="},   {"AT+BT", "MSG,"},
    {"AT+BT", "MODE,"},    {"AT+", "SETESC,"},   {"AT+", "SETDEBUG,"}, {"AT+BT", "UART,"},
    {"AT+BT", "OPMODE,"},  {"AT+BT", "DEV="},    {"AT+BT", "BUFF="},  {"AT+BT", "FASTCH,"},
    {"AT+BT", "IAC="},     {"AT+BT", "COD="},    {"AT+BT", "PRO,"},   {"AT+BT", "SN="},
    {"AT+BT", "CDELAY="},  {"AT+BT", "HFC,"},
};

QByteArray WriteArgument(int step, const TParameters& p)
{
    switch (step) {
    case 0: return TextArgument(p.Bluetooth.DeviceName);
    case 1: return p.Bluetooth.Role == 0 ? QByteArrayLiteral("m") : QByteArrayLiteral("s");
    case 2: return TextArgument(p.Bluetooth.RemoteBDAddr);
    case 3: return Decimal(p.Bluetooth.PowerSave);
    case 4: return Decimal(p.Bluetooth.LinkTimeout);
    case 5: return Decimal(p.Security.Auth) + ',' + Decimal(p.Security.Encry);
    case 6: return TextArgument(p.Security.PinCode);
    case 7: return Decimal(p.System.StatusMessage);
    // Shown and kept as 0..3, numbered 1..4 by the module; widened so that no
    // stored value can overflow.
    case 8: return Decimal(qint64{p.System.ConnectionMode} + 1);
    case 9: return TextArgument(p.System.EscapeChar);
    case 10: return TextArgument(p.System.DebugChar);
    case 11: {
        QByteArray parity = QByteArrayLiteral("n,");
        if (p.Uart.ParityBit == "Even")
            parity = QByteArrayLiteral("e,");
        else if (p.Uart.ParityBit == "Odd")
            parity = QByteArrayLiteral("o,");
        return TextArgument(p.Uart.BaudRate) + ',' + parity + TextArgument(p.Uart.StopBit);
    }
    case 12: return Decimal(p.MultiComm.OperationMode);
    case 13: return Decimal(p.MultiComm.NumberOfDevice);
    case 14: return Decimal(p.MultiComm.RxBufferSize);
    case 15: return Decimal(p.System.StreamSwitchingFast);
    case 16: return TextArgument(p.Bluetooth.InquiryAccessCodeSecond);
    case 17: return TextArgument(p.Bluetooth.ClassOfDevice);
    case 18: return Decimal(p.Bluetooth.SupportProfile);
    case 19: return TextArgument(p.Bluetooth.ServiceName);
    case 20: return Decimal(p.System.ConnectionDelayTime);
    case 21: return Decimal(p.Uart.HWFlowControl);
    default: return {};
    }
}

// Items each list answer must have; 0 for the answers taken whole.
int ExpectedItems(int step)
{
    switch (step) {
    case 1: return 3;
    case 4: return 5;
    case 5: return 4;
    case 6: return 2;
    case 7: return 2;
    case 11: return 2;
    default: return 0;
    }
}

void StoreInBoth(TParameters& a, TParameters& b, auto&& store)
{
    store(a);
    store(b);
}

} // namespace

QList<QByteArray> SplitResponse(const QByteArray& answer)
{
    QList<QByteArray> items;
    QByteArray current;
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const char c = answer.at(i);
        if (c == ',') {
            items.append(current);
            current.clear();
            continue;
        }
        current.append(c);
        if (i == answer.size() - 1) {
            items.append(current);
            current.clear();
        }
    }
    return items;
}

// Decimal only: no hex prefixes and no trailing blanks, so that "12 " or "0x1"
// from a confused module is refused rather than half read.
bool DecimalItem(const QByteArray& item, qint32* value)
{
    qsizetype i = 0;
    const qsizetype n = item.size();
    while (i < n && IsBlank(item.at(i)))
        ++i;
    bool negative = false;
    if (i < n && (item.at(i) == '+' || item.at(i) == '-')) {
        negative = item.at(i) == '-';
        ++i;
    }
    if (i == n)
        return false;
    // Accumulated as a magnitude in 64 bits; the bound stops it long before overflow.
    const qint64 limit = negative ? -qint64{std::numeric_limits<qint32>::min()}
                                  : qint64{std::numeric_limits<qint32>::max()};
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char c = item.at(i);
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return false;
    }
    *value = static_cast<qint32>(negative ? -magnitude : magnitude);
    return true;
}

// The number may be as large as 32 bits hold (up to FFFFFFFF); leading zeros are
// dropped with the rest of the number's formatting, so "001b" stores "1B".
bool HexItem(const QByteArray& item, QByteArray* stored)
{
    if (item.isEmpty())
        return false;
    quint64 number = 0;
    for (const char c : item) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        number = number * 16 + static_cast<quint64>(digit);
        if (number > std::numeric_limits<quint32>::max())
            return false;
    }
    *stored = QByteArray::number(number, 16).toUpper().rightJustified(2, '0');
    return true;
}

bool ModeNumber(const QByteArray& text, qint32* value)
{
    QByteArray rest = text;
    rest.replace(QByteArrayLiteral("MODE"), QByteArray());
    return DecimalItem(rest, value);
}

QByteArray AnswerOk()
{
    return QByteArrayLiteral("OK");
}

QByteArray AnswerError()
{
    return QByteArrayLiteral("ERROR");
}

QByteArray LegacyFastVersion()
{
    return QByteArrayLiteral("2.0");
}

QByteArray WakeUpText()
{
    return QByteArray(1, CR);
}

QByteArray DebugCharCommand(quint8 value)
{
    return QByteArray(1, static_cast<char>(value));
}

QByteArray VersionQuery()
{
    return InfoQuery(10);
}

QByteArray ModelQuery()
{
    return InfoQuery(ModelQueryStep);
}

QByteArray ServiceNameQuery()
{
    return InfoQuery(15);
}

QByteArray FactoryResetCommand()
{
    return QByteArrayLiteral("AT&F\r");
}

QByteArray RestartCommand()
{
    return QByteArrayLiteral("ATZ\r");
}

QByteArray SearchCommand()
{
    return QByteArrayLiteral("AT+BTINQ?\r");
}

QByteArray ProfileCommand(int profile)
{
    return QByteArrayLiteral("AT+BTPRO,") + Decimal(profile) + CR;
}

QByteArray InfoQuery(int step)
{
    if (step < 0 || step >= InfoStepCount)
        return {};
    if (step == ModelQueryStep)
        return QByteArrayLiteral("AT+BTINFO?100\r");
    return QByteArrayLiteral("AT+BTINFO?") + Decimal(step) + CR;
}

QByteArray WriteCommand(int step, const TParameters& params)
{
    if (step < 0 || step >= WriteStepCount)
        return QByteArrayLiteral("AT+BT\r");
    const WriteKeyword& word = WriteKeywords[step];
    return QByteArray(word.prefix) + word.keyword + WriteArgument(step, params) + CR;
}

const QList<QByteArray>& CommandNames()
{
    // The name is the command up to its first "," or "=": what the error report of
    // a refused write shows.
    static const QList<QByteArray> names = [] {
        QList<QByteArray> list;
        for (const WriteKeyword& word : WriteKeywords) {
            QByteArray keyword(word.keyword);
            keyword.chop(1);
            list.append(QByteArray(word.prefix) + keyword);
        }
        return list;
    }();
    return names;
}

// Answers that cannot be stored as a whole are refused like a wrong item count,
// and the sequencer reports them the same way ("WRONG DATA"): a number item that
// is no number (an empty item included), a "MODE" or decimal answer that is no
// number, and an access code too short to split into its two parts. Every value
// is converted before anything is stored, so a refused answer changes nothing.
bool StoreInfoAnswer(int step, const QByteArray& answer, TParameters& readParams, TParameters& editParams)
{
    const int expected = ExpectedItems(step);
    QList<QByteArray> items;
    if (expected > 0) {
        items = SplitResponse(answer);
        if (items.size() != expected)
            return false;
    }

    switch (step) {
    case 0:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Bluetooth.DeviceName = answer; });
        return true;
    case 1: {
        qint32 auth = 0;
        qint32 encry = 0;
        if (!DecimalItem(items[1], &auth) || !DecimalItem(items[2], &encry))
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.Security.PinCode = items[0];
            p.Security.Auth = auth;
            p.Security.Encry = encry;
        });
        return true;
    }
    case 2:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Bluetooth.RemoteBDAddr = answer; });
        return true;
    case 3: {
        qint32 mode = 0;
        // The lowest number has no predecessor in 32 bits.
        if (!ModeNumber(answer, &mode) || mode == std::numeric_limits<qint32>::min())
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.System.ConnectionMode = mode - 1; });
        return true;
    }
    case 4: {
        qint32 status = 0;
        qint32 powerSave = 0;
        qint32 linkTimeout = 0;
        QByteArray escape;
        QByteArray debug;
        if (!DecimalItem(items[0], &status) || !DecimalItem(items[1], &powerSave)
            || !DecimalItem(items[2], &linkTimeout) || !HexItem(items[3], &escape)
            || !HexItem(items[4], &debug))
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.System.StatusMessage = status;
            p.Bluetooth.PowerSave = powerSave;
            p.Bluetooth.LinkTimeout = linkTimeout;
            p.System.EscapeChar = escape;
            p.System.DebugChar = debug;
        });
        return true;
    }
    case 5: {
        const QByteArray letter = items[2].toUpper();
        QByteArray parity = QByteArrayLiteral("None");
        if (letter == "E")
            parity = QByteArrayLiteral("Even");
        else if (letter == "O")
            parity = QByteArrayLiteral("Odd");
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.Uart.BaudRate = items[0];
            p.Uart.ParityBit = parity;
            p.Uart.StopBit = items[3];
        });
        return true;
    }
    case 6: {
        qint32 operationMode = 0;
        if (!ModeNumber(items[1], &operationMode))
            return false;
        const qint32 role = items[0].toUpper() == "MASTER" ? 0 : 1;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.Bluetooth.Role = role;
            p.MultiComm.OperationMode = operationMode;
        });
        return true;
    }
    case 7: {
        qint32 devices = 0;
        qint32 bufferSize = 0;
        if (!DecimalItem(items[0], &devices) || !DecimalItem(items[1], &bufferSize))
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.MultiComm.NumberOfDevice = devices;
            p.MultiComm.RxBufferSize = bufferSize;
        });
        return true;
    }
    case 8:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Local.LocalBDAddr = answer; });
        return true;
    case 9:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Local.SWVersion = answer; });
        return true;
    case 10:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Local.BTSpec = answer; });
        return true;
    case 11: {
        // Six characters: four fixed ones and the two the user may change. More
        // than six are cut; fewer cannot be split and are refused.
        const QByteArray& code = items[0];
        if (code.size() < 6)
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            p.Bluetooth.InquiryAccessCodeFirst = code.left(4);
            p.Bluetooth.InquiryAccessCodeSecond = code.mid(4, 2);
            p.Bluetooth.ClassOfDevice = items[1];
        });
        return true;
    }
    case 12:
    case 13:
    case 14:
    case 16: {
        qint32 number = 0;
        if (!DecimalItem(answer, &number))
            return false;
        StoreInBoth(readParams, editParams, [&](TParameters& p) {
            if (step == 12)
                p.Uart.HWFlowControl = number;
            else if (step == 13)
                p.System.ConnectionDelayTime = number;
            else if (step == 14)
                p.Bluetooth.SupportProfile = number;
            else
                p.System.StreamSwitchingFast = number;
        });
        return true;
    }
    case 15:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Bluetooth.ServiceName = answer; });
        return true;
    case ModelQueryStep:
        StoreInBoth(readParams, editParams, [&](TParameters& p) { p.Local.ModelName = answer; });
        return true;
    default:
        return false;
    }
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
