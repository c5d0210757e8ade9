// One upgrade at a time per program folder: an exclusive lock on the file ".upgrade.uLCK" in the
// folder. It is the folder's, not the program's: the downloads (*.uTMP) and their clean-up are
// the folder's too, whichever program of it runs the upgrade.
//
// The program takes it before its first download and keeps it until the replacement helper has
// finished: a helper started by a program that closes inherits the open descriptor (and with it
// the lock), one started by a program that waits for it works under the program's lock. While it
// is held, no other copy of the program touches the files of that upgrade (downloads, manifest,
// journal). The file is removed by whoever releases the lock, while still holding it; whoever
// takes the lock checks that the file it locked is still the one at the path.
#pragma once

#include <string>

namespace vu {

namespace replacer {

inline constexpr const char* kLockName = ".upgrade.uLCK";

// The lock file of the folder that holds programPath.
std::string LockPath(const std::string& programPath);

class UpgradeLock {
public:
    UpgradeLock() = default;
    ~UpgradeLock() { Release(); }
    UpgradeLock(const UpgradeLock&) = delete;
    UpgradeLock& operator=(const UpgradeLock&) = delete;

    enum class Result {
        Taken,         // held by this object now
        HeldElsewhere, // another process (or another descriptor) holds it
        Unavailable,   // the lock file cannot be created or opened
    };
    // Takes the lock of programPath's upgrade without waiting; an object that holds it already
    // keeps it.
    Result TryTake(const std::string& programPath);
    // In the helper: keeps the lock that the program handed over as an inherited descriptor of
    // the lock file, closed on exec from now on so that programs the helper starts do not hold
    // it. False when no such descriptor is open.
    bool AdoptInherited(const std::string& programPath);
    // Removes the lock file and gives the lock up.
    void Release();
    // Gives the lock up without removing the file (the process that inherited it goes on).
    void Forget();

    bool Held() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
    std::string path_;
};

// Whether another process holds the lock of programPath's upgrade right now.
bool UpgradeRunningElsewhere(const std::string& programPath);

} // namespace replacer

} // namespace vu
