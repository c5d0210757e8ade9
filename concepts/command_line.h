#pragma once

// The program's command-line mode, which answers without a display:
//
//   velmora --report CHARACTER CODE   one report, its six or seven lines
//   velmora --report -                one report per "CHARACTER CODE" line of standard input,
//                                     each preceded by an empty line, as the result memo
//                                     accumulates them
//   velmora --cangjie CHARACTER       every Cangjie code of the character, in table order
//   velmora --characters CODE         every character under a Cangjie code, in table order
//   velmora --concepts                the 256 concept rows, each after its eight-digit code
//   --big5                            (anywhere) write Big5 with CR LF line ends instead of UTF-8
//                                     with LF
//   velmora --help                    describes all of this
//   velmora --version                 the program's name and version
//
// Input is UTF-8. A code that is not eight binary digits, a character with no Big5 form or
// more than one character, or a malformed line ends with a message on standard error and exit
// status 2 (in batch mode after the reports before it were written).
#include <string>

namespace velmora {

// True when the arguments ask for command-line mode rather than the window: any of "--report",
// "--cangjie", "--characters", "--concepts", "--big5", "--help", "-h", "--version" or "-v" among
// them. Other arguments (Qt's own options, the restart marker after an upgrade) leave the window
// to start.
bool wantsCommandLine(int argc, char** argv);

// The text of --help. The headless upgrade (--upgrade) is listed only withUpgrade, in builds
// that have the upgrade component.
std::string helpText(bool withUpgrade);

// Runs command-line mode and returns the process exit status; withUpgrade as for helpText.
int runCommandLine(int argc, char** argv, bool withUpgrade);

} // namespace velmora
