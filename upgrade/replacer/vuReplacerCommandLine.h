// Reading the replacement helper's command line.
//
// The upgrade component starts the helper with the program path, a blank, "+", the restart
// parameters and the method digit, split at blanks into separate arguments. The helper joins the
// arguments again (each followed by one blank), which restores a path that contains blanks, and
// then cuts the text at the separator.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vu {

namespace replacer {

struct Invocation {
    std::string commandText;    // all arguments, each followed by one blank
    std::string programPath;    // the program to replace and restart
    std::string restartParams;  // passed to the started program ("/afterupgrade")
    bool externalSetup = false; // method digit "1": a downloaded setup program runs first
};

// Tells whether a path names an existing file; used to pick the right separator when the
// program path itself contains " +".
using FileProbe = std::function<bool(const std::string&)>;

std::string JoinArguments(const std::vector<std::string>& args);

Invocation ParseCommandLine(const std::vector<std::string>& args, const FileProbe& isFile);

// The folder part of a path including its last "/" (empty when there is none).
std::string FolderOf(const std::string& path);

// The text after the last "/" of a path.
std::string NameOf(const std::string& path);

// Splits restart parameters at blanks into separate arguments, dropping empty pieces.
std::vector<std::string> SplitParameters(const std::string& text);

} // namespace replacer

} // namespace vu
