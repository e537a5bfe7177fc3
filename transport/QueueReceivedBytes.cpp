#include "QueueReceivedBytes.h"

#include "CPort.h"
#include "SerialQueueUnit.h"

void QueueReceivedBytes(TCustomComPort& port, TSerialQueue& queue, qint32 count, bool exchangeRunning)
{
    QByteArray received;
    port.ReadStr(received, count);
    if (count <= 0 || !exchangeRunning)
        return;
    for (char byte : std::as_const(received))
        queue.Push(QByteArray(1, byte));
}
