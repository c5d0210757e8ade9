#pragma once

#include "ui/display_check.h"

// The desktop's session message bus, which the toolkit's accessibility bridge connects to when
// the window starts. Without a bus, the message-bus library would try to launch one for this
// process (dbus-launch --autolaunch); that costs start-up time and, with no bus, no screen reader
// could be listening anyway.
namespace velmora {

// True when a session bus can be found without launching one: DBUS_SESSION_BUS_ADDRESS is set,
// or the per-user bus socket $XDG_RUNTIME_DIR/bus exists.
bool sessionBusAvailable(const EnvironmentReader& environment);

// Run before the application object: when no session bus is available, sets the bus address to
// "disabled:", so that connecting fails at once instead of launching a bus. Processes this one
// starts inherit the setting. Leaves an existing bus alone.
void avoidSessionBusLaunch();

} // namespace velmora
