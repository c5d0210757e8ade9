// Installing an upgrade's files as one transaction.
//
// The upgrade component downloads each file beside the program as <name>.uTMP and lists the
// names of this upgrade's downloads in a manifest (<program>.uLST), each with the SHA-256 and
// size it had when it was verified. The helper installs exactly those files, and only when each
// of them still has that content. Before the first change it writes a journal (<program>.uJRN)
// naming every step; each replaced file first gets a backup (<name>.uBAK, a second name for its
// content), and once all backups are on the disk each new file is renamed over its target in one
// step, so that every name holds a whole file at all times. Any failing step undoes every step in
// reverse order. The backups are deleted only once the new program has confirmed its start
// (<program>.uOK); until then the journal stays, so that a helper killed half-way is finished or
// undone the next time the journal is found.
//
// While a helper works on a journal it holds an exclusive lock on it: a journal whose lock can
// be taken belongs to nobody and may be recovered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vu {

namespace replacer {

inline constexpr const char* kManifestSuffix = ".uLST";
inline constexpr const char* kJournalSuffix = ".uJRN";
inline constexpr const char* kConfirmationSuffix = ".uOK";
inline constexpr const char* kRestoredReportSuffix = ".uRBK";
inline constexpr const char* kBackupSuffix = ".uBAK";
inline constexpr const char* kVerificationReportSuffix = ".uVFY";
inline constexpr const char* kNotWritableReportSuffix = ".uNWR";

// The bookkeeping files of an upgrade of the program at programPath: program path + suffix.
std::string ManifestPath(const std::string& programPath);
std::string JournalPath(const std::string& programPath);
std::string ConfirmationPath(const std::string& programPath);
// Left by a helper that had to restore the previous version; the program reports it once.
std::string RestoredReportPath(const std::string& programPath);
// Left by a helper that found a download changed since it was verified; holds the file's name.
std::string VerificationReportPath(const std::string& programPath);
// Left by a helper that could not write its journal: nothing was installed.
std::string NotWritableReportPath(const std::string& programPath);

// One download of a manifest, with what it held when it was verified (recorded false when the
// manifest gives no record for it: such a name is never installed).
struct ManifestEntry {
    std::string pendingName;
    std::string sha256; // lower-case hex
    std::uint64_t size = 0;
    bool recorded = false;
};

// The manifest is a line per download, each followed by a line "#verified SHA256 SIZE". A
// helper that knows only the names reads the record lines as names of no download and passes
// them over.
std::vector<ManifestEntry> ReadManifest(const std::string& path);
// Writes the manifest in one step (a temporary file synced and renamed over it).
bool WriteManifest(const std::string& path, const std::vector<ManifestEntry>& entries);

// The first recorded download of the folder whose content is not the recorded one (missing,
// changed, or no regular file); empty when all hold.
std::string FirstChangedDownload(const std::string& folder,
                                 const std::vector<ManifestEntry>& entries);

// Whether a download counts as an executable: the name it is installed under ends in
// lower-case "exe", or its content (read from contentPath) starts with the ELF magic or "#!".
bool IsExecutableDownload(const std::string& targetName, const std::string& contentPath);

struct PlannedFile {
    std::string pendingName; // <name>.uTMP in the program folder
    std::string targetName;  // the name it is installed under
    bool executable = false;
};

struct InstallPlan {
    std::vector<PlannedFile> files;
    std::string programPath;      // what to start next: the program, or the setup program
    std::string savedProgramPath; // the program itself, when a setup program was installed
    bool setupInstalled = false;
};

// Decides under which names the listed downloads are installed. In self-upgrade mode the first
// executable download becomes the program, unless the program itself is among the downloads
// under its own name; in external-setup mode it is the setup program to run first. Names that
// are missing, not regular files or would leave the folder are left out.
InstallPlan PlanInstallation(const std::string& programPath, bool externalSetup,
                             const std::vector<std::string>& pendingNames);

class Journal {
public:
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Writes and locks a new journal for the plan. Null when it cannot be written (nothing has
    // been changed then).
    static std::unique_ptr<Journal> Begin(const std::string& programPath, const InstallPlan& plan);
    // The journal left at programPath by a helper that is gone (its lock is free); null when
    // there is none or its helper still runs.
    static std::unique_ptr<Journal> Abandoned(const std::string& programPath);

    // Performs every step. On the first failure all steps are undone and false is returned.
    bool Install();
    // Undoes every step (each file back to its old content, added files removed, downloads
    // deleted) and removes the journal. Idempotent: works from whatever state the folder is in.
    bool RollBack();
    // Makes the installation final: deletes the backups, the manifest, the confirmation and the
    // journal.
    void Commit();
    // A journal that was marked final before its helper died only needs its clean-up finished.
    bool Committed() const { return committed_; }

private:
    struct Step {
        std::string target;
        std::string pending;
        bool hadTarget = false;
        bool executable = false;
    };
    Journal() = default;
    bool Load();
    // Gives a download its final mode and a file it replaces its backup.
    bool Prepare(const Step& step, mode_t mask);
    std::string Path(const std::string& name) const { return folder_ + name; }

    std::string programPath_;
    std::string folder_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
    std::vector<Step> steps_;
};

// Finishes or undoes an abandoned journal (see Journal::Abandoned). Returns true when the
// previous version had to be restored (the restored-report file is then written).
bool RecoverAbandonedUpgrade(const std::string& programPath);

// Leaves the note that the previous version was restored, for the program's next start.
void WriteRestoredReport(const std::string& programPath);
// Leaves the note that a download (its name) changed after it was verified.
void WriteVerificationReport(const std::string& programPath, const std::string& pendingName);
// Leaves the note that the journal could not be written, so nothing was installed.
void WriteNotWritableReport(const std::string& programPath);

// Removes what an upgrade that never reached installation left behind: downloads (*.uTMP),
// the manifest, a confirmation, and a journal or manifest cut off while being written. Nothing is
// touched while a journal exists.
void RemoveUnfinishedDownloads(const std::string& programPath);

// What the program does about an earlier upgrade when it starts, unless another copy holds the
// upgrade's lock: finishes or undoes an abandoned journal, then removes what never got installed
// and a lock file left behind. Returns true when the previous version had to be restored.
bool SettleEarlierUpgrade(const std::string& programPath);

// Syncs a folder's entries to the disk.
void SyncFolder(const std::string& folder);

// The pieces of `line` between each `separator`, empty pieces kept: a journal line's fields
// (cut at tabs), or a command line as the upgrade component cuts it at single blanks.
std::vector<std::string> SplitFields(const std::string& line, char separator);

} // namespace replacer

} // namespace vu
