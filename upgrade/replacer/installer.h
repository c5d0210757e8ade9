// Moving downloaded ".uTMP" files over the files they replace.
#pragma once

#include <string>
#include <vector>

namespace replacer {

// Suffix under which the upgrade component stores a downloaded file beside its target.
inline constexpr const char* kPendingSuffix = ".uTMP";

// Names (not paths) of the pending files of a folder, in name order. Only regular files count.
std::vector<std::string> ListPendingFiles(const std::string& folder);

// A target name that stays inside the folder: not empty, not "." or "..", no "/".
bool IsSafeTargetName(const std::string& name);

// Renames folder + pendingName over folder + targetName in one atomic step, so the old file
// stays whenever the move fails. The installed file takes the permission bits of the file it
// replaces (or keeps its own when there is none); with executable set it is made executable.
bool InstallFile(const std::string& folder, const std::string& pendingName,
                 const std::string& targetName, bool executable);

struct InstallPlan {
    std::string programPath;      // what to start next: the program, or the setup program
    std::string savedProgramPath; // the program itself, when a setup program was installed
    bool setupInstalled = false;
};

// The whole installation loop over a program folder. In self-upgrade mode the first downloaded
// file whose name ends in "exe" becomes the program; in external-setup mode it is the setup
// program to run first. A download named like the program is always installed as the program.
InstallPlan InstallPendingFiles(const std::string& programPath, bool externalSetup);

} // namespace replacer
