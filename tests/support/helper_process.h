// Test support: temporary program folders and processes started with bounded waits.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vutest {

using namespace std::chrono_literals;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string& subPath = "");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The program folder, with a trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string root_;
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644);
std::optional<std::string> ReadFile(const std::string& path);
void CopyFile(const std::string& from, const std::string& to, mode_t mode);
bool Exists(const std::string& path);
mode_t ModeOf(const std::string& path);
std::vector<std::string> FolderEntries(const std::string& folder);

// Starts a program with an argument vector (argv[0] is the path) and extra environment.
pid_t Start(const std::string& path, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env = {});

// Waits at most timeout for the child to end; returns its wait status, or nullopt on timeout.
std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout);

void Kill(pid_t pid);

// Lines of the fake program's run.log in folder, waiting at most timeout for at least count.
std::vector<std::string> WaitForLogLines(const std::string& folder, std::size_t count,
                                         std::chrono::milliseconds timeout);

// True once some thread of the process runs at the given nice value, waiting at most timeout.
bool WaitForThreadNice(pid_t pid, int nice, std::chrono::milliseconds timeout);

// A named pipe that keeps a fake program running: the program blocks reading it until the
// test opens and closes its writing end.
class HoldPipe {
public:
    explicit HoldPipe(const std::string& path);
    ~HoldPipe();
    const std::string& path() const { return path_; }
    // Waits until the held program has opened the pipe (at most timeout).
    bool WaitUntilHeld(std::chrono::milliseconds timeout);
    // Lets the held program end.
    void Release();

private:
    std::string path_;
    int writer_ = -1;
};

} // namespace vutest
