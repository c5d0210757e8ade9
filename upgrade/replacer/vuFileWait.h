// Waiting until a program's executable is no longer running.
#pragma once

#include <string>

namespace vu {

namespace replacer {

// True while some process runs the file at path as its executable.
bool IsRunningExecutable(const std::string& path);

// Polls about every millisecond, on a thread of the lowest priority, until no process runs the
// file any more. There is no time limit. The calling thread keeps its own priority, so programs
// it starts afterwards run at normal priority.
void WaitUntilFileFree(const std::string& path);

} // namespace replacer

} // namespace vu
