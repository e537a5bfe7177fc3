// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FrameAssembler.h"
#include "ModuleExchange.h"
#include "TPosixSerialDevice.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// How the line to the module is set up.
struct TLineOptions
{
    qint32 Baud = 9600;
    int Parity = 0;    // 0 none, 1 odd, 2 even
    int StopBits = 0;  // 0 one, 2 two
    quint8 DebugChar = 0x1E;
    QByteArray Model;  // for a module that cannot name its own
};

// The line to a module that has restarted with the settings `written`: its
// UART speed, parity and stop bits and its debug character, as a module takes
// them at its restart. What `written` does not give as a valid value stays as
// in `line`. This is where a port's line settings change during a run.
TLineOptions LineAfterRestart(const TLineOptions& line, const TParameters& written);

// One open serial line to a module, with its own frame assembler, that runs the
// module exchange with blocking waits: each command is sent, each answer waited
// for in the device's poll until the exchange's deadline, on the calling thread.
// Nothing is shared between lines.
class TModuleLine final
{
public:
    enum class TDirection { Sent, Received };
    // Every byte sent and received passes here, in the order it went or came.
    using ByteHook = std::function<void(TDirection direction, const QByteArray& bytes)>;
    // A line per command sent ("> ...") and per answer taken ("< ..."), bytes
    // outside printable ASCII as <XX>.
    using Trace = std::function<void(const QString& line)>;
    // Sees every step of a run before its command goes out; returning false
    // stops the run there, between two commands.
    using Observer = std::function<bool(const TExchangeStep& step)>;
    // Asked between commands and, while an answer is awaited, at least every
    // StopPollMs: true stops the run there, as a refusing observer does.
    using StopRequest = std::function<bool()>;
    static constexpr int StopPollMs = 50;

    explicit TModuleLine(Trace trace = {}, ByteHook hook = {});
    Q_DISABLE_COPY_MOVE(TModuleLine)

    // Opens and sets up the port; the "SERIAL OPEN ERROR" report on failure.
    std::optional<TReport> Open(const QString& port, const TLineOptions& options);
    void Close();
    // Sets the open line to other settings (another speed, say) without closing
    // it; false when the device refuses them.
    bool Retune(const TLineOptions& options);

    // Sends the bytes; false when they did not all go out.
    bool Send(const QByteArray& bytes);
    // Forgets whatever has arrived so far, as the window drops bytes while idle.
    void Discard();
    // Sleeps without reading.
    static void Pause(int ms);

    // Runs the exchange from `step` on, until a step ends it (its End set,
    // its last command sent) or carries a report. A line that goes away is
    // reported as such ("SERIAL PORT DISAPPEARED"). Returns that last step; a
    // step without End and without report means the observer stopped the run.
    TExchangeStep Run(TModuleExchange& exchange, TExchangeStep step, const Observer& observe = {});

    void SetStopRequest(StopRequest stop) { m_stop = std::move(stop); }

    bool IsOpen() const { return m_open; }
    bool Gone() const { return m_gone; }
    const QString& Port() const { return m_port; }

private:
    // The next framed answer, or nothing when the exchange's deadline passes
    // first, no deadline runs, or the line is gone.
    std::optional<QByteArray> NextAnswer(const TModuleExchange& exchange);
    void Drain();
    TExchangeStep Lost() const;

    TPosixSerialDevice m_device;
    TFrameAssembler m_assembler;
    std::deque<QByteArray> m_answers;
    bool m_gone = false;
    bool m_open = false;
    StopRequest m_stop;
    QString m_port;
    Trace m_trace;
    ByteHook m_hook;
};
