#include "upgrade/replacer/vuReplaceTransaction.h"

#include "upgrade/replacer/vuDurableFiles.h"
#include "upgrade/replacer/vuReplacerCommandLine.h"
#include "upgrade/replacer/vuSha256.h"
#include "upgrade/replacer/vuUpgradeLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace replacer {

namespace {

constexpr const char* kPendingSuffix = ".uTMP";
constexpr const char* kJournalHeader = "upgrade journal 1";
constexpr const char* kRecordPrefix = "#verified ";

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A name the helper keeps for its own files: downloads, backups and the program's bookkeeping.
bool IsBookkeepingName(const std::string& name) {
    for (const char* suffix :
         {kPendingSuffix, kBackupSuffix, kManifestSuffix, kJournalSuffix, kConfirmationSuffix,
          kRestoredReportSuffix, kVerificationReportSuffix, kNotWritableReportSuffix})
        if (EndsWith(name, suffix))
            return true;
    return false;
}

// A name that stays inside the folder: not empty, not "." or "..", no "/", and no NUL byte (the
// system would read the name only up to it, another file than the one listed).
bool IsSafeTargetName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

} // namespace

std::string ManifestPath(const std::string& programPath) {
    return programPath + kManifestSuffix;
}
std::string JournalPath(const std::string& programPath) {
    return programPath + kJournalSuffix;
}
std::string ConfirmationPath(const std::string& programPath) {
    return programPath + kConfirmationSuffix;
}
std::string RestoredReportPath(const std::string& programPath) {
    return programPath + kRestoredReportSuffix;
}

void SyncFolder(const std::string& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string VerificationReportPath(const std::string& programPath) {
    return programPath + kVerificationReportSuffix;
}

std::string NotWritableReportPath(const std::string& programPath) {
    return programPath + kNotWritableReportSuffix;
}

std::vector<ManifestEntry> ReadManifest(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    const std::string text = ReadAll(fd);
    close(fd);
    std::vector<ManifestEntry> entries;
    const std::string prefix = kRecordPrefix;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty())
            continue;
        if (line.compare(0, prefix.size(), prefix) != 0) {
            entries.push_back({line, {}, 0, false});
            continue;
        }
        // A record belongs to the name right above it, and only one record counts.
        ManifestEntry* entry = entries.empty() ? nullptr : &entries.back();
        const std::string rest = line.substr(prefix.size());
        const std::string::size_type blank = rest.find(' ');
        if (!entry || entry->recorded || blank != 64 ||
            rest.find_first_not_of("0123456789abcdef") != 64 || blank + 1 >= rest.size() ||
            rest.find_first_not_of("0123456789", blank + 1) != std::string::npos ||
            rest.size() - blank - 1 > 19)
            continue;
        entry->sha256 = rest.substr(0, 64);
        entry->size = std::strtoull(rest.c_str() + blank + 1, nullptr, 10);
        entry->recorded = true;
    }
    return entries;
}

bool WriteManifest(const std::string& path, const std::vector<ManifestEntry>& entries) {
    std::string text;
    for (const ManifestEntry& entry : entries) {
        text += entry.pendingName + "\n";
        if (entry.recorded)
            text += kRecordPrefix + entry.sha256 + " " + std::to_string(entry.size) + "\n";
    }
    const bool ok = WriteFileAtomically(path, text);
    SyncFolder(FolderOf(path));
    return ok;
}

std::string FirstChangedDownload(const std::string& folder,
                                 const std::vector<ManifestEntry>& entries) {
    for (const ManifestEntry& entry : entries) {
        if (!entry.recorded)
            continue;
        const std::optional<FileHash> now = entry.pendingName.find('/') == std::string::npos
                                                ? HashFile(folder + entry.pendingName)
                                                : std::nullopt;
        if (!now || now->size != entry.size || now->sha256 != entry.sha256)
            return entry.pendingName;
    }
    return {};
}

bool IsExecutableDownload(const std::string& targetName, const std::string& contentPath) {
    if (EndsWith(targetName, "exe"))
        return true;
    const int fd = open(contentPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[4] = {0, 0, 0, 0};
    const ssize_t n = read(fd, head, sizeof head);
    close(fd);
    if (n >= 4 && std::memcmp(head,
                              "\x7f"
                              "ELF",
                              4) == 0)
        return true;
    return n >= 2 && head[0] == '#' && head[1] == '!';
}

InstallPlan PlanInstallation(const std::string& programPath, bool externalSetup,
                             const std::vector<std::string>& pendingNames) {
    InstallPlan plan;
    plan.programPath = programPath;
    const std::string folder = FolderOf(programPath);
    const std::string programName = NameOf(programPath);
    const std::string suffix = kPendingSuffix;

    // The program's own executable is among the downloads under its own name: no other
    // executable takes its place.
    const std::string ownName = programName + suffix;
    bool executableHandled =
        std::find(pendingNames.begin(), pendingNames.end(), ownName) != pendingNames.end() &&
        IsRegular(folder + ownName);

    std::set<std::string> pendingSeen;
    std::set<std::string> targetsTaken;
    for (const std::string& pendingName : pendingNames) {
        if (!EndsWith(pendingName, suffix) || !pendingSeen.insert(pendingName).second)
            continue;
        std::string targetName = pendingName.substr(0, pendingName.size() - suffix.size());
        // A download is never installed under a name the helper uses for its own files.
        if (!IsSafeTargetName(targetName) || IsBookkeepingName(targetName) ||
            !IsSafeTargetName(pendingName) || !IsRegular(folder + pendingName))
            continue;
        const bool executable = IsExecutableDownload(targetName, folder + pendingName);
        if (!executableHandled && executable) {
            if (externalSetup) {
                plan.savedProgramPath = plan.programPath;
                plan.programPath = folder + targetName;
                plan.setupInstalled = true;
            } else {
                targetName = programName;
            }
            executableHandled = true;
        }
        // A folder cannot be replaced, and no name is installed twice.
        struct stat st {};
        if (lstat((folder + targetName).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (!targetsTaken.insert(targetName).second)
            continue;
        plan.files.push_back(
            {pendingName, targetName, executable || folder + targetName == plan.programPath});
    }
    return plan;
}

// ---- Journal ----------------------------------------------------------------------------------

Journal::~Journal() {
    if (fd_ >= 0)
        close(fd_); // releases the lock
}

std::unique_ptr<Journal> Journal::Begin(const std::string& programPath, const InstallPlan& plan) {
    std::unique_ptr<Journal> journal(new Journal);
    journal->programPath_ = programPath;
    journal->folder_ = FolderOf(programPath);
    journal->path_ = JournalPath(programPath);

    // A backup name that is already taken holds nothing of this upgrade (left by an earlier one,
    // or a stray file): undoing a step must never put it in place of the target.
    bool staleBackups = false;
    for (const PlannedFile& file : plan.files)
        staleBackups =
            unlink(journal->Path(file.targetName + kBackupSuffix).c_str()) == 0 || staleBackups;
    if (staleBackups)
        SyncFolder(journal->folder_);

    std::string text = std::string(kJournalHeader) + "\n";
    for (const PlannedFile& file : plan.files) {
        Step step;
        step.target = file.targetName;
        step.pending = file.pendingName;
        step.hadTarget = Exists(journal->Path(file.targetName));
        step.executable = file.executable;
        journal->steps_.push_back(step);
        text += std::string("step\t") + (step.hadTarget ? "1" : "0") + "\t" +
                (step.executable ? "1" : "0") + "\t" + step.target + "\t" + step.pending + "\n";
    }

    // The journal is written, synced and locked under a temporary name and only then renamed
    // into place, so that whoever finds it finds it whole and locked.
    const std::string temporary = journal->path_ + kWritingSuffix;
    unlink(temporary.c_str());
    const int fd =
        open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    if (flock(fd, LOCK_EX) != 0 || !WriteAll(fd, text) || fsync(fd) != 0 ||
        rename(temporary.c_str(), journal->path_.c_str()) != 0) {
        close(fd);
        unlink(temporary.c_str());
        return nullptr;
    }
    journal->fd_ = fd;
    SyncFolder(journal->folder_);
    return journal;
}

std::unique_ptr<Journal> Journal::Abandoned(const std::string& programPath) {
    const std::string path = JournalPath(programPath);
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd); // its helper is still at work
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal);
    journal->programPath_ = programPath;
    journal->folder_ = FolderOf(programPath);
    journal->path_ = path;
    journal->fd_ = fd;
    journal->Load();
    return journal;
}

bool Journal::Load() {
    lseek(fd_, 0, SEEK_SET);
    const std::vector<std::string> lines = SplitLines(ReadAll(fd_));
    if (lines.empty() || lines.front() != kJournalHeader)
        return false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> parts = SplitFields(lines[i], '\t');
        if (parts.size() == 5 && parts[0] == "step" && IsSafeTargetName(parts[3]) &&
            IsSafeTargetName(parts[4]))
            steps_.push_back({parts[3], parts[4], parts[1] == "1", parts[2] == "1"});
        else if (parts.size() == 1 && parts[0] == "commit")
            committed_ = true;
    }
    return true;
}

bool Journal::Install() {
    // First every download gets its final mode, synced, and every file to be replaced a backup.
    // The folder is synced before the first target changes: whatever part of the renames a power
    // cut lets through, each replaced file is still found under its backup name (and the journal
    // under its own).
    const mode_t mask = CurrentUmask();
    for (const Step& step : steps_) {
        if (!Prepare(step, mask)) {
            RollBack();
            return false;
        }
    }
    SyncFolder(folder_);
    // Then one atomic step per file: the target holds the old or the new content at every moment.
    for (const Step& step : steps_) {
        if (rename(Path(step.pending).c_str(), Path(step.target).c_str()) != 0) {
            RollBack();
            return false;
        }
    }
    SyncFolder(folder_);
    return true;
}

bool Journal::Prepare(const Step& step, mode_t mask) {
    const std::string pending = Path(step.pending);
    const std::string target = Path(step.target);
    bool ok = false;
    const int fd = open(pending.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat own {};
    if (fd >= 0 && fstat(fd, &own) == 0 && S_ISREG(own.st_mode)) {
        // Replaced files keep their mode; added ones get the usual modes less the umask.
        mode_t mode = (step.executable ? 0755 : 0644) & ~mask;
        struct stat old {};
        bool targetUsable = true;
        if (step.hadTarget) {
            targetUsable = lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
            mode = old.st_mode & 07777;
            if (step.executable && target == programPath_)
                mode = WithExecuteBits(mode);
        }
        ok = targetUsable && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    }
    if (fd >= 0)
        ok = close(fd) == 0 && ok;
    return ok && (!step.hadTarget || MakeBackup(target, Path(step.target + kBackupSuffix)));
}

bool Journal::RollBack() {
    bool ok = true;
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
        const std::string target = Path(it->target);
        const std::string pending = Path(it->pending);
        const std::string backup = Path(it->target + kBackupSuffix);
        struct stat backupStat {};
        struct stat targetStat {};
        if (lstat(backup.c_str(), &backupStat) == 0) {
            // Still the same file as the target (the new one never took its place): renaming
            // one name of a file over another does nothing, so the spare name goes.
            const bool same = lstat(target.c_str(), &targetStat) == 0 &&
                              targetStat.st_dev == backupStat.st_dev &&
                              targetStat.st_ino == backupStat.st_ino;
            ok =
                (same ? unlink(backup.c_str()) : rename(backup.c_str(), target.c_str())) == 0 && ok;
        } else if (!it->hadTarget && !Exists(pending) && IsRegular(target)) {
            // The file was added by this upgrade.
            ok = unlink(target.c_str()) == 0 && ok;
        }
        if (Exists(pending))
            unlink(pending.c_str());
    }
    unlink(ManifestPath(programPath_).c_str());
    unlink(ConfirmationPath(programPath_).c_str());
    SyncFolder(folder_);
    if (ok) {
        unlink(path_.c_str());
        SyncFolder(folder_);
    }
    return ok;
}

void Journal::Commit() {
    if (!committed_) {
        lseek(fd_, 0, SEEK_END);
        WriteAll(fd_, "commit\n");
        fsync(fd_);
        committed_ = true;
    }
    for (const Step& step : steps_)
        unlink(Path(step.target + kBackupSuffix).c_str());
    unlink(ManifestPath(programPath_).c_str());
    unlink(ConfirmationPath(programPath_).c_str());
    SyncFolder(folder_);
    unlink(path_.c_str());
    SyncFolder(folder_);
}

bool RecoverAbandonedUpgrade(const std::string& programPath) {
    std::unique_ptr<Journal> journal = Journal::Abandoned(programPath);
    if (!journal)
        return false;
    // Marked final, or confirmed by the new program before the helper could mark it: keep it.
    if (journal->Committed() || Exists(ConfirmationPath(programPath))) {
        journal->Commit();
        return false;
    }
    journal->RollBack();
    WriteRestoredReport(programPath);
    return true;
}

void WriteRestoredReport(const std::string& programPath) {
    WriteEmptyReport(RestoredReportPath(programPath));
}

void WriteNotWritableReport(const std::string& programPath) {
    WriteEmptyReport(NotWritableReportPath(programPath));
}

void WriteVerificationReport(const std::string& programPath, const std::string& pendingName) {
    WriteFileAtomically(VerificationReportPath(programPath), pendingName + "\n");
}

void RemoveUnfinishedDownloads(const std::string& programPath) {
    if (Exists(JournalPath(programPath)))
        return;
    // A journal or manifest that never got into place.
    unlink((JournalPath(programPath) + kWritingSuffix).c_str());
    unlink((ManifestPath(programPath) + kWritingSuffix).c_str());
    const std::string folder = FolderOf(programPath);
    if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            // Downloads, and the records that would let a broken transfer of one go on.
            if ((EndsWith(name, kPendingSuffix) ||
                 EndsWith(name, std::string(kPendingSuffix) + ".resume")) &&
                IsRegular(folder + name))
                names.push_back(name);
        }
        closedir(dir);
        for (const std::string& name : names)
            unlink((folder + name).c_str());
    }
    unlink(ManifestPath(programPath).c_str());
    unlink(ConfirmationPath(programPath).c_str());
}

bool SettleEarlierUpgrade(const std::string& programPath) {
    // While another copy holds the upgrade's lock, the files are its own. A lock file that
    // nobody holds was left by a power cut: taken and released, it goes.
    UpgradeLock lock;
    if (Exists(LockPath(programPath)) &&
        lock.TryTake(programPath) == UpgradeLock::Result::HeldElsewhere)
        return false;
    const bool restored = RecoverAbandonedUpgrade(programPath);
    RemoveUnfinishedDownloads(programPath);
    return restored;
}

std::vector<std::string> SplitFields(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type at = line.find(separator, start);
        parts.push_back(line.substr(start, at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

} // namespace replacer

} // namespace vu
