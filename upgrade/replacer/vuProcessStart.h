// Starting programs detached from the helper, with an argument vector and no shell.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vu {

namespace replacer {

// Starts path with the given arguments (argv[0] is the path itself) in a session of its own, so
// that it outlives the helper. Returns the process id, or -1 when the start failed.
pid_t StartProgram(const std::string& path, const std::vector<std::string>& args);

// Waits for a program started by StartProgram to end.
void WaitForProgram(pid_t pid);

} // namespace replacer

} // namespace vu
