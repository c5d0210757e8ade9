#pragma once

// The window's code and the toolkit it draws with live in a module of their own, loaded only when
// the window opens: the command line and the headless upgrade run without mapping any graphical
// library.
//
// The module is looked for beside the program first (where an upgrade of a copy installed by hand
// puts it), then in the program's library folder. A module is taken only when it is of the
// program's own version: an upgrade that replaced the program but not its window must not open
// the old window under the new version's name.

namespace velmora {

// Loads the window module and runs the window (see runWindow). When no module of this version
// can be loaded, says why on standard error and returns 1.
int runWindowModule(int argc, char** argv);

// Whether the window module of this version loads, without running it; when it does not, says
// why on standard error. A new version confirms its start after an upgrade only when it does.
bool windowModuleLoads();

// The window module's entry point and its version, as the module exports them.
inline constexpr const char* kWindowEntryName = "velmora_run_window";
inline constexpr const char* kWindowVersionName = "velmora_window_version";

} // namespace velmora
