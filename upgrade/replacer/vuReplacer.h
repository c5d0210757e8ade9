// The replacement helper's main sequence, after the command line has been read.
#pragma once

#include "upgrade/replacer/vuReplacerCommandLine.h"

#include <chrono>

namespace vu {

namespace replacer {

// Exit statuses of the helper.
inline constexpr int kHelperInstalled = 0;            // installed, and the new program confirmed
inline constexpr int kHelperNothingToInstall = 1;     // no download of this upgrade was found
inline constexpr int kHelperVerificationFailed = 14;  // a download changed since it was verified:
                                                      // nothing installed, downloads removed
inline constexpr int kHelperRestored = 15;            // installed, then every change undone
inline constexpr int kHelperNotWritable = 16;         // the journal could not be written: nothing
                                                      // changed, downloads removed
inline constexpr int kHelperOtherUpgradeRunning = 17; // another copy's upgrade holds the lock:
                                                      // nothing touched

struct RunOptions {
    // Started by a program that waits for the result instead of closing: no wait for the
    // program's executable to be free, and no start of the old program after a failure.
    bool attached = false;
    // How long the new program has to confirm its start.
    std::chrono::milliseconds confirmTimeout{60000};
};

// Finishes an upgrade: takes over the upgrade's lock, recovers an abandoned journal, waits for the
// program to end (unless attached), checks every download against the manifest's record and
// installs them as one transaction, starts the new
// program with the restart parameters (in external-setup mode: the setup program first) and
// keeps the new files only once it confirms. Returns one of the exit statuses above.
int RunUpgrade(const Invocation& invocation, const RunOptions& options = {});

// Name, version and purpose of the helper, shown when it is started without arguments.
const char* AboutText();

} // namespace replacer

} // namespace vu
