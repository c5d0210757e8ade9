// The window module's entry points (see window_module.h): the only symbols it exports.
#include "ui/window_app.h"

extern "C" __attribute__((visibility("default"))) int velmora_run_window(int argc, char** argv) {
    return velmora::runWindow(argc, argv);
}

extern "C" __attribute__((visibility("default"))) const char* velmora_window_version() {
    return VELMORA_PROJECT_VERSION;
}
