#include "upgrade/utils/vuVersions.h"

#include "upgrade/utils/vuByteText.h"

namespace vu {

std::array<QByteArray, 4> SplitVersion(const QByteArray& version) {
    std::array<QByteArray, 4> parts;
    QByteArray rest = version + '.';
    for (auto& part : parts) {
        const int dot = rest.indexOf('.');
        if (dot < 0) {
            part = "0";
        } else {
            part = rest.left(dot);
            rest = rest.mid(dot + 1);
        }
    }
    return parts;
}

int CompareVersions(const QByteArray& first, const QByteArray& second) {
    const auto a = SplitVersion(first);
    const auto b = SplitVersion(second);
    for (int i = 0; i < 4; ++i) {
        int x = 0, y = 0;
        if (!StrToInt(a[i], x) || !StrToInt(b[i], y)) {
            const int c = first.compare(second);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

} // namespace vu
