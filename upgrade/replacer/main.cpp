// Daderevi3.exe, the replacement helper: finishes an upgrade after the program has closed.
#include "upgrade/replacer/vuReplacer.h"
#include "upgrade/replacer/vuReplacerCommandLine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

int main(int argc, char** argv) {
    vu::replacer::RunOptions options;
    int first = 1;
    // "--attached": the program waits for this helper's result instead of closing.
    if (argc > 1 && std::strcmp(argv[1], "--attached") == 0) {
        options.attached = true;
        ++first;
    }
    if (argc <= first) {
        std::fputs(vu::replacer::AboutText(), stdout);
        return 0;
    }
    // The time the new program has to confirm its start can be shortened for tests.
    if (const char* limit = std::getenv("VU_CONFIRM_TIMEOUT_MS")) {
        const long ms = std::strtol(limit, nullptr, 10);
        if (ms > 0)
            options.confirmTimeout = std::chrono::milliseconds(ms);
    }
    const std::vector<std::string> args(argv + first, argv + argc);
    const vu::replacer::Invocation invocation =
        vu::replacer::ParseCommandLine(args, [](const std::string& path) {
            struct stat st {};
            return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        });
    return vu::replacer::RunUpgrade(invocation, options);
}
