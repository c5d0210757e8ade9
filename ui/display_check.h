#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Whether the window can be shown at all, decided before the toolkit starts (which would abort
// without a display).
namespace velmora {

// Reads an environment variable; nullptr when unset.
using EnvironmentReader = std::function<const char*(const char*)>;

// No value when a display is available: QT_QPA_PLATFORM names a platform that needs none
// (offscreen, for instance) or one whose display is set, or, without QT_QPA_PLATFORM, DISPLAY or
// WAYLAND_DISPLAY is set. Otherwise the message that says so and how to run the program.
std::optional<QString> missingDisplayMessage(const EnvironmentReader& environment);

// The same for the process's own environment.
std::optional<QString> missingDisplayMessage();

// The platform to ask Qt for when the choice is not Qt's own to make well: "wayland" when only a
// Wayland display is there (Qt would try X11 first and abort), no value otherwise, in particular
// when QT_QPA_PLATFORM is set.
std::optional<QByteArray> sessionPlatform(const EnvironmentReader& environment);

} // namespace velmora
