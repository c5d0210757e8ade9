// velmora-release: the publisher's tool for signed upgrades.
#include "upgrade/release/vuReleaseCommands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return vu::release::Run(args, std::cout, std::cerr);
}
