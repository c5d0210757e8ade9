#include "tests/support/helper_process.h"

#include "tests/support/poll_wait.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vutest {

namespace {

// Poll interval of the bounded waits.
constexpr auto kPoll = 2ms;

} // namespace

using vutest::PollUntil;

TempFolder::TempFolder(const std::string& subPath) {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/vu-replacer-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    path_ = root_ + "/";
    if (!subPath.empty()) {
        path_ += subPath + "/";
        std::filesystem::create_directories(path_);
    }
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Make everything writable again first, in case a test made parts read-only.
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(root_, ec);
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out)
            throw std::runtime_error("cannot write " + path);
    }
    chmod(path.c_str(), mode);
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void CopyFile(const std::string& from, const std::string& to, mode_t mode) {
    const std::optional<std::string> content = ReadFile(from);
    if (!content)
        throw std::runtime_error("cannot read " + from);
    WriteFile(to, *content, mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

pid_t Start(const std::string& path, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env) {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!env.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [key, value] : env)
        envText.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : envText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::vector<std::string> argText{path};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argText)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + path);
    return pid;
}

std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    std::optional<int> exit;
    PollUntil(
        [&] {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid)
                exit = status;
            // Not a child (any more): nothing to wait for.
            return exit.has_value() || (done < 0 && errno != EINTR);
        },
        timeout, kPoll);
    return exit;
}

void Kill(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::vector<std::string> WaitForLogLines(const std::string& folder, std::size_t count,
                                         std::chrono::milliseconds timeout) {
    std::vector<std::string> lines;
    PollUntil(
        [&] {
            lines.clear();
            if (const auto text = ReadFile(folder + "run.log")) {
                std::istringstream in(*text);
                for (std::string line; std::getline(in, line);)
                    lines.push_back(line);
            }
            return lines.size() >= count;
        },
        timeout, kPoll);
    return lines;
}

bool WaitForThreadNice(pid_t pid, int nice, std::chrono::milliseconds timeout) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    return PollUntil(
        [&] {
            std::error_code ec;
            for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
                const auto stat = ReadFile(task.path().string() + "/stat");
                if (!stat)
                    continue;
                // Fields after the command name in parentheses; nice is field 19 of the line.
                std::istringstream in(stat->substr(stat->rfind(')') + 2));
                std::string field;
                for (int i = 3; i <= 19 && in >> field; ++i) {
                }
                if (field == std::to_string(nice))
                    return true;
            }
            return false;
        },
        timeout, kPoll);
}

HoldPipe::HoldPipe(const std::string& path) : path_(path) {
    if (mkfifo(path_.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed");
}

HoldPipe::~HoldPipe() {
    Release();
    unlink(path_.c_str());
}

bool HoldPipe::WaitUntilHeld(std::chrono::milliseconds timeout) {
    return PollUntil(
        [&] {
            // Opening the writing end without blocking succeeds only once a reader has it open.
            if (writer_ < 0)
                writer_ = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            return writer_ >= 0;
        },
        timeout, kPoll);
}

void HoldPipe::Release() {
    // A reader still blocked in opening the pipe is let through by a writer that opens and
    // closes at once; reading then sees the end at once.
    if (writer_ < 0)
        writer_ = open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (writer_ >= 0)
        close(writer_);
    writer_ = -1;
}

} // namespace vutest
