#include "installer.h"

#include "command_line.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace replacer {

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string DirectoryToOpen(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

// Adds an execute bit wherever a read bit is set, and always for the owner.
mode_t WithExecuteBits(mode_t mode) {
    mode |= S_IXUSR;
    if (mode & S_IRGRP)
        mode |= S_IXGRP;
    if (mode & S_IROTH)
        mode |= S_IXOTH;
    return mode;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(DirectoryToOpen(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

std::vector<std::string> ListPendingFiles(const std::string& folder) {
    std::vector<std::string> names;
    const std::string dirPath = DirectoryToOpen(folder);
    DIR* dir = opendir(dirPath.c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!EndsWith(name, kPendingSuffix))
            continue;
        struct stat st {};
        if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsSafeTargetName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool InstallFile(const std::string& folder, const std::string& pendingName,
                 const std::string& targetName, bool executable) {
    const std::string pendingPath = folder + pendingName;
    const std::string targetPath = folder + targetName;

    const int fd = open(pendingPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat own {};
    if (fstat(fd, &own) != 0 || !S_ISREG(own.st_mode)) {
        close(fd);
        return false;
    }
    mode_t mode = own.st_mode & 0777;
    struct stat old {};
    if (lstat(targetPath.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            close(fd);
            return false;
        }
        if (S_ISREG(old.st_mode))
            mode = old.st_mode & 0777;
    }
    if (executable)
        mode = WithExecuteBits(mode);
    fchmod(fd, mode);
    // The content must be on disk before the name switches over to it.
    fsync(fd);
    close(fd);
    return rename(pendingPath.c_str(), targetPath.c_str()) == 0;
}

InstallPlan InstallPendingFiles(const std::string& programPath, bool externalSetup) {
    InstallPlan plan;
    plan.programPath = programPath;
    const std::string folder = FolderOf(programPath);
    const std::string programName = NameOf(programPath);

    // The program's own executable is among the downloads under its own name: no other
    // executable takes its place.
    bool executableHandled = FileExists(programPath + kPendingSuffix);

    for (const std::string& pendingName : ListPendingFiles(folder)) {
        std::string targetName =
            pendingName.substr(0, pendingName.size() - std::strlen(kPendingSuffix));
        if (!IsSafeTargetName(targetName))
            continue;
        if (!executableHandled && EndsWith(targetName, "exe")) {
            if (externalSetup) {
                plan.savedProgramPath = plan.programPath;
                plan.programPath = folder + targetName;
                plan.setupInstalled = true;
            } else {
                targetName = programName;
            }
            executableHandled = true;
        }
        if (!IsSafeTargetName(targetName))
            continue;
        const bool executable = folder + targetName == plan.programPath;
        InstallFile(folder, pendingName, targetName, executable);
    }
    SyncFolder(folder);
    return plan;
}

} // namespace replacer
