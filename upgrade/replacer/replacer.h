// The replacement helper's main sequence, after the command line has been read.
#pragma once

#include "command_line.h"

namespace replacer {

// Waits for the program to end, installs the downloaded files and starts the new version (in
// external-setup mode: the setup program first, then the program).
void RunUpgrade(const Invocation& invocation);

// Name, version and purpose of the helper, shown when it is started without arguments.
const char* AboutText();

} // namespace replacer
