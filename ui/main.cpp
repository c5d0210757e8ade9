#include "concepts/command_line.h"
#include "ui/window_app.h"

int main(int argc, char** argv) {
    if (velmora::wantsCommandLine(argc, argv))
        return velmora::runCommandLine(argc, argv);
    return velmora::runWindow(argc, argv);
}
