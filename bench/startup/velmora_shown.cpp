// The program's window start-up exactly as the program runs it, ended once the window has been
// painted: the measured side of the start-up benchmark.
#include "quit_when_shown.h"
#include "ui/window_app.h"

int main(int argc, char** argv) {
    return velmora::runWindow(argc, argv, [](QWidget& window) { new QuitWhenShown(window); });
}
