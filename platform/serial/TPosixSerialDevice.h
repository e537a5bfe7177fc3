// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ISerialDevice.h"
#include "TermiosLine.h"

#include <shared_mutex>

// A Linux terminal device (a serial adapter, a built-in UART or a
// pseudo-terminal) behind the component's device interface.
//
// The port is held for this process alone: an advisory lock keeps out every
// program that also locks (another RadioSet included, whoever runs it), and the
// kernel's exclusive mode keeps out the rest, root excepted. A port that another
// process already has open, or that a live UUCP lock file claims, is refused
// with EBUSY; one that another program has locked, with EWOULDBLOCK (both are
// SerialPortHeld).
class TPosixSerialDevice final : public ISerialDevice
{
public:
    TPosixSerialDevice() = default;
    ~TPosixSerialDevice() override;

    int Open(const QString& name) override;
    void Close() override;

    int SetQueueSizes(qint32 inputSize, qint32 outputSize) override;
    int SetLine(const SerialLineSettings& line) override;
    int SetTimeouts(const SerialTimeouts& timeouts) override;
    int SetEventMask(quint32 events) override;

    int AbortTransfers() override;
    int ClearQueues() override;

    int Write(const char* data, qint32 size, qint32& written) override;
    int Read(char* data, qint32 size, qint32& got) override;
    int InputCount(qint32& count) override;

    SerialWaitResult WaitEvent(quint32& events, int& error) override;
    void StopWait() override;

    // WaitEvent with a limit: TimedOut once `timeoutMs` pass without an event
    // (a negative limit waits for good). For programs that wait on the line
    // themselves instead of through the component's event thread.
    SerialWaitResult WaitEventFor(quint32& events, int& error, int timeoutMs);

    // The line as the driver holds it now.
    int ReadLine(TermiosLine::Readback& readback) const;

    // "/dev/ttyUSB0" stays as it is; "ttyUSB0" becomes "/dev/ttyUSB0".
    static QString DevicePath(const QString& name);

private:
    int Flush(int queue);
    int DropPending();
    void ReleaseDescriptors();

    // Reads and writes share the descriptor; only opening and closing change it.
    mutable std::shared_mutex m_lock;
    int m_fd = -1;
    int m_stopFd = -1;
    int m_pollFd = -1;
    quint32 m_eventMask = 0;
    SerialTimeouts m_timeouts;
};
