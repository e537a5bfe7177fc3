// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleLine.h"

#include "PortReports.h"

#include <chrono>
#include <thread>

namespace {

QString Printable(const QByteArray& bytes)
{
    QString out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F)
            out += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QChar::fromLatin1(c);
    }
    return out;
}

} // namespace

TLineOptions LineAfterRestart(const TLineOptions& line, const TParameters& written)
{
    TLineOptions after = line;
    bool ok = false;
    const int speed = written.Uart.BaudRate.toInt(&ok);
    if (ok && speed > 0)
        after.Baud = speed;
    // The UART page's words; a module's "N" (or anything else) is no parity.
    const QByteArray parity = written.Uart.ParityBit;
    if (!parity.isEmpty())
        after.Parity = parity == "Odd" ? 1 : parity == "Even" ? 2 : 0;
    if (written.Uart.StopBit == "1")
        after.StopBits = 0;
    else if (written.Uart.StopBit == "2")
        after.StopBits = 2;
    const uint debugChar = written.System.DebugChar.toUInt(&ok, 16);
    if (ok && debugChar <= 0xFF)
        after.DebugChar = quint8(debugChar);
    return after;
}

TModuleLine::TModuleLine(Trace trace, ByteHook hook)
    : m_trace(std::move(trace))
    , m_hook(std::move(hook))
{
}

std::optional<TReport> TModuleLine::Open(const QString& port, const TLineOptions& options)
{
    m_port = port;
    if (const int error = m_device.Open(port))
        return SerialOpenFailure(port, error);
    SerialLineSettings line;
    line.Speed = options.Baud;
    line.Parity = options.Parity;
    line.StopBits = options.StopBits;
    if (const int error = m_device.SetLine(line)) {
        m_device.Close();
        return SerialOpenReport(port, error, std::nullopt, EComPort::LineRefused);
    }
    m_device.SetTimeouts(SerialTimeouts{});
    m_device.SetEventMask(SerialEvent::RxChar);
    m_device.ClearQueues();
    m_open = true;
    return std::nullopt;
}

void TModuleLine::Close()
{
    m_device.Close();
    m_open = false;
}

bool TModuleLine::Retune(const TLineOptions& options)
{
    SerialLineSettings line;
    line.Speed = options.Baud;
    line.Parity = options.Parity;
    line.StopBits = options.StopBits;
    return m_device.SetLine(line) == 0;
}

bool TModuleLine::Send(const QByteArray& bytes)
{
    if (m_trace)
        m_trace(QStringLiteral("> ") + Printable(bytes));
    qint32 written = 0;
    const int error = m_device.Write(bytes.constData(), qint32(bytes.size()), written);
    if (m_hook && written > 0)
        m_hook(TDirection::Sent, bytes.left(written));
    if (error != 0 || written != bytes.size()) {
        m_gone = m_gone || SerialDeviceGone(error);
        return false;
    }
    return true;
}

void TModuleLine::Discard()
{
    Drain();
    m_answers.clear();
    m_assembler.Reset();
}

void TModuleLine::Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TExchangeStep TModuleLine::Run(TModuleExchange& exchange, TExchangeStep step, const Observer& observe)
{
    const auto stopped = [this] { return m_stop && m_stop(); };
    for (;;) {
        if (observe && !observe(step))
            return {};
        // Stopped between two commands; a step that ends the exchange still goes out.
        if (stopped() && step.End == TExchangeEnd::None && !step.Report)
            return {};
        // This driver stops at every report; the window reads on.
        if (step.Report)
            return step;
        if (step.ClearQueue)
            Discard();
        if (!step.Command.isEmpty() && !Send(step.Command) && m_gone)
            return Lost();
        if (step.End != TExchangeEnd::None)
            return step;
        if (step.ServiceNameAfterMs >= 0) {
            Pause(step.ServiceNameAfterMs);
            step = exchange.RequestServiceName();
            continue;
        }
        if (std::optional<QByteArray> answer = NextAnswer(exchange)) {
            step = exchange.Answer(*answer);
            continue;
        }
        if (m_gone)
            return Lost();
        if (stopped())
            return {};
        // Nothing awaited and nothing came: the exchange has nothing more to say.
        if (!exchange.Deadline())
            return step;
        step = exchange.CheckTime();
    }
}

std::optional<QByteArray> TModuleLine::NextAnswer(const TModuleExchange& exchange)
{
    for (;;) {
        Drain();
        if (!m_answers.empty()) {
            QByteArray answer = m_answers.front();
            m_answers.pop_front();
            if (m_trace)
                m_trace(QStringLiteral("< ") + Printable(answer));
            return answer;
        }
        const std::optional<TModuleExchange::Clock::time_point> deadline = exchange.Deadline();
        if (m_gone || !deadline)
            return std::nullopt;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - exchange.CurrentTime()).count();
        if (left <= 0)
            return std::nullopt;
        if (m_stop && m_stop())
            return std::nullopt;
        quint32 events = 0;
        int error = 0;
        const int wait = m_stop ? int(qMin<qint64>(left, StopPollMs)) : int(left);
        const SerialWaitResult result = m_device.WaitEventFor(events, error, wait);
        if (result == SerialWaitResult::Gone || result == SerialWaitResult::Failed)
            m_gone = true;
    }
}

void TModuleLine::Drain()
{
    char buffer[256];
    for (;;) {
        qint32 got = 0;
        // A read that fails leaves nothing more to read on this line.
        if (m_device.Read(buffer, sizeof buffer, got) != 0) {
            m_gone = true;
            return;
        }
        if (got <= 0)
            return;
        if (m_hook)
            m_hook(TDirection::Received, QByteArray(buffer, got));
        // The assembler takes one byte at a time and hands back at most one answer.
        for (qint32 i = 0; i < got; ++i) {
            if (std::optional<QByteArray> answer = m_assembler.Add(QByteArray(1, buffer[i])))
                m_answers.push_back(*answer);
        }
    }
}

TExchangeStep TModuleLine::Lost() const
{
    TExchangeStep step;
    step.Report = PortGoneReport(m_port);
    return step;
}
