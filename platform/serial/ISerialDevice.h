// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Everything the serial port component asks of the operating system, in the
// component's own terms. Each operation returns 0 on success or the platform's
// error number, so the component can attach it to its own failure.

// Line settings in the form the component hands them over. The values follow the
// serial port conventions of the component: parity 0 none, 1 odd, 2 even,
// 3 mark, 4 space; stop bits 0 one, 1 one and a half, 2 two.
struct SerialLineSettings {
    qint32 Speed = 9600;
    bool Binary = true;
    bool ParityCheck = false;
    bool ErrorReplace = false;
    quint8 ErrorChar = 0;
    int DataBits = 8;
    int Parity = 0;
    int StopBits = 0;
    bool OutCtsFlow = false;
    bool OutDsrFlow = false;
    int DtrControl = 0; // 0 inactive, 1 active, 2 handshake
    int RtsControl = 0; // 0 inactive, 1 active, 2 handshake, 3 toggle
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    qint32 XonLimit = 256;
    qint32 XoffLimit = 256;
    quint8 XonChar = 17;
    quint8 XoffChar = 19;
    bool DiscardNull = false;
    quint8 EventChar = 0;

    bool operator==(const SerialLineSettings&) const = default;
};

// Milliseconds. A read interval of -1 with both read totals 0 means "return at
// once with what is there"; a write of n bytes may take
// WriteTotalMultiplier * n + WriteTotalConstant (no limit when both are 0).
struct SerialTimeouts {
    qint32 ReadInterval = -1;
    qint32 ReadTotalMultiplier = 0;
    qint32 ReadTotalConstant = 0;
    qint32 WriteTotalMultiplier = 100;
    qint32 WriteTotalConstant = 1000;

    bool operator==(const SerialTimeouts&) const = default;
};

// Line events as bits of an event mask.
namespace SerialEvent {
enum : quint32 {
    RxChar = 0x0001,
    RxFlag = 0x0002,
    TxEmpty = 0x0004,
    Cts = 0x0008,
    Dsr = 0x0010,
    Rlsd = 0x0020,
    Break = 0x0040,
    Error = 0x0080,
    Ring = 0x0100,
    Rx80Full = 0x0400,
};
}

// Errors that say the device is no longer there (an adapter pulled out, a
// pseudo-terminal whose other side has closed) rather than that something about
// the request was wrong.
inline bool SerialDeviceGone(int error)
{
    return error == 5 /* EIO */ || error == 6 /* ENXIO */ || error == 19 /* ENODEV */;
}

// Errors of opening that say another program holds the port: a holder found or
// the kernel's exclusive mode (EBUSY), or the advisory lock of another program
// (flock refuses with EWOULDBLOCK, which is EAGAIN on Linux).
inline bool SerialPortHeld(int error)
{
    return error == 16 /* EBUSY */ || error == 11 /* EWOULDBLOCK */;
}

// How a wait for line events ended.
enum class SerialWaitResult {
    Event,   // one or more line events, in the mask
    Stopped, // StopWait was called
    Gone,    // the device hung up (unplugged); no more events will come
    Failed,  // the wait itself failed; the error number says why
    TimedOut, // a timed wait ran out before anything happened
};

class ISerialDevice
{
public:
    ISerialDevice() = default;
    virtual ~ISerialDevice() = default;
    ISerialDevice(const ISerialDevice&) = delete;
    ISerialDevice& operator=(const ISerialDevice&) = delete;

    // Opens the named port for this process alone. A bare name is looked up
    // among the system's devices; a full path is used as it is.
    virtual int Open(const QString& name) = 0;
    // Releases the device. Safe on a closed device.
    virtual void Close() = 0;

    virtual int SetQueueSizes(qint32 inputSize, qint32 outputSize) = 0;
    virtual int SetLine(const SerialLineSettings& line) = 0;
    virtual int SetTimeouts(const SerialTimeouts& timeouts) = 0;
    // Chooses which line events WaitEvent reports; 0 reports none.
    virtual int SetEventMask(quint32 events) = 0;

    // Drops transfers under way and whatever the driver still holds.
    virtual int AbortTransfers() = 0;
    // Empties the driver's transmit and receive queues.
    virtual int ClearQueues() = 0;

    // Sends all bytes unless the write time-out cuts it short; `written` tells
    // how many went out. Returns only once they have left the driver's queue.
    virtual int Write(const char* data, qint32 size, qint32& written) = 0;
    // Takes up to `size` received bytes without waiting.
    virtual int Read(char* data, qint32 size, qint32& got) = 0;
    virtual int InputCount(qint32& count) = 0;

    // Blocks until a line event of the mask, a hang-up, or StopWait. Used by one
    // thread at a time; the device must stay open while it runs.
    virtual SerialWaitResult WaitEvent(quint32& events, int& error) = 0;
    // Ends the current WaitEvent and every later one until the device is
    // opened again. Callable from any thread.
    virtual void StopWait() = 0;
};
