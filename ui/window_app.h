#pragma once

namespace velmora {

// Starts the application object and the main window and runs the event loop until the window
// is closed. Without a display it prints how to run the program and returns 1.
int runWindow(int argc, char** argv);

} // namespace velmora
