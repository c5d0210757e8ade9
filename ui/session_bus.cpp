#include "ui/session_bus.h"

#include <QByteArray>

#include <cstdlib>
#include <sys/stat.h>

namespace velmora {

bool sessionBusAvailable(const EnvironmentReader& environment) {
    const char* address = environment("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    const char* runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    const QByteArray socketPath = QByteArray(runtime) + "/bus";
    struct stat status {};
    return ::stat(socketPath.constData(), &status) == 0 && S_ISSOCK(status.st_mode);
}

void avoidSessionBusLaunch() {
    if (!sessionBusAvailable([](const char* name) { return std::getenv(name); }))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

} // namespace velmora
