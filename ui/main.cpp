#include "concepts/command_line.h"
#include "ui/headless_upgrade.h"
#include "ui/window_app.h"

int main(int argc, char** argv) {
    // The command line answers without a display, so it is decided before any toolkit starts.
    if (velmora::wantsHeadlessUpgrade(argc, argv))
        return velmora::runHeadlessUpgrade(argc, argv);
    if (velmora::wantsCommandLine(argc, argv))
        return velmora::runCommandLine(argc, argv);
    return velmora::runWindow(argc, argv);
}
