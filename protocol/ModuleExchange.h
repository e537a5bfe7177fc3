// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleType.h"
#include "PropertyUnit.h"
#include "Reports.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <functional>
#include <optional>

// The exchange with the module, once for every program: the connection
// handshake, reading, writing, factory initialisation, the device search and
// the profile change. Given the module's answers (or the news that one did not
// come in time) it says what comes next, as plain data: the command to send and
// how long its answer may take, the values stored, how far the sequence has
// come, the end of an exchange, or a report with its three texts. It sends
// nothing and waits for nothing itself: the window drives it from its timers
// and its receive worker, radioset-cli from blocking waits on the line.

// ---------------------------------------------------------------- modes

// The exchange in progress with the module.
enum TCommMode : qint32 {
    ModeIdle = 0,
    ModeConnecting = 1,
    ModeReading = 2,
    ModeWriting = 3,
    ModeInitialising = 4,
    ModeSearching = 5,
    ModeProfileChange = 6,
};

// ---------------------------------------------------------------- limits

// How long each answer of the handshake, reading, writing and initialisation may take.
inline constexpr int AnswerLimitMs = 2000;
// How long a device search may go without any answer before it is ended as the
// module's closing "OK" would end it. An inquiry of a real module reports within
// about 13 s; twice that leaves room for a slow one.
inline constexpr int SearchSilenceLimitMs = 30000;
// How long the profile change waits for each answer before it gives up quietly.
inline constexpr int ProfileChangeLimitMs = 2000;
// From the lone CR that follows the opening of the port to the debug character.
inline constexpr int DebugCharDelayMs = 200;
// From a report to the error dialog that shows it.
inline constexpr int ReportDelayMs = 200;
// From the acknowledged profile command to the service-name query.
inline constexpr int ServiceNameDelayMs = 100;
// From the restart command (or the end of a factory initialisation) to closing the port.
inline constexpr int DisconnectDelayMs = 100;
// From the refused model query to the product selection.
inline constexpr int ProductChoiceDelayMs = 100;

// ---------------------------------------------------------------- step plans

// Reading: the info steps queried, in order. Current: 0..16 then 17 (the model
// query); legacy with fast switching: 0..9 then 16 in place of 10; legacy: 0..9.
QList<int> ReadPlan(TModuleType type);
// The step actually queried when the sequence has come to `step` (10 becomes 16
// on a legacy module with fast switching).
int ReadStepToQuery(TModuleType type, int step);
// Whether the answer to `step` ends the reading.
bool IsLastReadStep(TModuleType type, int step);
// The progress gauge's maximum while reading: 17, 10 or 9.
int ReadGaugeMaximum(TModuleType type);

// Writing: steps 0..LastWriteStep are sent, each answered "OK": 21, 15 or 14.
int LastWriteStep(TModuleType type);
// The write commands of the module type, in step order, built from `params`.
QList<QByteArray> WriteSequence(TModuleType type, const TParameters& params);

// ---------------------------------------------------------------- state

// The sequencer's state. The window keeps it as members of its own; another
// driver keeps one beside its exchange.
struct TSequencerState
{
    qint32 CommMode = ModeIdle;
    // The step within the exchange; -1 when none.
    qint32 CommandStep = -1;
    // The module type found by the handshake.
    bool LegacyDevice = false;
    bool LegacyFastSwitch = false;  // consulted only while LegacyDevice is true
    // Within the profile change: 0 while the profile command's answer is
    // awaited, 1 once the service-name query has gone out.
    qint32 ServiceNameRequested = 0;
};

// ---------------------------------------------------------------- steps

// The time limits an exchange runs, one at a time: the window keeps a timer for
// each, another driver a deadline.
enum class TAnswerTimer {
    None,
    Answer,         // each answer of the handshake, reading, writing and initialisation
    SearchSilence,  // the device search without any answer
    ProfileChange,  // each answer of the profile change
};

// How an exchange ended.
enum class TExchangeEnd {
    None,             // not ended: an answer is awaited (or a report is pending)
    Identified,       // handshake: the module named its model (Model)
    ProductChoice,    // handshake: the module cannot name its model; the user chooses one
    Read,             // every query of the reading answered
    Written,          // every write command acknowledged; the restart command follows
    Initialised,      // the factory settings restored; the connection ends without a restart
    SearchCompleted,  // the module's closing "OK"
    SearchRefused,    // the module refused the inquiry
    SearchSilent,     // no answer for the search's whole silence limit
    ProfileRefused,   // the profile command was not acknowledged
    ProfileChanged,   // the service name was read back (ServiceName)
    ProfileAbandoned, // the profile change got no answer in time
};

struct TFoundDevice
{
    QByteArray Address;
    QByteArray Name;
    QByteArray ClassOfDevice;
};

// What the driver does next, in the order of the fields.
struct TExchangeStep
{
    // The time limit that this answer ends.
    TAnswerTimer Stop = TAnswerTimer::None;
    // A failure the user must see. The exchange stays where it is until the
    // driver makes it idle (the window, when the error dialog opens), except
    // that the window's reading goes on: then a command follows too.
    std::optional<TReport> Report;
    // The module took its debug character: it is in its configuration mode.
    bool ReadyToSet = false;
    // The position of the progress gauge.
    std::optional<qint32> Progress;
    // Writing: the step the module has just acknowledged.
    std::optional<qint32> Acknowledged;
    // Searching: a device found.
    std::optional<TFoundDevice> Found;
    // Profile change: the service name read back.
    std::optional<QByteArray> ServiceName;
    TExchangeEnd End = TExchangeEnd::None;
    // Identified: the model name, stored in both parameter sets.
    QByteArray Model;
    // Whatever has been received and not yet handled belongs to no command.
    bool ClearQueue = false;
    // Profile change: call RequestServiceName this much later.
    int ServiceNameAfterMs = -1;
    // The bytes to send next, if any; sent only while the port is open.
    QByteArray Command;
    // The time limit started with the command (or on its own when there is no
    // command), and its length.
    TAnswerTimer Start = TAnswerTimer::None;
    int LimitMs = 0;
};

struct TExchangeOptions
{
    // The window reads on after a refused info answer, until its error dialog
    // opens; a program that stops at the first fault turns this off, and the
    // report then comes without a further query.
    bool ReadOnAfterWrongData = true;
    int AnswerMs = AnswerLimitMs;
    int SearchSilenceMs = SearchSilenceLimitMs;
    int ProfileChangeMs = ProfileChangeLimitMs;
};

// ---------------------------------------------------------------- exchange

class TModuleExchange final
{
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // The state and both parameter sets belong to the caller and must outlive
    // the exchange. Answers are stored into both sets; writing builds its
    // commands from `editParams`.
    TModuleExchange(TSequencerState& state, TParameters& readParams, TParameters& editParams,
                    TExchangeOptions options = {}, Now now = &Clock::now);

    TModuleType Type() const;
    int ReadGaugeMaximum() const;
    int LastWriteStep() const;

    // The handshake, from the debug character on. The answer to the debug
    // character may be given a limit of its own (a quick probe); the later
    // answers keep the usual one.
    TExchangeStep StartHandshake(quint8 debugChar, int firstAnswerLimitMs = -1);

    // Reading from step 0. `only` keeps the reading to those info steps of the
    // module type's plan (all of them when empty).
    TExchangeStep StartReading(const QList<int>& only = {});
    // The info query of the current step.
    TExchangeStep ReadStep();

    // Writing from step 0, and the write command of the current step.
    TExchangeStep StartWriting();
    TExchangeStep WriteStep();

    TExchangeStep StartInitialising();

    TExchangeStep StartSearch();
    // Ends the search as the module's closing "OK" does (or as `end` says).
    TExchangeStep EndSearch(TExchangeEnd end = TExchangeEnd::SearchCompleted);

    // The profile change: the profile command, and the service-name query that
    // follows its acknowledgement ServiceNameAfterMs later.
    TExchangeStep StartProfileChange(int profile);
    TExchangeStep RequestServiceName();

    // One framed answer. An answer while idle is ignored (an empty step).
    TExchangeStep Answer(const QByteArray& answer);

    // A time limit ran out: the window's timer of that kind ticked, or the
    // exchange's own deadline passed. A limit that no longer matches the
    // exchange in progress changes nothing.
    TExchangeStep TimedOut(TAnswerTimer timer);

    // The deadline of the time limit running, on the exchange's clock, for a
    // driver that waits itself; and TimedOut once it has passed.
    std::optional<Clock::time_point> Deadline() const;
    TExchangeStep CheckTime();
    // The exchange's clock.
    Clock::time_point CurrentTime() const { return m_now(); }

private:
    TExchangeStep Connecting(const QByteArray& answer);
    TExchangeStep Reading(const QByteArray& answer);
    TExchangeStep Writing(const QByteArray& answer);
    TExchangeStep Initialising(const QByteArray& answer);
    TExchangeStep Searching(const QByteArray& answer);
    TExchangeStep ChangingProfile(const QByteArray& answer);

    // Follows the step's time limits on the exchange's clock and hands it on.
    TExchangeStep Timed(TExchangeStep step, int limitMs = -1);

    TSequencerState& m_state;
    TParameters& m_read;
    TParameters& m_edit;
    TExchangeOptions m_options;
    Now m_now;
    QList<int> m_only;
    TAnswerTimer m_running = TAnswerTimer::None;
    Clock::time_point m_deadline{};
};
