#pragma once

namespace velmora {

// Starts the application object and the main window and runs the event loop.
int runWindow(int argc, char** argv);

} // namespace velmora
