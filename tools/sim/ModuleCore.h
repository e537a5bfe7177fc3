// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The module's brain without any I/O: its settings, its two modes and its answer
// to each command line.

#include "VirtualModule.h"

#include <map>
#include <string>
#include <vector>

namespace radiosim {

// The UART settings as the module stores them: "9600", "N" / "E" / "O", "1" / "2".
struct UartSettings {
    std::string baud, parity, stop;
    bool operator==(const UartSettings&) const = default;
};

struct Answer {
    std::string text;   // without framing
    int pauseMs = 0;    // extra gap before this answer (the inquiry's pacing)
};

class ModuleCore {
public:
    explicit ModuleCore(const Options& options);

    bool configuration() const { return m_configuration; }
    unsigned char activeDebugChar() const { return m_activeDebugChar; }
    void enterConfiguration() { m_configuration = true; }
    // The UART settings the module runs at: those stored when it started or
    // last restarted.
    const UartSettings& activeUart() const { return m_activeUart; }

    // One command line (without its CR) in configuration mode.
    std::vector<Answer> command(const std::string& line);

    const std::map<std::string, std::string>& settings() const { return m_settings; }
    void setSetting(const std::string& name, const std::string& value);
    // Grows on every change of the settings, so that the caller knows when to dump them.
    unsigned long revision() const { return m_revision; }

    std::map<std::string, std::string> factorySettings() const;
    // Another module of the same kind takes this one's place: factory settings,
    // the given local address, data mode.
    void replace(const std::string& localAddress);
    // Grows on every restart (ATZ), so that the caller can tell a session's end.
    unsigned long restarts() const { return m_restarts; }
    static std::string serviceNameForProfile(int profile);

private:
    std::vector<Answer> infoQuery(const std::string& number);
    std::vector<Answer> writeCommand(const std::string& line, bool& known);
    std::vector<Answer> inquiry();
    std::string infoText(int query) const;
    void set(const std::string& name, const std::string& value);
    void restart();
    UartSettings storedUart() const;

    const Options& m_options;
    std::map<std::string, std::string> m_settings;
    bool m_configuration = false;
    unsigned char m_activeDebugChar;
    UartSettings m_activeUart;
    unsigned long m_revision = 0;
    unsigned long m_restarts = 0;
};

}  // namespace radiosim
