// The window module's entry point (see window_module.h): the one symbol it exports.
#include "ui/window_app.h"

extern "C" __attribute__((visibility("default"))) int velmora_run_window(int argc, char** argv) {
    return velmora::runWindow(argc, argv);
}
