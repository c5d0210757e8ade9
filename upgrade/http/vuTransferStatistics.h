// Progress statistics of a transfer, computed after every chunk of the body.
#pragma once

#include <QtGlobal>

namespace vu {

struct TvuTransferStatistics {
    quint8 PercentsDone = 0;      // of the announced length; 0 when none was announced
    qint32 ElapsedTime = 0;       // whole seconds since the transfer started
    qint32 EstimatedTimeLeft = 0; // seconds, from the rate so far
    float TransferRate = 0;       // kilobytes (1024 bytes) per second; per the whole time so far
};

// contentLength 0 means not announced; elapsedMs counts from the start of the transfer.
TvuTransferStatistics ComputeTransferStatistics(quint32 contentLength, quint32 bytesRead,
                                                quint32 elapsedMs);

} // namespace vu
