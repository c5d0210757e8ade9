#pragma once

// The window's code and the toolkit it draws with live in a module of their own, loaded only when
// the window opens: the command line and the headless upgrade run without mapping any graphical
// library.

namespace velmora {

// Loads the window module and runs the window (see runWindow). When the module cannot be loaded,
// says why on standard error and returns 1.
int runWindowModule(int argc, char** argv);

// The window module's entry point, as the module exports it.
inline constexpr const char* kWindowEntryName = "velmora_run_window";

} // namespace velmora
