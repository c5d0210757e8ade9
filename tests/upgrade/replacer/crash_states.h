#pragma once

// What a power cut can leave of a folder tree, rebuilt from the log of the operations that
// changed it.
//
// The model is the usual one for POSIX file systems:
//  - a file's data and mode are durable once the file has been synced (fsync; fdatasync keeps
//    the mode out); until then the disk may still hold what was synced last, and a file created
//    since holds nothing (zero bytes);
//  - a created, renamed, linked or removed name is durable once its folder has been synced;
//    until then each such change may or may not be on the disk, whatever became of the others.
// For a crash point (the number of operations that had reached the disk when the power went)
// the states are:
//  - everything written survived (as a killed process leaves it, or a disk that had flushed all);
//  - only what was synced survived, together with each combination of the name changes made since
//    their folder was last synced (applied in their order), every file holding its synced data.
//    The combination without any of them is the worst case.
// Limits: unsynced data survives all or not at all (no torn or partly flushed writes, and only
// the first state keeps it); folders are neither created, removed nor renamed, and a name moves
// only within its folder; times, owners and extended attributes are left out; a crash point with
// more than kMaxUnsyncedNames unsynced name changes is refused rather than combined.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vutest {

struct DiskFile {
    std::string data;
    mode_t mode = 0644; // permission bits only
};

// A folder tree: names are paths relative to its root ("App/prog.exe"); two names of the same
// file (hard links) name the same number.
struct DiskState {
    std::set<std::string> folders; // below the root, parents first ("App", "App/docs")
    std::map<std::string, std::uint64_t> names;
    std::map<std::uint64_t, DiskFile> files;
};

enum class DiskChange {
    Create,
    Write,
    Truncate,
    Chmod,
    Rename,
    Link,
    Unlink,
    SyncFile,
    SyncFolder
};

struct DiskOperation {
    DiskChange change;
    std::string name;         // the name; for SyncFolder the folder ("" is the root)
    std::string to;           // Rename, Link: the new name
    std::uint64_t file = 0;   // the file concerned
    std::uint64_t offset = 0; // Write: where; Truncate: the new size
    std::string data;         // Write
    mode_t mode = 0;          // Create, Chmod
    bool dataOnly = false;    // SyncFile by fdatasync
};

inline constexpr std::size_t kMaxUnsyncedNames = 12;

struct CrashState {
    std::string label; // which survival this is, for failure messages
    DiskState disk;
};

// Reads a folder tree (regular files and folders only).
DiskState ReadDiskState(const std::string& root);
// Writes a state into an empty folder, hard links as hard links.
void WriteDiskState(const DiskState& state, const std::string& root);
// Equal for trees that hold the same names, data, modes and links, whatever their numbering.
std::string Fingerprint(const DiskState& state);

// The states a power cut could leave once the first `point` operations of the log had reached
// the disk of `initial` (see above).
std::vector<CrashState> CrashStatesAt(const DiskState& initial,
                                      const std::vector<DiskOperation>& log, std::size_t point);

// One line for failure messages, e.g. "rename App/a.dat.uTMP App/a.dat".
std::string Describe(const DiskOperation& operation);

} // namespace vutest
