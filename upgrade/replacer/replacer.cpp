#include "replacer.h"

#include "file_wait.h"
#include "installer.h"
#include "process_start.h"

#include <sys/stat.h>
#include <unistd.h>

namespace replacer {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void RunUpgrade(const Invocation& invocation) {
    if (invocation.programPath.empty())
        return;
    const std::vector<std::string> params = SplitParameters(invocation.restartParams);

    // A missing program file means there is nothing to wait for.
    if (IsRegularFile(invocation.programPath))
        WaitUntilFileFree(invocation.programPath);

    const InstallPlan plan = InstallPendingFiles(invocation.programPath, invocation.externalSetup);
    if (!plan.setupInstalled) {
        // Self-upgrade, or external setup without a setup program among the downloads: the
        // program itself is started and never waited for or deleted.
        StartProgram(plan.programPath, params);
        return;
    }

    const pid_t setup = StartProgram(plan.programPath, params);
    WaitForProgram(setup);
    if (IsRegularFile(plan.programPath))
        WaitUntilFileFree(plan.programPath);
    if (plan.programPath != plan.savedProgramPath)
        unlink(plan.programPath.c_str());
    StartProgram(plan.savedProgramPath, params);
}

const char* AboutText() {
    return "Daderevi3 version 3.0\n"
           "Replacement helper of the Velmora upgrade.\n"
           "Started by the program after it has downloaded an upgrade: waits until the program\n"
           "has ended, moves the downloaded files into place and starts the new version.\n"
           "Usage: Daderevi3.exe PROGRAM-PATH +PARAMETERS-AND-METHOD-DIGIT\n";
}

} // namespace replacer
