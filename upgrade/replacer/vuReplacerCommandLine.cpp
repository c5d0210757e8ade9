#include "upgrade/replacer/vuReplacerCommandLine.h"

namespace vu {

namespace replacer {

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
        text += arg;
        text += ' ';
    }
    return text;
}

namespace {

// Position of the "+" that separates the program path from the restart parameters.
//
// The caller always writes " +" after the path. A "+" inside the path (a folder such as "c++")
// must not cut it, so only a "+" after a blank is a separator, and among several such places the
// first one whose preceding text names an existing file wins. Without any " +" the first "+"
// is taken.
std::string::size_type FindSeparator(const std::string& text, const FileProbe& isFile) {
    std::vector<std::string::size_type> candidates;
    for (std::string::size_type pos = text.find(" +"); pos != std::string::npos;
         pos = text.find(" +", pos + 1))
        candidates.push_back(pos + 1);
    if (candidates.empty())
        return text.find('+');
    if (isFile) {
        for (std::string::size_type plus : candidates) {
            if (isFile(text.substr(0, plus - 1)))
                return plus;
        }
    }
    return candidates.front();
}

} // namespace

Invocation ParseCommandLine(const std::vector<std::string>& args, const FileProbe& isFile) {
    Invocation inv;
    inv.commandText = JoinArguments(args);
    if (!args.empty() && !args.back().empty())
        inv.externalSetup = args.back().back() == '1';

    const std::string& text = inv.commandText;
    const std::string::size_type plus = FindSeparator(text, isFile);
    if (plus == std::string::npos) {
        // No restart parameters: the whole text is the path, less the joining blank.
        inv.programPath = text.substr(0, text.size() - 1);
        return inv;
    }
    inv.programPath = text.substr(0, plus);
    if (!inv.programPath.empty() && inv.programPath.back() == ' ')
        inv.programPath.pop_back();
    // The parameters lose the method digit and the blank that joined the last argument.
    const std::string rest = text.substr(plus + 1);
    if (rest.size() > 2)
        inv.restartParams = rest.substr(0, rest.size() - 2);
    return inv;
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> SplitParameters(const std::string& text) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == ' ') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

} // namespace replacer

} // namespace vu
