// Command lines as the replacement helper reads its own (the arguments are the input's pieces
// between NUL bytes) and as the component splits a registered open command. The helper's program
// path and restart parameters are pieces of the joined text, the method digit is the last
// argument's last character, and splitting the parameters drops only blanks; an open command
// never grows by being split.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/replacer/vuReplacerCommandLine.h"
#include "upgrade/utils/vuCommandSplit.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace vu::replacer;

namespace {

std::string WithoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t nul = input.find('\0', start);
        args.push_back(input.substr(start, nul - start));
        if (nul == std::string::npos)
            break;
        start = nul + 1;
    }
    // A path names a file when its name is "prog": the fuzzer can make any candidate a file.
    const FileProbe isFile = [](const std::string& path) { return NameOf(path) == "prog"; };
    const Invocation invocation = ParseCommandLine(args, isFile);
    FUZZ_CHECK(invocation.commandText == JoinArguments(args));
    FUZZ_CHECK(invocation.commandText.rfind(invocation.programPath, 0) == 0);
    FUZZ_CHECK(invocation.commandText.find(invocation.restartParams) != std::string::npos);
    FUZZ_CHECK(invocation.externalSetup == (!args.back().empty() && args.back().back() == '1'));
    FUZZ_CHECK(FolderOf(invocation.programPath) + NameOf(invocation.programPath) ==
               invocation.programPath);
    std::string joined;
    for (const std::string& piece : SplitParameters(invocation.restartParams)) {
        FUZZ_CHECK(!piece.empty() && piece.find(' ') == std::string::npos);
        joined += piece;
    }
    FUZZ_CHECK(joined == WithoutBlanks(invocation.restartParams));

    const QByteArray text = QByteArray::fromStdString(input);
    QByteArray command = text, parameters;
    vu::SplitCommandLine(command, parameters);
    FUZZ_CHECK(command.size() + parameters.size() <= text.size());
    QByteArray left, right;
    const QByteArray separator = text.left(size % 3);
    vu::SplitAt(separator, text, left, static_cast<int>(size % 4), size % 2 == 1, right);
    FUZZ_CHECK(left.size() + right.size() <= text.size() + separator.size());
    return 0;
}
