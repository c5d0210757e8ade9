#include "concepts/command_line.h"
#if VELMORA_WITH_UPDATER
#include "ui/headless_upgrade.h"
#endif
#include "ui/window_module.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // The command line answers without a display, so it is decided before any toolkit starts.
#if VELMORA_WITH_UPDATER
    if (velmora::wantsHeadlessUpgrade(argc, argv)) {
        // The new version confirms its start after an upgrade, and the previous version is
        // restored when it does not: it confirms only when its window would open too, so that
        // an upgrade without the window of its own version is undone, not reported installed.
        if (std::strcmp(argv[1], velmora::kUpgradeConfirmOption) == 0 &&
            !velmora::windowModuleLoads())
            return 1;
        return velmora::runHeadlessUpgrade(argc, argv);
    }
#else
    // Built without the upgrade component (a distribution's package): say so rather than open
    // the window on an option the user meant for the command line.
    if (argc > 1 && std::strcmp(argv[1], "--upgrade") == 0) {
        std::fputs("velmora: this build has no upgrade component; "
                   "update it through the system's package manager\n",
                   stderr);
        return 2;
    }
#endif
    if (velmora::wantsCommandLine(argc, argv))
        return velmora::runCommandLine(argc, argv, VELMORA_WITH_UPDATER);
    return velmora::runWindowModule(argc, argv);
}
