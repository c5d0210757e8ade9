#include "concepts/command_line.h"

namespace velmora {

bool wantsCommandLine(int, char**) {
    return false;
}

int runCommandLine(int, char**) {
    return 2;
}

} // namespace velmora
