#include "upgrade/http/vuTransferStatistics.h"

#include "upgrade/utils/vuUtils.h"

#include <cmath>

namespace vu {

TvuTransferStatistics ComputeTransferStatistics(quint32 contentLength, quint32 bytesRead,
                                                quint32 elapsedMs) {
    TvuTransferStatistics s;
    s.PercentsDone = PercentOf(contentLength, bytesRead);
    const quint32 elapsed = elapsedMs / 1000;
    s.ElapsedTime = static_cast<qint32>(elapsed);
    if (bytesRead != 0) {
        // nearbyint rounds to the nearest whole number, ties to even.
        const double total = std::nearbyint(static_cast<double>(contentLength) / bytesRead *
                                            static_cast<double>(elapsed));
        s.EstimatedTimeLeft = static_cast<qint32>(total - static_cast<double>(elapsed));
    }
    s.TransferRate = static_cast<float>(bytesRead / 1024.0);
    if (elapsed != 0)
        s.TransferRate = static_cast<float>(bytesRead / 1024.0 / elapsed);
    return s;
}

} // namespace vu
