#pragma once

#include <QtGlobal>

class TCustomComPort;
class TSerialQueue;

// The received-bytes step of the receive path: always takes the waiting bytes
// out of the port, and queues them one byte a piece only while an exchange is
// running. Throws what ReadStr throws.
void QueueReceivedBytes(TCustomComPort& port, TSerialQueue& queue, qint32 count, bool exchangeRunning);
