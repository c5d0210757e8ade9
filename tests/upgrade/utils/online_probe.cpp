// Prints what the online test makes of this machine: "online" or "offline".
#include "upgrade/utils/vuOnline.h"

#include <cstdio>

int main() {
    std::puts(vu::HasNetworkAddress() ? "online" : "offline");
    return 0;
}
