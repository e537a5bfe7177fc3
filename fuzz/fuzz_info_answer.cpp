// SPDX-License-Identifier: GPL-3.0-or-later
// Every answer parser: the value conversions and the storing of each info answer.
#include "AtProtocol.h"
#include "FieldTexts.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>
#include <QSet>

#include <utility>

namespace {

// The fields each info step may write.
QSet<QByteArray> StepFields(int step)
{
    switch (step) {
    case 0: return {"Bluetooth.DeviceName"};
    case 1: return {"Security.PinCode", "Security.Auth", "Security.Encry"};
    case 2: return {"Bluetooth.RemoteBDAddr"};
    case 3: return {"System.ConnectionMode"};
    case 4: return {"System.StatusMessage", "Bluetooth.PowerSave", "Bluetooth.LinkTimeout",
                    "System.EscapeChar", "System.DebugChar"};
    case 5: return {"Uart.BaudRate", "Uart.ParityBit", "Uart.StopBit"};
    case 6: return {"Bluetooth.Role", "MultiComm.OperationMode"};
    case 7: return {"MultiComm.NumberOfDevice", "MultiComm.RxBufferSize"};
    case 8: return {"Local.LocalBDAddr"};
    case 9: return {"Local.SWVersion"};
    case 10: return {"Local.BTSpec"};
    case 11: return {"Bluetooth.InquiryAccessCodeFirst", "Bluetooth.InquiryAccessCodeSecond",
                     "Bluetooth.ClassOfDevice"};
    case 12: return {"Uart.HWFlowControl"};
    case 13: return {"System.ConnectionDelayTime"};
    case 14: return {"Bluetooth.SupportProfile"};
    case 15: return {"Bluetooth.ServiceName"};
    case 16: return {"System.StreamSwitchingFast"};
    case 17: return {"Local.ModelName"};
    default: return {};
    }
}

// Values that no answer produces, so that a write of any field shows.
void FillWithMarkers(TParameters& p)
{
    const QByteArray t = QByteArrayLiteral("\x01marker");
    constexpr qint32 i = -424242;
    p.Bluetooth.ClassOfDevice = p.Bluetooth.RemoteBDAddr = p.Bluetooth.DeviceName = t;
    p.Bluetooth.InquiryAccessCodeFirst = p.Bluetooth.InquiryAccessCodeSecond = p.Bluetooth.ServiceName = t;
    p.Bluetooth.PowerSave = p.Bluetooth.Role = p.Bluetooth.SupportProfile = p.Bluetooth.LinkTimeout = i;
    p.Uart.BaudRate = p.Uart.ParityBit = p.Uart.StopBit = t;
    p.Uart.HWFlowControl = i;
    p.MultiComm.NumberOfDevice = p.MultiComm.OperationMode = p.MultiComm.RxBufferSize = i;
    p.Local.BTSpec = p.Local.ModelName = p.Local.LocalBDAddr = p.Local.SWVersion = t;
    p.System.DebugChar = p.System.EscapeChar = t;
    p.System.ConnectionMode = p.System.StatusMessage = p.System.ConnectionDelayTime = p.System.StreamSwitchingFast = i;
    p.Security.PinCode = t;
    p.Security.Encry = p.Security.Auth = i;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Decimal items judged a second way: blanks, a sign and leading zeros taken
// off, then compared with the widest integer by length and by text.
void CheckDecimal(const QByteArray& item)
{
    qint32 value = 7;
    const bool ok = DecimalItem(item, &value);

    qsizetype i = 0;
    while (i < item.size() && IsBlank(item.at(i)))
        ++i;
    bool negative = false;
    if (i < item.size() && (item.at(i) == '+' || item.at(i) == '-'))
        negative = item.at(i++) == '-';
    QByteArray digits = item.mid(i);
    bool valid = !digits.isEmpty();
    for (const char c : digits)
        valid = valid && IsDigit(c);
    while (digits.size() > 1 && digits.startsWith('0'))
        digits.remove(0, 1);
    if (valid) {
        // Ten digits at most fit; then the exact bound decides.
        valid = digits.size() <= 10 && (negative ? digits.toLongLong() <= 2147483648LL : digits.toLongLong() <= 2147483647LL);
    }
    FUZZ_CHECK(ok == valid);
    if (!ok) {
        FUZZ_CHECK(value == 7);
        return;
    }
    const QByteArray expected = (negative && digits != "0" ? QByteArrayLiteral("-") : QByteArray()) + digits;
    FUZZ_CHECK(QByteArray::number(value) == expected);
}

void CheckHex(const QByteArray& item)
{
    QByteArray stored = QByteArrayLiteral("unchanged");
    const bool ok = HexItem(item, &stored);

    bool valid = !item.isEmpty();
    for (const char c : item)
        valid = valid && IsHexDigit(c);
    QByteArray digits = item;
    while (digits.size() > 1 && digits.startsWith('0'))
        digits.remove(0, 1);
    valid = valid && digits.size() <= 8;
    FUZZ_CHECK(ok == valid);
    if (!ok) {
        FUZZ_CHECK(stored == "unchanged");
        return;
    }
    FUZZ_CHECK(stored.size() >= 2);
    for (const char c : stored)
        FUZZ_CHECK(IsDigit(c) || (c >= 'A' && c <= 'F'));
    FUZZ_CHECK(stored.toULongLong(nullptr, 16) == digits.toULongLong(nullptr, 16));
    FUZZ_CHECK(stored.size() == 2 || !stored.startsWith('0'));
}

void CheckMode(const QByteArray& text)
{
    qint32 viaMode = 7;
    qint32 viaDecimal = 7;
    QByteArray rest = text;
    rest.replace("MODE", "");
    FUZZ_CHECK(ModeNumber(text, &viaMode) == DecimalItem(rest, &viaDecimal));
    FUZZ_CHECK(viaMode == viaDecimal);
}

void CheckStore(int step, const QByteArray& answer, bool markedRead)
{
    TParameters readParams;
    TParameters editParams;
    FillWithMarkers(markedRead ? readParams : editParams);
    const FieldTexts readBefore = AllFields(readParams);
    const FieldTexts editBefore = AllFields(editParams);

    const bool stored = StoreInfoAnswer(step, answer, readParams, editParams);
    const FieldTexts readAfter = AllFields(readParams);
    const FieldTexts editAfter = AllFields(editParams);

    if (step < 0 || step >= InfoStepCount)
        FUZZ_CHECK(!stored);
    if (!stored) {
        FUZZ_CHECK(readAfter == readBefore);
        FUZZ_CHECK(editAfter == editBefore);
        return;
    }
    const QSet<QByteArray> own = StepFields(step);
    for (auto it = readAfter.cbegin(); it != readAfter.cend(); ++it) {
        const QByteArray& name = it.key();
        if (!own.contains(name)) {
            FUZZ_CHECK(it.value() == readBefore.value(name));
            FUZZ_CHECK(editAfter.value(name) == editBefore.value(name));
            continue;
        }
        // Both sets hold the same value afterwards, whatever they held before:
        // one started cleared and the other with markers, so a set left out shows.
        FUZZ_CHECK(it.value() == editAfter.value(name));
    }

    // What a few steps must have stored, by their own rule.
    const auto after = [&](const char* name) { FUZZ_CHECK(readAfter.contains(name)); return readAfter.value(name); };
    switch (step) {
    case 0: FUZZ_CHECK(after("Bluetooth.DeviceName") == answer); break;
    case 2: FUZZ_CHECK(after("Bluetooth.RemoteBDAddr") == answer); break;
    case 5: {
        const QByteArray parity = after("Uart.ParityBit");
        FUZZ_CHECK(parity == "Even" || parity == "Odd" || parity == "None");
        FUZZ_CHECK(SplitResponse(answer).size() == 4);
        break;
    }
    case 6: FUZZ_CHECK(after("Bluetooth.Role") == "0" || after("Bluetooth.Role") == "1"); break;
    case 8: FUZZ_CHECK(after("Local.LocalBDAddr") == answer); break;
    case 9: FUZZ_CHECK(after("Local.SWVersion") == answer); break;
    case 10: FUZZ_CHECK(after("Local.BTSpec") == answer); break;
    case 11: {
        FUZZ_CHECK(after("Bluetooth.InquiryAccessCodeFirst").size() == 4);
        FUZZ_CHECK(after("Bluetooth.InquiryAccessCodeSecond").size() == 2);
        FUZZ_CHECK(answer.startsWith(after("Bluetooth.InquiryAccessCodeFirst") + after("Bluetooth.InquiryAccessCodeSecond")));
        break;
    }
    case 15: FUZZ_CHECK(after("Bluetooth.ServiceName") == answer); break;
    case 17: FUZZ_CHECK(after("Local.ModelName") == answer); break;
    default: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // Mostly the real steps; now and then one just outside them.
    const int step = in.ConsumeIntegralInRange<int>(-1, InfoStepCount);
    const bool markedRead = in.ConsumeBool();
    const QByteArray answer = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    CheckStore(step, answer, markedRead);
    CheckMode(answer);
    for (const QByteArray& item : SplitResponse(answer)) {
        CheckDecimal(item);
        CheckHex(item);
    }
    return 0;
}
