// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ISerialDevice.h"
#include "UiHandOff.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };

// A set of line events.
class TComEvents
{
public:
    constexpr TComEvents() = default;
    constexpr TComEvents(std::initializer_list<TComEvent> events)
    {
        for (TComEvent e : events)
            m_bits |= Bit(e);
    }
    static constexpr TComEvents All()
    {
        return { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
    }
    constexpr bool Contains(TComEvent e) const { return (m_bits & Bit(e)) != 0; }
    constexpr void Include(TComEvent e) { m_bits |= Bit(e); }
    constexpr void Exclude(TComEvent e) { m_bits &= ~Bit(e); }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr bool operator==(const TComEvents&) const = default;

private:
    static constexpr quint32 Bit(TComEvent e) { return quint32(1) << int(e); }
    quint32 m_bits = 0;
};

struct TComParity {
    TParityBits Bits = prNone;
    bool Check = false;
    bool Replace = false;
    quint8 ReplaceChar = 0;
    bool operator==(const TComParity&) const = default;
};

struct TComFlowControl {
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DSRSensitivity = false;
    bool TxContinueOnXoff = false;
    quint8 XonChar = 17;
    quint8 XoffChar = 19;
    bool operator==(const TComFlowControl&) const = default;
};

struct TComTimeouts {
    qint32 ReadInterval = -1;
    qint32 ReadTotalMultiplier = 0;
    qint32 ReadTotalConstant = 0;
    qint32 WriteTotalMultiplier = 100;
    qint32 WriteTotalConstant = 1000;
    bool operator==(const TComTimeouts&) const = default;
};

struct TComBuffer {
    qint32 InputSize = 1024;
    qint32 OutputSize = 1024;
    bool operator==(const TComBuffer&) const = default;
};

// The port's failure: a code from the table of texts and, when the system gave
// one, its error number.
class EComPort : public std::exception
{
public:
    // The codes the port raises, named after what failed.
    enum TCode : int {
        OpenFailed = 1,        // Open: the device cannot be opened
        WriteFailed = 2,       // WriteStr
        ReadFailed = 3,        // ReadStr
        PurgeFailed = 5,       // Close
        LineRefused = 7,       // Open, or a line setting changed while open
        TimeoutsRefused = 8,   // Open
        QueuesRefused = 9,     // Open: the driver queue sizes
        CountFailed = 10,      // InputCount
    };

    EComPort(int code, int platformError = -1);
    int Code() const { return m_code; }
    int PlatformError() const { return m_platformError; }
    QString Message() const;
    const char* what() const noexcept override;

    // The fixed text of a code, empty for a code the port never raises.
    static QString CodeText(int code);

private:
    int m_code;
    int m_platformError;
    QByteArray m_what;
};

qint32 BaudRateToInt(TBaudRate rate);

class TCustomComPort : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCustomComPort)

public:
    explicit TCustomComPort(QObject* parent = nullptr);
    TCustomComPort(std::unique_ptr<ISerialDevice> device, QObject* parent = nullptr);
    ~TCustomComPort() override;

    QString Port() const { return m_port; }
    void SetPort(const QString& port);
    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate rate);
    qint32 CustomBaudRate() const { return m_customBaudRate; }
    void SetCustomBaudRate(qint32 rate);
    TDataBits DataBits() const { return m_dataBits; }
    void SetDataBits(TDataBits bits);
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits bits);
    const TComParity& Parity() const { return m_parity; }
    void SetParityBits(TParityBits bits);
    void SetParity(const TComParity& parity);
    const TComFlowControl& FlowControl() const { return m_flowControl; }
    void SetFlowControl(const TComFlowControl& flow);
    const TComTimeouts& Timeouts() const { return m_timeouts; }
    void SetTimeouts(const TComTimeouts& timeouts);
    const TComBuffer& Buffer() const { return m_buffer; }
    void SetBuffer(const TComBuffer& buffer);
    TComEvents Events() const { return m_events; }
    void SetEvents(TComEvents events);           // takes effect at the next Open
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void SetSyncMethod(TSyncMethod method);      // takes effect at the next Open
    bool DiscardNull() const { return m_discardNull; }
    void SetDiscardNull(bool discard);
    quint8 EventChar() const { return m_eventChar; }
    void SetEventChar(quint8 value);

    bool Connected() const { return m_connected; }

    void Open();                  // throws EComPort
    void Close();                 // throws EComPort PurgeFailed only if the purge fails
    qint32 WriteStr(const QByteArray& text);              // throws EComPort WriteFailed; from any thread
    qint32 ReadStr(QByteArray& text, qint32 count);       // throws EComPort ReadFailed
    qint32 InputCount();                                  // throws EComPort CountFailed

    // What the line settings hand to the platform, built from the settings.
    SerialLineSettings LineSettings() const;
    // True from Open until the event thread has ended, which it also does by
    // itself when the device goes away or a dispatch fails.
    bool EventThreadRunning() const;

    // Raised on the port object's thread while the event thread waits.
    std::function<void(TCustomComPort* sender, qint32 count)> OnRxChar;
    // Raised on the port object's thread, once per opening, when the device has
    // gone away while open: a hang-up, or a read or write that failed because
    // the device is no longer there. The port is still open then; the handler
    // is expected to close it. Not raised once the port has been closed.
    std::function<void(TCustomComPort* sender)> OnLost;
    // True once the device has been found gone in this opening.
    bool Lost() const { return m_lost; }

private:
    struct EventThread;

    void ApplyLine();
    void StartEventThread();
    void StopEventThread();
    void JoinRetired(bool all);
    bool InEventDispatch() const;
    void EventLoop(EventThread* self, TComEvents events, TSyncMethod sync);
    void DoEvents(TComEvents events, bool onPortThread);
    // From any thread: notes that the device is gone and raises OnLost later on
    // the port object's thread.
    void DeviceLost();
    int Checked(int error);

    std::unique_ptr<ISerialDevice> m_device;
    TUiHandOff m_handOff;

    QString m_port = QStringLiteral("COM1");
    TBaudRate m_baudRate = br9600;
    qint32 m_customBaudRate = 9600;
    TDataBits m_dataBits = dbEight;
    TStopBits m_stopBits = sbOneStopBit;
    TComParity m_parity;
    TComFlowControl m_flowControl;
    TComTimeouts m_timeouts;
    TComBuffer m_buffer;
    TComEvents m_events = TComEvents::All();
    TSyncMethod m_syncMethod = smThreadSync;
    bool m_discardNull = false;
    quint8 m_eventChar = 0;

    std::atomic<bool> m_connected = false;
    std::atomic<bool> m_lost = false;
    // Counts openings, so that a loss noted in one is never reported in a later one.
    std::atomic<quint64> m_openings = 0;
    bool m_closing = false;
    int m_dispatchDepth = 0;
    std::unique_ptr<EventThread> m_eventThread;
    // Threads of a port that was closed from inside one of their own
    // dispatches; they end as soon as that dispatch returns.
    std::vector<std::unique_ptr<EventThread>> m_retired;
};

class TComPort final : public TCustomComPort
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TComPort)

public:
    explicit TComPort(QObject* parent = nullptr) : TCustomComPort(parent) {}
    TComPort(std::unique_ptr<ISerialDevice> device, QObject* parent = nullptr)
        : TCustomComPort(std::move(device), parent)
    {
    }
};

TBaudRate StrToBaudRate(const QString& text);
TStopBits StrToStopBits(const QString& text);
TParityBits StrToParity(const QString& text);
