#include "ui/display_check.h"

#include <QStringList>

#include <cstdlib>

namespace velmora {

namespace {

bool isSet(const EnvironmentReader& environment, const char* name) {
    const char* value = environment(name);
    return value && *value;
}

bool platformUsable(const QString& platform, const EnvironmentReader& environment) {
    const QString name = platform.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name == QLatin1String("xcb"))
        return isSet(environment, "DISPLAY");
    if (name.startsWith(QLatin1String("wayland")))
        return isSet(environment, "WAYLAND_DISPLAY");
    return !name.isEmpty();
}

} // namespace

std::optional<QString> missingDisplayMessage(const EnvironmentReader& environment) {
    const char* requested = environment("QT_QPA_PLATFORM");
    if (requested && *requested) {
        const QStringList platforms =
            QString::fromLocal8Bit(requested).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& platform : platforms) {
            if (platformUsable(platform, environment))
                return std::nullopt;
        }
    } else if (isSet(environment, "DISPLAY") || isSet(environment, "WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    return QStringLiteral(
        "velmora: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
        "Start it from a graphical session, or under a virtual X server:\n"
        "    xvfb-run velmora        (in its source tree: xvfb-run ./run)\n"
        "The command line needs no display, for example: velmora --help\n");
}

std::optional<QByteArray> sessionPlatform(const EnvironmentReader& environment) {
    if (isSet(environment, "QT_QPA_PLATFORM") || isSet(environment, "DISPLAY") ||
        !isSet(environment, "WAYLAND_DISPLAY"))
        return std::nullopt;
    return QByteArray("wayland");
}

std::optional<QString> missingDisplayMessage() {
    return missingDisplayMessage([](const char* name) { return std::getenv(name); });
}

} // namespace velmora
