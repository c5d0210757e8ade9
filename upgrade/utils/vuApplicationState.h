// What the upgrade component knows of the application's life without any window code: whether it
// has been asked to close, and whether it still has a main window.
#pragma once

namespace vu {

// Records that the application has been asked to close (CloseApplication does so).
void SetApplicationCloseRequested();
// True once the close has been requested.
bool ApplicationCloseRequested();
// True once the close has been requested, the application is shutting down, or there is no
// application object.
bool ApplicationTerminating();

// Whether the application still has a main window. The window layer (vuApplicationClose, which
// links Qt Widgets) installs the look-up when it is part of the program; without it there is no
// main window.
bool ApplicationHasMainWindow();
using TvuMainWindowProbe = bool (*)();
void SetMainWindowProbe(TvuMainWindowProbe probe);

} // namespace vu
