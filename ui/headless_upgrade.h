#pragma once

// The upgrade without a window, for administrators, scripts and tests:
//
//   velmora --upgrade [--info-url URL] [--yes | --no] [--skip-missing]
//
// runs the main window's upgrade component (its stored settings, the same check, version rule
// and installation) with no display. --yes answers the upgrade question with Yes, --no with No;
// without either it is asked on the terminal when standard input is one, and answered No
// otherwise. A listed file the server does not deliver ends the upgrade with nothing installed,
// unless --skip-missing is given and the file may be left out (see
// TvuUpdater::LostFileSkippable). Progress goes to standard error, as a bar
// on a terminal and as plain lines otherwise. The program is not restarted: the replacement
// helper installs the files and has the new version confirm itself by starting it with
// --upgrade-confirm (which loads the component, confirms and exits), and the run ends with the
// helper's result as its exit status.

#include "upgrade/updater/vuUpdaterTypes.h"

namespace velmora {

enum UpgradeExitStatus : int {
    kUpgradeInstalled = 0,
    kUpgradeUsageError = 2,
    kUpgradeNoNewerVersion = 10,
    kUpgradeInfoFileMissing = 11, // missing or invalid
    kUpgradeTransferFailed = 12,  // host unreachable, connection lost, file not stored
    kUpgradeDeclined = 13,        // a question answered No
    kUpgradeVerificationFailed = 14,
    kUpgradeRestored = 15, // installing failed; the previous version is in place
    kUpgradeFolderNotWritable = 16,
    kUpgradeAlreadyRunning = 17,   // another copy is upgrading the same folder; nothing touched
    kUpgradeHelperNotStarted = 18, // the replacement helper could not be run; nothing installed
    kUpgradePackageManaged = 19,   // the program belongs to an installed package
    kUpgradeNothingToInstall = 21, // every listed file was skipped
};

// The exit status for how the check or download ended (uoDownloaded: installing decides).
int UpgradeExitStatusFor(vu::TvuUpgradeOutcome outcome);

// The switch with which the replacement helper starts the new version after installing it.
inline constexpr const char* kUpgradeConfirmOption = "--upgrade-confirm";

// Whether the arguments ask for the headless upgrade ("--upgrade" or "--upgrade-confirm" first).
bool wantsHeadlessUpgrade(int argc, char** argv);

// Runs it and returns the exit status.
int runHeadlessUpgrade(int argc, char** argv);

// One line of progress for standard error: on a terminal a bar redrawn in place, otherwise a
// plain line.
QByteArray UpgradeProgressLine(const QString& fileName, int percent, bool terminal);

} // namespace velmora
