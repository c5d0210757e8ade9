#include "upgrade/replacer/vuReplacer.h"

#include "upgrade/replacer/vuFileWait.h"
#include "upgrade/replacer/vuProcessStart.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuUpgradeLock.h"

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vu {

namespace replacer {

namespace {

using Clock = std::chrono::steady_clock;

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Waits for the started program to confirm (the confirmation file appears) while it runs. A
// program that ends without confirming, or takes longer than the time allowed, has failed; one
// that is still running then is stopped.
bool AwaitConfirmation(pid_t pid, const std::string& confirmation,
                       std::chrono::milliseconds timeout) {
    const Clock::time_point end = Clock::now() + timeout;
    bool running = pid > 0;
    for (;;) {
        if (IsRegularFile(confirmation))
            return true;
        if (running) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno == ECHILD))
                return IsRegularFile(confirmation);
        } else {
            return false;
        }
        if (Clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Too late: the program is stopped, politely first.
    kill(pid, SIGTERM);
    const Clock::time_point grace = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= grace) {
            kill(pid, SIGKILL);
            WaitForProgram(pid);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

int RunUpgrade(const Invocation& invocation, const RunOptions& options) {
    if (invocation.programPath.empty())
        return kHelperNothingToInstall;
    const std::string& programPath = invocation.programPath;
    const std::vector<std::string> params = SplitParameters(invocation.restartParams);

    // The upgrade's lock: handed over by a program that closes, held by one that waits for us.
    UpgradeLock lock;
    const bool handedOver = !options.attached && lock.AdoptInherited(programPath);

    // A missing program file means there is nothing to wait for.
    if (!options.attached && IsRegularFile(programPath))
        WaitUntilFileFree(programPath);

    // Without the lock another copy's upgrade may own these files: they are left alone.
    if (!options.attached && !handedOver &&
        lock.TryTake(programPath) == UpgradeLock::Result::HeldElsewhere) {
        StartProgram(programPath, {});
        return kHelperOtherUpgradeRunning;
    }

    // Whatever an earlier helper left half-done is settled before anything else.
    RecoverAbandonedUpgrade(programPath);

    // After a failure the previous version runs again, without the restart switch, and the
    // program reports what happened at its start.
    auto startOld = [&](int status) {
        if (!options.attached)
            StartProgram(programPath, {});
        return status;
    };
    auto restored = [&] {
        WriteRestoredReport(programPath);
        return startOld(kHelperRestored);
    };

    const std::vector<ManifestEntry> manifest = ReadManifest(ManifestPath(programPath));
    // Each download must still be what the program verified; otherwise nothing is installed.
    const std::string changed = FirstChangedDownload(FolderOf(programPath), manifest);
    if (!changed.empty()) {
        WriteVerificationReport(programPath, changed);
        RemoveUnfinishedDownloads(programPath);
        return startOld(kHelperVerificationFailed);
    }
    std::vector<std::string> names;
    for (const ManifestEntry& entry : manifest)
        if (entry.recorded)
            names.push_back(entry.pendingName);
    const InstallPlan plan = PlanInstallation(programPath, invocation.externalSetup, names);
    if (plan.files.empty()) {
        RemoveUnfinishedDownloads(programPath);
        return startOld(kHelperNothingToInstall);
    }

    unlink(ConfirmationPath(programPath).c_str());
    std::unique_ptr<Journal> journal = Journal::Begin(programPath, plan);
    if (!journal) {
        // Nothing was changed: the previous version was never replaced. The note is written
        // once the downloads are gone, so that even a full disk has room for it.
        RemoveUnfinishedDownloads(programPath);
        WriteNotWritableReport(programPath);
        return startOld(kHelperNotWritable);
    }
    if (!journal->Install())
        return restored();

    std::string program = plan.programPath;
    if (plan.setupInstalled) {
        // The setup program runs first and is deleted once it has ended; then the program.
        WaitForProgram(StartProgram(plan.programPath, params));
        if (IsRegularFile(plan.programPath))
            WaitUntilFileFree(plan.programPath);
        if (plan.programPath != plan.savedProgramPath)
            unlink(plan.programPath.c_str());
        program = plan.savedProgramPath;
    }

    const pid_t started = StartProgram(program, params);
    if (!AwaitConfirmation(started, ConfirmationPath(programPath), options.confirmTimeout)) {
        journal->RollBack();
        return restored();
    }
    journal->Commit();
    return kHelperInstalled;
}

const char* AboutText() {
    return "Daderevi3 version 3.1\n"
           "Replacement helper of the Velmora upgrade.\n"
           "Started by the program after it has downloaded an upgrade: waits until the program\n"
           "has ended, moves the downloaded files into place as one transaction, starts the new\n"
           "version and keeps it once it has confirmed its start; otherwise the previous version\n"
           "is restored.\n"
           "Usage: Daderevi3.exe [--attached] PROGRAM-PATH +PARAMETERS-AND-METHOD-DIGIT\n"
           "Exit status: 0 installed, 1 nothing to install, 14 a download changed since it was\n"
           "verified (nothing installed), 15 previous version restored, 16 nothing installed:\n"
           "the folder cannot be written, 17 another upgrade of the program is running.\n";
}

} // namespace replacer

} // namespace vu
