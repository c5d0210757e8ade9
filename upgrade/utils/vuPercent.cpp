#include "upgrade/utils/vuPercent.h"

#include <cmath>

namespace vu {

quint8 PercentOf(double total, double done) {
    if (total == 0)
        return 0;
    const double value = std::nearbyint(done * 100.0 / total); // default mode: ties to even
    if (!std::isfinite(value) || value < 0 || value > 255)
        return 0;
    return static_cast<quint8>(value);
}

} // namespace vu
