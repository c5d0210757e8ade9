#include "concepts/command_line.h"
#if VELMORA_WITH_UPDATER
#include "ui/headless_upgrade.h"
#endif
#include "ui/window_app.h"

int main(int argc, char** argv) {
    // The command line answers without a display, so it is decided before any toolkit starts.
#if VELMORA_WITH_UPDATER
    if (velmora::wantsHeadlessUpgrade(argc, argv))
        return velmora::runHeadlessUpgrade(argc, argv);
#endif
    if (velmora::wantsCommandLine(argc, argv))
        return velmora::runCommandLine(argc, argv);
    return velmora::runWindow(argc, argv);
}
