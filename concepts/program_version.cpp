#include "concepts/program_version.h"

// The build passes the release as three numbers (see concepts/CMakeLists.txt).
#if !defined(VELMORA_VERSION_YEAR) || !defined(VELMORA_VERSION_MONTH) ||                           \
    !defined(VELMORA_VERSION_DAY)
#error "the build must define the program's version"
#endif

namespace velmora {

QString programVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(VELMORA_VERSION_YEAR)
        .arg(VELMORA_VERSION_MONTH)
        .arg(VELMORA_VERSION_DAY);
}

QString captionDate() {
    return QStringLiteral("%1%2%3")
        .arg(VELMORA_VERSION_YEAR, 4, 10, QLatin1Char('0'))
        .arg(VELMORA_VERSION_MONTH, 2, 10, QLatin1Char('0'))
        .arg(VELMORA_VERSION_DAY, 2, 10, QLatin1Char('0'));
}

QString versionLine() {
    return QStringLiteral("Velmora ") + programVersion();
}

} // namespace velmora
