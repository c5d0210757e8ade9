#pragma once

// The program's command-line mode: `velmora --report ...` and `velmora --help` answer on
// standard output without opening a window.
namespace velmora {

// True when the arguments ask for command-line mode rather than the window.
bool wantsCommandLine(int argc, char** argv);

// Runs command-line mode and returns the process exit status.
int runCommandLine(int argc, char** argv);

} // namespace velmora
