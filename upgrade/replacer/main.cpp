// Daderevi3.exe, the replacement helper: finishes an upgrade after the program has closed.
#include "command_line.h"
#include "replacer.h"

#include <cstdio>
#include <sys/stat.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(replacer::AboutText(), stdout);
        return 0;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    const replacer::Invocation invocation =
        replacer::ParseCommandLine(args, [](const std::string& path) {
            struct stat st {};
            return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        });
    replacer::RunUpgrade(invocation);
    return 0;
}
