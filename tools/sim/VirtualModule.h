// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A virtual Bluetooth serial module on a pseudo-terminal. RadioSet opens the slave
// side like any serial port; the module answers the AT command set from its own
// settings. It is written independently of RadioSet's protocol code, so that it
// checks that code instead of mirroring it.

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace radiosim {

enum class ModuleType {
    Current,           // answers the Bluetooth version query (AT+BTINFO?10) with e.g. "2.1"
    LegacyFastSwitch,  // answers "2.0"
    Legacy             // answers "ERROR"
};

struct FoundDevice {
    std::string address, name, classOfDevice;
};

// The devices the inquiry reports unless the options name others.
std::vector<FoundDevice> DefaultFoundDevices();

struct Options {
    ModuleType type = ModuleType::Current;
    std::string model = "QN7201";
    bool modelUnknown = false;            // the model query answers "ERROR"
    unsigned char debugChar = 0x1E;       // factory debug character (and the one active at power-on)
    bool errorOnWrongDebugChar = false;   // data mode: any other byte but CR/LF gets "ERROR"
    std::string linkPath;                 // kept as a symlink to the slave device while running
    bool announce = false;                // listed in RadioSet's port list while running (PortAnnouncement.h)
    std::string announceFolder;           // where; empty: DefaultAnnouncementFolder()
    std::string stateFile;                // rewritten (key=value lines) after every change of the settings
    std::string transcriptPath;           // every byte received and sent is appended here, timestamped
    std::vector<FoundDevice> devices = DefaultFoundDevices();
    int inquiryPaceMs = 300;              // gap before each found device and before the final "OK"

    // Faults. Commands are numbered from 1 in the order of receivedCommands(): the
    // debug character that wakes the module is command 1.
    int silentFromCommand = -1;           // from this command on: no answer, nothing applied
    std::string errorOnCommandPrefix;     // "ERROR", nothing applied, to the command whose whole text or
                                          // name (text before the first ',' or '=') equals this
    std::string ignoreCommand;            // "OK" to the command of this whole text or name, but nothing is
                                          // stored: the module keeps its old value
    int wrongCountInfo = -1;              // this info query (0..16, 100) answers with one item too few (lists)
                                          // or one too many (single values)
    int nonNumericInfo = -1;              // this info query answers a number item as "X"
    bool noise = false;                   // a few junk bytes (never CR or LF) before every answer
    bool bareOkWithoutLeadingCrLf = false; // "OK" goes out as OK CR LF only
    bool randomBursts = false;            // answers leave in pieces of 1..4 bytes, 0..5 ms apart
    unsigned randomSeed = 1;              // for noise and bursts; 0 takes one from the clock
    bool echo = false;                    // configuration mode: every byte received is sent back at once
    int answerDelayMs = 0;                // each answer leaves no sooner than this after its command
    int vanishAfterCommand = -1;          // after answering this command the line is closed for good
    int stallAnswerOfCommand = -1;        // the answer to this command stops halfway (after its CR LF and
                                          // half its text) ...
    int stallMs = -1;                     // ... and the rest leaves this much later; negative: it is lost
    bool uartLine = false;                // the module hears only a line set to the UART settings it runs
                                          // at (speed, parity, stop bits): the stored ones at power-on and
                                          // at each restart (ATZ), as a real module; at any other setting
                                          // what arrives is garbled and nothing is answered
    bool lineTime = false;                // bytes take the time the line's settings give them, both ways:
                                          // a received byte counts when its last bit would have arrived,
                                          // and the bytes sent leave one after the other at that pace

    // The module's stored UART speed, when not 0 (9600 otherwise); a module
    // given one hears only a line set to its UART settings, as with uartLine.
    // With either, what it says while the line is set otherwise is lost too.
    long uartBaud = 0;
    // With uartBaud or uartLine: what the tool sends at this one wrong speed
    // reaches the module garbled instead of being lost: each byte as a junk byte
    // (never CR or LF), except that a debug character comes out as the module's
    // own, as a garbled pattern can. A probe at that speed wakes the module unseen.
    long garbledSpeed = 0;

    // The fixture and the adapter. The module's local address; every module
    // that takes its place (a swap, a new adapter) has the next one.
    std::string localAddress = "00A0C1D2E3F4";
    // A FIFO created here, read while running: one command per line, "swap",
    // "pull", "insert", "unplug", "plug" (see VirtualModule's methods).
    std::string controlPath;
    int swapSilenceMs = 500;              // how long a swap leaves the fixture empty
    // One line appended for every module as it leaves (swapped, pulled, its
    // adapter unplugged, the program ended): its local address, how many times
    // it was configured (restarted after accepted writes) and its device name.
    std::string historyPath;
};

struct TranscriptEntry {
    std::chrono::steady_clock::time_point when;
    bool fromTool;
    std::string bytes;
};

class VirtualModule {
public:
    explicit VirtualModule(Options options = {});
    ~VirtualModule();
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    bool start(std::string* error = nullptr);
    void stop();

    std::string devicePath() const;                     // slave path to open
    // How RadioSet's port list names this module while it is announced; empty
    // when it is not (not asked for, failed, or gone).
    std::string announcedEntry() const;
    // Why the announcement asked for could not be made; empty when it was.
    std::string announceError() const;
    std::vector<TranscriptEntry> transcript() const;
    std::string receivedBytes() const;                  // all bytes the tool sent, in order
    // Lines (text before each CR) received in configuration mode, in order; a debug
    // character that wakes the module appears as "<1E>" (its hex value).
    std::vector<std::string> receivedCommands() const;
    // Blocks the calling thread until n commands have been received and answered (as
    // far as their answers are due at once), or the time is up.
    bool waitForCommandCount(size_t n, int timeoutMs) const;
    bool inConfigurationMode() const;
    bool vanished() const;                              // the line was closed by the vanish fault
    // True while the tool's side is known to be closed, i.e. after it had the device
    // open and closed it, until it opens it again.
    bool peerHungUp() const;

    // Every stored setting by name, values as the info answers give them:
    // DeviceName, PinCode, Auth, Encry, RemoteBDAddr, ConnectionMode ("MODE1".."MODE4"),
    // StatusMessage, PowerSave, LinkTimeout, EscapeChar, DebugChar (two hex digits),
    // BaudRate, DataBits, ParityBit ("N"/"E"/"O"), StopBit, Role ("MASTER"/"SLAVE"),
    // OperationMode ("MODE0".."MODE2"), NumberOfDevice, RxBufferSize, LocalBDAddr,
    // SWVersion, BTSpec, InquiryAccessCode (six hex digits), ClassOfDevice,
    // HWFlowControl, ConnectionDelayTime, SupportProfile, ServiceName,
    // StreamSwitchingFast, ModelName.
    std::map<std::string, std::string> settings() const;
    // A changed DebugChar takes effect at the next restart (ATZ), as the module's own.
    void setSetting(const std::string& name, const std::string& value);
    // Empties the transcript, the received bytes and the received commands; the
    // command numbering of the faults goes on.
    void clearTranscript();

    // The fixture: the module is taken out (the line goes silent: nothing it is
    // sent is heard, nothing is answered), and another put in its place.
    void pullModule();
    void insertModule();
    // Pulls the module and inserts the next one after `silenceMs` (negative: the
    // options' swapSilenceMs).
    void swapModule(int silenceMs = -1);
    // Takes the module out and presses the same one in again after `silenceMs`
    // (negative: swapSilenceMs), its settings kept: a technician's second try.
    void reseatModule(int silenceMs = -1);
    bool modulePresent() const;
    std::string localAddress() const;

    // The adapter: unplugging closes the pseudo-terminal (the tool's side sees
    // the line go), removes the link and the announcement; plugging opens a new
    // pseudo-terminal under the same link with the next module on it.
    void unplug();
    bool plug(std::string* error = nullptr);
    bool plugged() const;

    // The history lines written so far (see Options::historyPath): a module's
    // line is written as it leaves, by a swap, a pull, an unplug or stop().
    std::vector<std::string> history() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace radiosim
