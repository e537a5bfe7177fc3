// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleCore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace radiosim {

namespace {

const char* const kOk = "OK";
const char* const kError = "ERROR";

std::vector<Answer> one(const std::string& text)
{
    return {Answer{text, 0}};
}

bool allOf(const std::string& s, int (*pred)(int))
{
    return std::all_of(s.begin(), s.end(), [pred](char c) { return pred(static_cast<unsigned char>(c)) != 0; });
}

// Digits only, no sign, no more than nine of them: what a strict module reads as a number.
bool decimalIn(const std::string& s, long lo, long hi, long& value)
{
    if (s.empty() || s.size() > 9 || !allOf(s, isdigit))
        return false;
    value = std::stol(s);
    return value >= lo && value <= hi;
}

bool hexIn(const std::string& s, size_t maxDigits, unsigned long maxValue, unsigned long& value)
{
    if (s.empty() || s.size() > maxDigits || !allOf(s, isxdigit))
        return false;
    value = std::stoul(s, nullptr, 16);
    return value <= maxValue;
}

std::string hexText(unsigned long value, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lX", width, value);
    return buf;
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> split(const std::string& s)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        const size_t comma = s.find(',', start);
        items.push_back(s.substr(start, comma - start));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

std::string join(const std::vector<std::string>& items)
{
    std::string s;
    for (size_t i = 0; i < items.size(); ++i)
        s += (i ? "," : "") + items[i];
    return s;
}

// The command's name: its text before the first ',' or '='.
std::string commandName(const std::string& line)
{
    return line.substr(0, line.find_first_of(",="));
}

// What each module type lacks: writes of this level and above are refused.
enum Availability { AllTypes, NotPlainLegacy, CurrentOnly };

}  // namespace

std::vector<FoundDevice> DefaultFoundDevices()
{
    return {
        {"0017E9A1B2C3", "HEADSET-01", "200404"},
        {"00A0961234AB", "HANDHELD PHONE", "5A020C"},
        {"001BDC0F1E2D", "LAPTOP", "3E010C"},
        {"00025B00A5A5", "GPS RECEIVER", "001F00"},
    };
}

ModuleCore::ModuleCore(const Options& options)
    : m_options(options)
    , m_activeDebugChar(options.debugChar)
{
    m_settings = factorySettings();
    m_activeUart = storedUart();
}

void ModuleCore::replace(const std::string& localAddress)
{
    for (const auto& [name, value] : factorySettings())
        set(name, value);
    set("LocalBDAddr", localAddress);
    m_configuration = false;
    m_activeDebugChar = m_options.debugChar;
    m_activeUart = storedUart();
}

std::string ModuleCore::serviceNameForProfile(int profile)
{
    return profile == 1 ? "DIAL-UP NETWORKING" : "SERIAL PORT";
}

std::map<std::string, std::string> ModuleCore::factorySettings() const
{
    const char* version = m_options.type == ModuleType::Current ? "2.1"
                     : m_options.type == ModuleType::LegacyFastSwitch ? "2.0" : "1.2";
    return {
        {"DeviceName", "RADIOSIM"},
        {"PinCode", "1234"},
        {"Auth", "1"},
        {"Encry", "0"},
        {"RemoteBDAddr", "000000000000"},
        {"ConnectionMode", "MODE1"},
        {"StatusMessage", "1"},
        {"PowerSave", "0"},
        {"LinkTimeout", "20"},
        {"EscapeChar", "1B"},
        {"DebugChar", hexText(m_options.debugChar, 2)},
        {"BaudRate", std::to_string(m_options.uartBaud > 0 ? m_options.uartBaud : 9600)},
        {"DataBits", "8"},
        {"ParityBit", "N"},
        {"StopBit", "1"},
        {"Role", "SLAVE"},
        {"OperationMode", "MODE0"},
        {"NumberOfDevice", "1"},
        {"RxBufferSize", "128"},
        {"LocalBDAddr", m_options.localAddress},
        {"SWVersion", "SIM-1.06"},
        {"BTSpec", version},
        {"InquiryAccessCode", "9E8B33"},
        {"ClassOfDevice", "001F00"},
        {"HWFlowControl", "0"},
        {"ConnectionDelayTime", "1000"},
        {"SupportProfile", "0"},
        {"ServiceName", serviceNameForProfile(0)},
        {"StreamSwitchingFast", "0"},
        {"ModelName", m_options.model},
    };
}

void ModuleCore::set(const std::string& name, const std::string& value)
{
    std::string& slot = m_settings[name];
    if (slot != value) {
        slot = value;
        ++m_revision;
    }
}

void ModuleCore::setSetting(const std::string& name, const std::string& value)
{
    set(name, value);
    // Set from outside, as the module was before it started: it runs at it.
    m_activeUart = storedUart();
}

UartSettings ModuleCore::storedUart() const
{
    const auto get = [this](const char* name) {
        const auto it = m_settings.find(name);
        return it == m_settings.end() ? std::string() : it->second;
    };
    return UartSettings{get("BaudRate"), get("ParityBit"), get("StopBit")};
}

void ModuleCore::restart()
{
    m_activeUart = storedUart();
    m_configuration = false;
    unsigned long value = 0;
    // A stored debug character that is not a byte keeps the one in use.
    if (hexIn(m_settings["DebugChar"], 12, 0xFF, value))
        m_activeDebugChar = static_cast<unsigned char>(value);
    ++m_restarts;
}

std::vector<Answer> ModuleCore::command(const std::string& line)
{
    const std::string& bad = m_options.errorOnCommandPrefix;
    if (!bad.empty() && (line == bad || commandName(line) == bad))
        return one(kError);
    const std::string& ignored = m_options.ignoreCommand;
    if (!ignored.empty() && (line == ignored || commandName(line) == ignored))
        return one(kOk);

    if (line == "ATZ") {
        restart();
        return {};
    }
    if (line == "AT")
        return one(kOk);
    if (line == "AT&F") {
        const auto factory = factorySettings();
        for (const auto& [name, value] : factory)
            set(name, value);
        return one(kOk);
    }
    if (line == "AT+BTINQ?")
        return inquiry();
    const std::string info = "AT+BTINFO?";
    if (line.compare(0, info.size(), info) == 0)
        return infoQuery(line.substr(info.size()));

    bool known = false;
    auto answers = writeCommand(line, known);
    return known ? answers : one(kError);
}

std::vector<Answer> ModuleCore::inquiry()
{
    if (m_settings["Role"] != "MASTER")
        return one(kError);
    std::vector<Answer> answers{Answer{kOk, 0}};
    for (const FoundDevice& d : m_options.devices)
        answers.push_back(Answer{d.address + "," + d.name + "," + d.classOfDevice, m_options.inquiryPaceMs});
    answers.push_back(Answer{kOk, m_options.inquiryPaceMs});
    return answers;
}

std::string ModuleCore::infoText(int query) const
{
    const auto s = [this](const char* name) { return m_settings.at(name); };
    const bool legacy = m_options.type != ModuleType::Current;
    const bool fast = m_options.type == ModuleType::LegacyFastSwitch;
    if (legacy && query >= 11 && query <= 15)
        return kError;
    switch (query) {
    case 0: return s("DeviceName");
    case 1: return s("PinCode") + "," + s("Auth") + "," + s("Encry");
    case 2: return s("RemoteBDAddr");
    case 3: return s("ConnectionMode");
    case 4:
        return s("StatusMessage") + "," + s("PowerSave") + "," + s("LinkTimeout") + "," + s("EscapeChar") + ","
             + s("DebugChar");
    case 5: return s("BaudRate") + "," + s("DataBits") + "," + s("ParityBit") + "," + s("StopBit");
    case 6: return s("Role") + "," + s("OperationMode");
    case 7: return s("NumberOfDevice") + "," + s("RxBufferSize");
    case 8: return s("LocalBDAddr");
    case 9: return s("SWVersion");
    case 10: return m_options.type == ModuleType::Legacy ? kError : s("BTSpec");
    case 11: return s("InquiryAccessCode") + "," + s("ClassOfDevice");
    case 12: return s("HWFlowControl");
    case 13: return s("ConnectionDelayTime");
    case 14: return s("SupportProfile");
    case 15: return s("ServiceName");
    case 16: return legacy && !fast ? kError : s("StreamSwitchingFast");
    case 100: return m_options.modelUnknown ? kError : s("ModelName");
    default: return kError;
    }
}

std::vector<Answer> ModuleCore::infoQuery(const std::string& number)
{
    // Plain decimal, no leading zeros: "?017" is not a query of this module.
    long query = 0;
    if (!decimalIn(number, 0, 100, query) || (number.size() > 1 && number[0] == '0'))
        return one(kError);
    std::string text = infoText(static_cast<int>(query));
    if (text == kError)
        return one(text);

    static const std::map<int, size_t> numberItem = {{1, 1}, {3, 0}, {4, 0}, {5, 0}, {6, 1}, {7, 0},
                                                     {11, 0}, {12, 0}, {13, 0}, {14, 0}, {16, 0}};
    if (query == m_options.nonNumericInfo) {
        const auto it = numberItem.find(static_cast<int>(query));
        if (it != numberItem.end()) {
            auto items = split(text);
            items[it->second] = items[it->second].compare(0, 4, "MODE") == 0 ? "MODEX" : "X";
            text = join(items);
        }
    }
    if (query == m_options.wrongCountInfo) {
        static const int lists[] = {1, 4, 5, 6, 7, 11};
        if (std::find(std::begin(lists), std::end(lists), query) != std::end(lists))
            text.erase(text.rfind(','));
        else
            text += ",0";
    }
    return one(text);
}

std::vector<Answer> ModuleCore::writeCommand(const std::string& line, bool& known)
{
    using Apply = bool (*)(ModuleCore&, const std::string&);
    struct Rule {
        const char* prefix;
        Availability availability;
        Apply apply;
    };
    // Each apply checks its argument as a strict module does and stores it only when
    // the whole of it is acceptable.
    static const Rule rules[] = {
        {"AT+BTNAME=", AllTypes, [](ModuleCore& m, const std::string& a) {
             if (a.empty() || a.size() > 12) return false;
             m.set("DeviceName", a);
             return true;
         }},
        {"AT+BTROLE=", AllTypes, [](ModuleCore& m, const std::string& a) {
             const std::string u = upper(a);
             if (u != "M" && u != "S") return false;
             m.set("Role", u == "M" ? "MASTER" : "SLAVE");
             return true;
         }},
        {"AT+BTADDR=", AllTypes, [](ModuleCore& m, const std::string& a) {
             if (a.size() != 12 || !allOf(a, isxdigit)) return false;
             m.set("RemoteBDAddr", upper(a));
             return true;
         }},
        {"AT+BTLPM,", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 1, v)) return false;
             m.set("PowerSave", std::to_string(v));
             return true;
         }},
        {"AT+BTLT=", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 99, v)) return false;
             m.set("LinkTimeout", std::to_string(v));
             return true;
         }},
        {"AT+BTSEC,", AllTypes, [](ModuleCore& m, const std::string& a) {
             const auto items = split(a);
             long auth = 0, encry = 0;
             if (items.size() != 2 || !decimalIn(items[0], 0, 2, auth) || !decimalIn(items[1], 0, 1, encry))
                 return false;
             // Secure simple pairing came with the current modules.
             if (auth == 2 && m.m_options.type != ModuleType::Current) return false;
             m.set("Auth", std::to_string(auth));
             m.set("Encry", std::to_string(encry));
             return true;
         }},
        {"AT+BTKEY=", AllTypes, [](ModuleCore& m, const std::string& a) {
             // A comma would break the module's own security answer apart.
             if (a.empty() || a.size() > 12 || a.find(',') != std::string::npos) return false;
             m.set("PinCode", a);
             return true;
         }},
        {"AT+BTMSG,", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 1, v)) return false;
             m.set("StatusMessage", std::to_string(v));
             return true;
         }},
        {"AT+BTMODE,", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 1, 4, v)) return false;
             m.set("ConnectionMode", "MODE" + std::to_string(v));
             return true;
         }},
        {"AT+SETESC,", AllTypes, [](ModuleCore& m, const std::string& a) {
             unsigned long v = 0;
             if (!hexIn(a, 12, 0xFF, v)) return false;
             m.set("EscapeChar", hexText(v, 2));
             return true;
         }},
        {"AT+SETDEBUG,", AllTypes, [](ModuleCore& m, const std::string& a) {
             unsigned long v = 0;
             if (!hexIn(a, 12, 0xFF, v)) return false;
             m.set("DebugChar", hexText(v, 2));
             return true;
         }},
        {"AT+BTUART,", AllTypes, [](ModuleCore& m, const std::string& a) {
             static const char* const bauds[] = {"1200", "2400", "4800", "9600", "19200",
                                                 "38400", "57600", "115200", "230400"};
             const auto items = split(a);
             if (items.size() != 3) return false;
             if (std::find(std::begin(bauds), std::end(bauds), items[0]) == std::end(bauds)) return false;
             const std::string parity = upper(items[1]);
             if (parity != "N" && parity != "E" && parity != "O") return false;
             if (items[2] != "1" && items[2] != "2") return false;
             m.set("BaudRate", items[0]);
             m.set("ParityBit", parity);
             m.set("StopBit", items[2]);
             return true;
         }},
        {"AT+BTOPMODE,", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 2, v)) return false;
             m.set("OperationMode", "MODE" + std::to_string(v));
             return true;
         }},
        {"AT+BTDEV=", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 1, 7, v)) return false;
             m.set("NumberOfDevice", std::to_string(v));
             return true;
         }},
        {"AT+BTBUFF=", AllTypes, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 999, v)) return false;
             m.set("RxBufferSize", std::to_string(v));
             return true;
         }},
        {"AT+BTFASTCH,", NotPlainLegacy, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 1, v)) return false;
             m.set("StreamSwitchingFast", std::to_string(v));
             return true;
         }},
        {"AT+BTIAC=", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             unsigned long v = 0;
             if (!hexIn(a, 2, 0x3F, v)) return false;
             m.set("InquiryAccessCode", m.m_settings["InquiryAccessCode"].substr(0, 4) + hexText(v, 2));
             return true;
         }},
        {"AT+BTCOD=", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             unsigned long v = 0;
             if (!hexIn(a, 6, 0xFFFFFF, v)) return false;
             m.set("ClassOfDevice", hexText(v, 6));
             return true;
         }},
        {"AT+BTPRO,", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 1, v)) return false;
             m.set("SupportProfile", std::to_string(v));
             m.set("ServiceName", serviceNameForProfile(static_cast<int>(v)));
             return true;
         }},
        {"AT+BTSN=", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             if (a.empty() || a.size() > 20) return false;
             m.set("ServiceName", a);
             return true;
         }},
        {"AT+BTCDELAY=", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 999999, v)) return false;
             m.set("ConnectionDelayTime", std::to_string(v));
             return true;
         }},
        {"AT+BTHFC,", CurrentOnly, [](ModuleCore& m, const std::string& a) {
             long v = 0;
             if (!decimalIn(a, 0, 1, v)) return false;
             m.set("HWFlowControl", std::to_string(v));
             return true;
         }},
    };

    for (const Rule& rule : rules) {
        const std::string prefix = rule.prefix;
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        known = true;
        const Availability level = m_options.type == ModuleType::Current ? CurrentOnly
                                 : m_options.type == ModuleType::LegacyFastSwitch ? NotPlainLegacy : AllTypes;
        if (rule.availability > level)
            return one(kError);
        return one(rule.apply(*this, line.substr(prefix.size())) ? kOk : kError);
    }
    return {};
}

}  // namespace radiosim
