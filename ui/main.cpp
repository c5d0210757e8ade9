#include "concepts/command_line.h"
#include "ui/window_app.h"

int main(int argc, char** argv) {
    // The command line answers without a display, so it is decided before any toolkit starts.
    if (velmora::wantsCommandLine(argc, argv))
        return velmora::runCommandLine(argc, argv);
    return velmora::runWindow(argc, argv);
}
