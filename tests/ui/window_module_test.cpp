// Which window module the program takes (beside it first, then in its library folder, and only one
// of its own version), and that a new version confirms its start only when its window would open.
#include "tests/support/helper_process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

namespace {

using namespace vutest;

// What the fake module of the program's version returns when its window "runs" (the one of
// another version returns 43).
constexpr int kCurrentStatus = 42;

enum class Module { None, Current, Old };

struct Case {
    const char* name;
    Module beside;
    Module library;
    int windowStatus;  // exit status of the program started for its window
    int confirmStatus; // of the program started with --upgrade-confirm
    bool namesOldVersion;
};

void Place(Module module, const std::string& folder) {
    if (module == Module::None)
        return;
    std::filesystem::create_directories(folder);
    CopyFile(module == Module::Current ? VU_TEST_FAKE_CURRENT : VU_TEST_FAKE_OLD,
             folder + "/" VU_TEST_MODULE_NAME, 0644);
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const TempFolder& tmp) {
    std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" 2>>\"$HOME/errors.txt\"",
                                          program};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    const pid_t pid =
        Start("/bin/sh", shellArgs, {{"HOME", tmp.path()}, {"XDG_CONFIG_HOME", tmp / "config"}});
    const std::optional<int> status = WaitExit(pid, 60s);
    if (!status) {
        Kill(pid);
        WaitExit(pid, 10s);
        return -1;
    }
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : 128 + WTERMSIG(*status);
}

TEST(WindowModule, TheProgramTakesOnlyAModuleOfItsOwnVersion) {
    const Case cases[] = {
        {"beside the program", Module::Current, Module::None, kCurrentStatus, 0, false},
        {"in the library folder", Module::None, Module::Current, kCurrentStatus, 0, false},
        {"an old one beside, the current one in the library folder", Module::Old, Module::Current,
         kCurrentStatus, 0, false},
        {"the current one beside, an old one in the library folder", Module::Current, Module::Old,
         kCurrentStatus, 0, false},
        {"only an old one", Module::Old, Module::None, 1, 1, true},
        {"none", Module::None, Module::None, 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder tmp;
        const std::string bin = tmp / "bin";
        std::filesystem::create_directories(bin);
        const std::string program = bin + "/velmora";
        CopyFile(VU_TEST_VELMORA, program, 0755);
        Place(c.beside, bin);
        Place(c.library, bin + "/" VU_TEST_MODULE_DIR);

        EXPECT_EQ(RunProgram(program, {}, tmp), c.windowStatus);
        EXPECT_EQ(RunProgram(program, {"--upgrade-confirm"}, tmp), c.confirmStatus);
        const std::string errors = ReadFile(tmp / "errors.txt").value_or("");
        EXPECT_EQ(errors.find("the window cannot be loaded") != std::string::npos,
                  c.windowStatus != kCurrentStatus)
            << errors;
        EXPECT_EQ(errors.find("version 0.0.0-old, not this program's " VU_TEST_VERSION) !=
                      std::string::npos,
                  c.namesOldVersion)
            << errors;
    }
}

} // namespace
