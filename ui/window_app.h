#pragma once

#include <functional>

class QWidget;

namespace velmora {

// Starts the application object and the main window and runs the event loop until the window
// is closed. Without a display it prints how to run the program and returns 1. `beforeShow`,
// when given, receives the main window just before it is shown (the start-up benchmark ends
// the run through it).
int runWindow(int argc, char** argv, const std::function<void(QWidget&)>& beforeShow = {});

} // namespace velmora
