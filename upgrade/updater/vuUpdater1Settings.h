// The stored settings of the main window's upgrade component (vuUpdater1.settings, compiled in).
// Load them with LoadComponentSettings(updater, vuUpdater1Settings()).
#pragma once

#include <QByteArray>

namespace vu {

QByteArray vuUpdater1Settings();

} // namespace vu
