#include "vuReplacer.h"

#include "vuFileWait.h"
#include "vuProcessStart.h"
#include "vuReplaceTransaction.h"

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

    // A missing program file means there is nothing to wait for.
    if (!options.attached && IsRegularFile(programPath))
        WaitUntilFileFree(programPath);

    // Whatever an earlier helper left half-done is settled before anything else.
    RecoverAbandonedUpgrade(programPath);

    // After a failure the previous version runs again, without the restart switch: nothing new
    // was installed, and the program reports the restored version at its start.
    auto restored = [&] {
        WriteRestoredReport(programPath);
        if (!options.attached)
            StartProgram(programPath, {});
        return kHelperRestored;
    };

    const InstallPlan plan = PlanInstallation(programPath, invocation.externalSetup,
                                              ReadManifest(ManifestPath(programPath)));
    if (plan.files.empty()) {
        RemoveUnfinishedDownloads(programPath);
        if (!options.attached)
            StartProgram(programPath, {});
        return kHelperNothingToInstall;
    }

    unlink(ConfirmationPath(programPath).c_str());
    std::unique_ptr<Journal> journal = Journal::Begin(programPath, plan);
    if (!journal) {
        RemoveUnfinishedDownloads(programPath);
        return restored();
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
           "Exit status: 0 installed, 1 nothing to install, 15 previous version restored.\n";
}

} // namespace replacer

} // namespace vu
