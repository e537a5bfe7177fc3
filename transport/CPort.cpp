// SPDX-License-Identifier: GPL-3.0-or-later
#include "CPort.h"

#include "PortReports.h"
#include "TPosixSerialDevice.h"

#include <array>

// ------------------------------------------------------------------ EComPort

EComPort::EComPort(int code, int platformError)
    : m_code(code)
    , m_platformError(platformError)
    , m_what(Message().toLocal8Bit())
{
}

QString EComPort::CodeText(int code)
{
    switch (code) {
    case OpenFailed: return QStringLiteral("Unable to open com port");
    case WriteFailed: return QStringLiteral("WriteFile function failed");
    case ReadFailed: return QStringLiteral("ReadFile function failed");
    case PurgeFailed: return QStringLiteral("PurgeComm function failed");
    case LineRefused: return QStringLiteral("SetCommState function failed");
    case TimeoutsRefused: return QStringLiteral("SetCommTimeouts failed");
    case QueuesRefused: return QStringLiteral("SetupComm function failed");
    case CountFailed: return QStringLiteral("ClearCommError function failed");
    default: return QString();
    }
}

QString EComPort::Message() const
{
    QString text = CodeText(m_code);
    if (m_platformError != -1)
        text += QStringLiteral(" (%1, errno %2)").arg(PlatformErrorText(m_platformError)).arg(m_platformError);
    return text;
}

const char* EComPort::what() const noexcept
{
    return m_what.constData();
}

// ------------------------------------------------------------------ conversions

namespace {

constexpr std::array<qint32, 16> kSpeeds = { 0,     110,   300,   600,   1200,   2400,   4800,   9600,
                                             14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000 };

template <typename T, std::size_t N>
T FirstMatch(const QString& text, const std::array<QLatin1StringView, N>& names, T fallback)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text.compare(names[i], Qt::CaseInsensitive) == 0)
            return T(i);
    }
    return fallback;
}

quint32 PlatformMask(TComEvents events)
{
    static constexpr std::array<std::pair<TComEvent, quint32>, 10> kBits = { {
        { evRxChar, SerialEvent::RxChar },
        { evTxEmpty, SerialEvent::TxEmpty },
        { evRxFlag, SerialEvent::RxFlag },
        { evRing, SerialEvent::Ring },
        { evBreak, SerialEvent::Break },
        { evCTS, SerialEvent::Cts },
        { evDSR, SerialEvent::Dsr },
        { evError, SerialEvent::Error },
        { evRLSD, SerialEvent::Rlsd },
        { evRx80Full, SerialEvent::Rx80Full },
    } };
    quint32 mask = 0;
    for (const auto& [event, bit] : kBits) {
        if (events.Contains(event))
            mask |= bit;
    }
    return mask;
}

TComEvents FromPlatformMask(quint32 mask)
{
    TComEvents events;
    if (mask & SerialEvent::RxChar) events.Include(evRxChar);
    if (mask & SerialEvent::TxEmpty) events.Include(evTxEmpty);
    if (mask & SerialEvent::RxFlag) events.Include(evRxFlag);
    if (mask & SerialEvent::Ring) events.Include(evRing);
    if (mask & SerialEvent::Break) events.Include(evBreak);
    if (mask & SerialEvent::Cts) events.Include(evCTS);
    if (mask & SerialEvent::Dsr) events.Include(evDSR);
    if (mask & SerialEvent::Error) events.Include(evError);
    if (mask & SerialEvent::Rlsd) events.Include(evRLSD);
    if (mask & SerialEvent::Rx80Full) events.Include(evRx80Full);
    return events;
}

} // namespace

qint32 BaudRateToInt(TBaudRate rate)
{
    const auto index = std::size_t(rate);
    return index < kSpeeds.size() ? kSpeeds[index] : 0;
}

TBaudRate StrToBaudRate(const QString& text)
{
    static constexpr std::array<QLatin1StringView, 16> kNames = {
        QLatin1StringView("Custom"), QLatin1StringView("110"),    QLatin1StringView("300"),
        QLatin1StringView("600"),    QLatin1StringView("1200"),   QLatin1StringView("2400"),
        QLatin1StringView("4800"),   QLatin1StringView("9600"),   QLatin1StringView("14400"),
        QLatin1StringView("19200"),  QLatin1StringView("38400"),  QLatin1StringView("56000"),
        QLatin1StringView("57600"),  QLatin1StringView("115200"), QLatin1StringView("128000"),
        QLatin1StringView("256000"),
    };
    return FirstMatch(text, kNames, br9600);
}

TStopBits StrToStopBits(const QString& text)
{
    static constexpr std::array<QLatin1StringView, 3> kNames = {
        QLatin1StringView("1"), QLatin1StringView("1.5"), QLatin1StringView("2") };
    return FirstMatch(text, kNames, sbOneStopBit);
}

TParityBits StrToParity(const QString& text)
{
    static constexpr std::array<QLatin1StringView, 5> kNames = {
        QLatin1StringView("None"), QLatin1StringView("Odd"), QLatin1StringView("Even"),
        QLatin1StringView("Mark"), QLatin1StringView("Space") };
    return FirstMatch(text, kNames, prNone);
}

// ------------------------------------------------------------------ the port

struct TCustomComPort::EventThread {
    std::thread thread;
    // Set by Close; read by the thread after every wait and every dispatch.
    std::atomic<bool> stop = false;
    std::atomic<bool> done = false;
};

TCustomComPort::TCustomComPort(QObject* parent)
    : TCustomComPort(std::make_unique<TPosixSerialDevice>(), parent)
{
}

TCustomComPort::TCustomComPort(std::unique_ptr<ISerialDevice> device, QObject* parent)
    : QObject(parent)
    , m_device(std::move(device))
    , m_handOff(this)
{
}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (const EComPort&) {
        // Close has released the device before it reports a failed purge.
    }
    m_handOff.Cancel();
    JoinRetired(true);
}

void TCustomComPort::SetPort(const QString& port)
{
    if (port == m_port)
        return;
    if (m_connected) {
        Close();
        m_port = port;
        Open();
    } else {
        m_port = port;
    }
}

void TCustomComPort::SetBaudRate(TBaudRate rate)
{
    if (rate == m_baudRate)
        return;
    m_baudRate = rate;
    ApplyLine();
}

void TCustomComPort::SetCustomBaudRate(qint32 rate)
{
    if (rate == m_customBaudRate)
        return;
    m_customBaudRate = rate;
    if (m_baudRate == brCustom)
        ApplyLine();
}

void TCustomComPort::SetDataBits(TDataBits bits)
{
    if (bits == m_dataBits)
        return;
    m_dataBits = bits;
    ApplyLine();
}

void TCustomComPort::SetStopBits(TStopBits bits)
{
    if (bits == m_stopBits)
        return;
    m_stopBits = bits;
    ApplyLine();
}

void TCustomComPort::SetParityBits(TParityBits bits)
{
    if (bits == m_parity.Bits)
        return;
    m_parity.Bits = bits;
    ApplyLine();
}

void TCustomComPort::SetParity(const TComParity& parity)
{
    if (parity == m_parity)
        return;
    m_parity = parity;
    ApplyLine();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& flow)
{
    if (flow == m_flowControl)
        return;
    m_flowControl = flow;
    ApplyLine();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& timeouts)
{
    if (timeouts == m_timeouts)
        return;
    m_timeouts = timeouts;
    if (m_connected) {
        const SerialTimeouts t { m_timeouts.ReadInterval, m_timeouts.ReadTotalMultiplier, m_timeouts.ReadTotalConstant,
                                 m_timeouts.WriteTotalMultiplier, m_timeouts.WriteTotalConstant };
        if (const int error = m_device->SetTimeouts(t))
            throw EComPort(EComPort::TimeoutsRefused, error);
    }
}

void TCustomComPort::SetBuffer(const TComBuffer& buffer)
{
    if (buffer == m_buffer)
        return;
    m_buffer = buffer;
    if (m_connected) {
        if (const int error = m_device->SetQueueSizes(m_buffer.InputSize, m_buffer.OutputSize))
            throw EComPort(EComPort::QueuesRefused, error);
        ApplyLine(); // the flow-control limits follow the input size
    }
}

void TCustomComPort::SetEvents(TComEvents events)
{
    m_events = events;
}

void TCustomComPort::SetSyncMethod(TSyncMethod method)
{
    m_syncMethod = method;
}

void TCustomComPort::SetDiscardNull(bool discard)
{
    if (discard == m_discardNull)
        return;
    m_discardNull = discard;
    ApplyLine();
}

void TCustomComPort::SetEventChar(quint8 value)
{
    if (value == m_eventChar)
        return;
    m_eventChar = value;
    ApplyLine();
}

SerialLineSettings TCustomComPort::LineSettings() const
{
    SerialLineSettings line;
    line.Speed = m_baudRate == brCustom ? m_customBaudRate : BaudRateToInt(m_baudRate);
    line.Binary = true;
    line.ParityCheck = m_parity.Check;
    line.ErrorReplace = m_parity.Check && m_parity.Replace;
    line.ErrorChar = m_parity.ReplaceChar;
    line.DataBits = 5 + int(m_dataBits);
    line.Parity = int(m_parity.Bits);
    line.StopBits = int(m_stopBits);
    line.OutCtsFlow = m_flowControl.OutCTSFlow;
    line.OutDsrFlow = m_flowControl.OutDSRFlow;
    line.DtrControl = int(m_flowControl.ControlDTR);
    line.RtsControl = int(m_flowControl.ControlRTS);
    line.XonXoffOut = m_flowControl.XonXoffOut;
    line.XonXoffIn = m_flowControl.XonXoffIn;
    line.DsrSensitivity = m_flowControl.DSRSensitivity;
    line.TxContinueOnXoff = m_flowControl.TxContinueOnXoff;
    line.XonLimit = m_buffer.InputSize / 4;
    line.XoffLimit = m_buffer.InputSize / 4;
    line.XonChar = m_flowControl.XonChar;
    line.XoffChar = m_flowControl.XoffChar;
    line.DiscardNull = m_discardNull;
    line.EventChar = m_eventChar;
    return line;
}

void TCustomComPort::ApplyLine()
{
    if (!m_connected)
        return;
    if (const int error = m_device->SetLine(LineSettings()))
        throw EComPort(EComPort::LineRefused, error);
}

void TCustomComPort::Open()
{
    if (m_connected)
        return;
    JoinRetired(false);
    if (const int error = m_device->Open(m_port))
        throw EComPort(EComPort::OpenFailed, error);
    ++m_openings;
    m_lost = false;
    m_connected = true;
    try {
        if (const int error = m_device->SetQueueSizes(m_buffer.InputSize, m_buffer.OutputSize))
            throw EComPort(EComPort::QueuesRefused, error);
        ApplyLine();
        const SerialTimeouts t { m_timeouts.ReadInterval, m_timeouts.ReadTotalMultiplier, m_timeouts.ReadTotalConstant,
                                 m_timeouts.WriteTotalMultiplier, m_timeouts.WriteTotalConstant };
        if (const int error = m_device->SetTimeouts(t))
            throw EComPort(EComPort::TimeoutsRefused, error);
    } catch (...) {
        m_device->Close();
        m_connected = false;
        throw;
    }
    if (!m_events.Empty())
        StartEventThread();
}

void TCustomComPort::Close()
{
    if (!m_connected || m_closing)
        return;
    m_closing = true;
    const int purgeError = m_device->AbortTransfers();
    StopEventThread();
    // A failed purge still ends with the port released: a port that cannot be
    // closed could never be opened again either.
    m_device->Close();
    m_connected = false;
    m_closing = false;
    if (purgeError)
        throw EComPort(EComPort::PurgeFailed, purgeError);
}

qint32 TCustomComPort::WriteStr(const QByteArray& text)
{
    if (text.isEmpty())
        return 0;
    qint32 written = 0;
    if (const int error = Checked(m_device->Write(text.constData(), qint32(text.size()), written)))
        throw EComPort(EComPort::WriteFailed, error);
    return written;
}

qint32 TCustomComPort::ReadStr(QByteArray& text, qint32 count)
{
    if (count <= 0) {
        text.clear();
        return 0;
    }
    text.resize(count);
    qint32 got = 0;
    if (const int error = Checked(m_device->Read(text.data(), count, got))) {
        text.clear();
        throw EComPort(EComPort::ReadFailed, error);
    }
    text.truncate(got);
    return got;
}

qint32 TCustomComPort::InputCount()
{
    qint32 count = 0;
    if (const int error = Checked(m_device->InputCount(count)))
        throw EComPort(EComPort::CountFailed, error);
    return count;
}

int TCustomComPort::Checked(int error)
{
    if (error && SerialDeviceGone(error) && m_connected)
        DeviceLost();
    return error;
}

void TCustomComPort::DeviceLost()
{
    if (m_lost.exchange(true))
        return;
    const quint64 opening = m_openings;
    // Queued even on the port's own thread: the handler closes the port, which
    // must not happen inside the read or write that found the loss.
    QMetaObject::invokeMethod(
        this,
        [this, opening] {
            if (m_connected && !m_closing && opening == m_openings && OnLost)
                OnLost(this);
        },
        Qt::QueuedConnection);
}

bool TCustomComPort::EventThreadRunning() const
{
    return m_eventThread && !m_eventThread->done;
}

// ------------------------------------------------------------------ event thread

void TCustomComPort::StartEventThread()
{
    auto record = std::make_unique<EventThread>();
    EventThread* self = record.get();
    const TComEvents events = m_events;
    const TSyncMethod sync = m_syncMethod;
    record->thread = std::thread([this, self, events, sync] { EventLoop(self, events, sync); });
    m_eventThread = std::move(record);
}

bool TCustomComPort::InEventDispatch() const
{
    return m_dispatchDepth > 0
        || (m_eventThread && m_eventThread->thread.get_id() == std::this_thread::get_id());
}

void TCustomComPort::StopEventThread()
{
    if (!m_eventThread)
        return;
    EventThread* self = m_eventThread.get();
    self->stop = true;
    m_device->StopWait();
    if (InEventDispatch()) {
        // Closed from a handler that the thread is waiting for: it ends as soon
        // as the handler returns, without touching the device again.
        m_retired.push_back(std::move(m_eventThread));
        return;
    }
    // A dispatch the thread has already handed over is carried out here rather
    // than waiting for the event loop, which is not running during this call.
    m_handOff.ServeUntil([self] { return self->done.load(); });
    self->thread.join();
    m_eventThread.reset();
}

void TCustomComPort::JoinRetired(bool all)
{
    // Unless all are asked for, only threads that have ended are joined: one
    // that still waits for the dispatch this call may be part of would never
    // end otherwise.
    std::erase_if(m_retired, [all](const std::unique_ptr<EventThread>& record) {
        if (!all && !record->done)
            return false;
        if (record->thread.get_id() == std::this_thread::get_id())
            record->thread.detach();
        else if (record->thread.joinable())
            record->thread.join();
        return true;
    });
}

void TCustomComPort::EventLoop(EventThread* self, TComEvents events, TSyncMethod sync)
{
    m_device->SetEventMask(PlatformMask(events));
    for (;;) {
        if (self->stop)
            break;
        quint32 mask = 0;
        int error = 0;
        const SerialWaitResult waited = m_device->WaitEvent(mask, error);
        if (waited == SerialWaitResult::Gone && !self->stop)
            DeviceLost();
        if (waited != SerialWaitResult::Event)
            break;
        const TComEvents happened = FromPlatformMask(mask);
        if (happened.Empty())
            continue;
        bool handled = false;
        try {
            if (sync == smNone) {
                DoEvents(happened, false);
                handled = true;
            } else {
                handled = m_handOff.Run([this, happened] { DoEvents(happened, true); });
            }
        } catch (...) {
            // A failure while dispatching ends the thread; the port stays open
            // and reports nothing more until it is opened again.
            handled = false;
        }
        if (self->stop || !handled)
            break;
    }
    // Stopped by Close, the thread leaves the device alone: Close has purged it
    // already and, when it was called from inside a dispatch, may have closed it
    // or even opened it again. Ended by itself, it tidies up.
    if (!self->stop) {
        m_device->SetEventMask(0);
        m_device->ClearQueues();
    }
    self->done = true;
    m_handOff.Wake();
}

void TCustomComPort::DoEvents(TComEvents events, bool onPortThread)
{
    // Counted on the port's own thread only: Close asks it there.
    const int step = onPortThread ? 1 : 0;
    m_dispatchDepth += step;
    struct Leave {
        int& depth;
        int step;
        ~Leave() { depth -= step; }
    } leave { m_dispatchDepth, step };

    // evError comes first, then evRxChar; the remaining events have no
    // handlers in this program.
    if (events.Contains(evRxChar)) {
        const qint32 count = InputCount();
        if (count > 0 && OnRxChar)
            OnRxChar(this, count);
    }
}
