// The replacement helper driven as a real program, in temporary program folders.
#include "helper_process.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace replacer_test;

namespace {

const std::string kHelper = VU_TEST_HELPER;
const std::string kOldBuild = VU_TEST_FAKE_V1;
const std::string kNewBuild = VU_TEST_FAKE_V2;
const std::string kKillShim = VU_TEST_KILL_SHIM;

constexpr auto kTimeout = 30s;

// The helper's command line as the upgrade component passes it: split at blanks.
std::vector<std::string> HelperArgs(const std::string& programPath, const std::string& method) {
    std::vector<std::string> args;
    const std::string line = programPath + " +/afterupgrade" + method;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type blank = line.find(' ', start);
        args.push_back(line.substr(start, blank - start));
        if (blank == std::string::npos)
            return args;
        start = blank + 1;
    }
}

// Runs the helper to its end and checks that it ended normally with exit code 0.
void RunHelper(const std::string& programPath, const std::string& method = "0",
               const std::map<std::string, std::string>& env = {}) {
    const pid_t pid = Start(kHelper, HelperArgs(programPath, method), env);
    const std::optional<int> status = WaitExit(pid, kTimeout);
    if (!status)
        Kill(pid);
    ASSERT_TRUE(status) << "helper did not end";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

std::string Line(const std::string& version, const std::string& name, const std::string& args) {
    // Started programs run at the priority of the test, not at the helper's waiting priority.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return version + " " + name + " nice=" + std::to_string(nice) + args;
}

// A program folder with the old build installed as prog.exe.
struct ProgramFolder {
    explicit ProgramFolder(const std::string& sub = "App") : dir(sub) {
        CopyFile(kOldBuild, program(), 0750);
    }
    std::string program() const { return dir / "prog.exe"; }
    TempFolder dir;
};

} // namespace

TEST(upgrade_replacer_Helper, WithoutArgumentsPrintsNameAndVersion) {
    TempFolder dir;
    const std::string out = dir / "out.txt";
    const pid_t pid = Start("/bin/sh", {"-c", "exec \"$0\" > \"$1\"", kHelper, out});
    const std::optional<int> status = WaitExit(pid, kTimeout);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    const std::string text = ReadFile(out).value_or("");
    EXPECT_NE(text.find("Daderevi3 version "), std::string::npos) << text;
}

TEST(upgrade_replacer_Helper, SelfUpgradeReplacesProgramAndDataInFolderWithBlanks) {
    ProgramFolder app("Program Files/My  App");
    WriteFile(app.dir / "data.dat", "old data", 0640);
    CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0600);
    WriteFile(app.dir / "data.dat.uTMP", "new data", 0600);

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
    EXPECT_EQ(ReadFile(app.dir / "data.dat"), "new data");
    // The installed files keep the permission bits of the files they replace.
    EXPECT_EQ(ModeOf(app.program()), 0750u);
    EXPECT_EQ(ModeOf(app.dir / "data.dat"), 0640u);
    // The new build runs with the restart switch, at normal priority.
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]")}));
    EXPECT_EQ(FolderEntries(app.dir.path()),
              (std::vector<std::string>{"data.dat", "prog.exe", "run.log"}));
}

TEST(upgrade_replacer_Helper, FirstLowerCaseExeBecomesTheProgram) {
    // newname.exe replaces prog.exe; TOOL.EXE does not count as an executable and keeps its
    // name; a second lower-case executable keeps its own name too.
    ProgramFolder app;
    CopyFile(kNewBuild, app.dir / "newname.exe.uTMP", 0644);
    WriteFile(app.dir / "TOOL.EXE.uTMP", "tool", 0644);
    WriteFile(app.dir / "zlast.exe.uTMP", "other", 0644);

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
    EXPECT_EQ(ReadFile(app.dir / "TOOL.EXE"), "tool");
    EXPECT_EQ(ReadFile(app.dir / "zlast.exe"), "other");
    EXPECT_FALSE(Exists(app.dir / "newname.exe"));
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, ProgramDownloadedUnderItsOwnNameWinsOverOtherExecutables) {
    ProgramFolder app;
    WriteFile(app.dir / "another.exe.uTMP", "another", 0644);
    CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0644);

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
    EXPECT_EQ(ReadFile(app.dir / "another.exe"), "another");
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, UpperCaseExeLeavesTheProgramAlone) {
    ProgramFolder app;
    WriteFile(app.dir / "TOOL.EXE.uTMP", "tool", 0644);

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));
    EXPECT_EQ(ReadFile(app.dir / "TOOL.EXE"), "tool");
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v1", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, MissingProgramIsInstalledWithoutWaiting) {
    TempFolder dir("App");
    CopyFile(kNewBuild, dir / "prog.exe.uTMP", 0644);

    RunHelper(dir / "prog.exe");

    EXPECT_EQ(ReadFile(dir / "prog.exe"), ReadFile(kNewBuild));
    // A new program file is made executable.
    EXPECT_EQ(ModeOf(dir / "prog.exe"), 0755u);
    EXPECT_EQ(WaitForLogLines(dir.path(), 1, kTimeout).size(), 1u);
}

TEST(upgrade_replacer_Helper, WaitsWhileTheProgramRunsAndProceedsWhenItEnds) {
    ProgramFolder app;
    CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0644);
    HoldPipe hold(app.dir / "hold.fifo");
    const pid_t running =
        Start(app.program(), {"--running"}, {{"FAKE_HOLD", "prog.exe:" + hold.path()}});
    ASSERT_TRUE(hold.WaitUntilHeld(kTimeout));

    const pid_t helper = Start(kHelper, HelperArgs(app.program(), "0"));
    // The helper's waiting thread runs at the lowest priority; once it exists the helper is
    // polling, and while the old program runs nothing may be installed.
    EXPECT_TRUE(WaitForThreadNice(helper, 19, kTimeout));
    EXPECT_TRUE(Exists(app.dir / "prog.exe.uTMP"));
    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));
    EXPECT_FALSE(WaitExit(helper, 50ms)) << "helper ended while the program was running";

    hold.Release();
    ASSERT_TRUE(WaitExit(running, kTimeout));
    const std::optional<int> status = WaitExit(helper, kTimeout);
    if (!status)
        Kill(helper);
    ASSERT_TRUE(status);
    EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 2, kTimeout),
              (std::vector<std::string>{Line("v1", "prog.exe", " [--running]"),
                                        Line("v2", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, ExternalSetupRunsTheSetupThenDeletesItAndStartsTheProgram) {
    ProgramFolder app;
    CopyFile(kNewBuild, app.dir / "setup.exe.uTMP", 0644);
    WriteFile(app.dir / "readme.txt.uTMP", "readme", 0644);
    HoldPipe hold(app.dir / "hold.fifo");

    const pid_t helper =
        Start(kHelper, HelperArgs(app.program(), "1"), {{"FAKE_HOLD", "setup.exe:" + hold.path()}});
    ASSERT_TRUE(hold.WaitUntilHeld(kTimeout));
    // The setup runs with the restart switch; the program waits for it to end.
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, 0ms),
              (std::vector<std::string>{Line("v2", "setup.exe", " [/afterupgrade]")}));
    EXPECT_EQ(ModeOf(app.dir / "setup.exe"), 0755u);
    EXPECT_EQ(ReadFile(app.dir / "readme.txt"), "readme");
    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));

    hold.Release();
    const std::optional<int> status = WaitExit(helper, kTimeout);
    if (!status)
        Kill(helper);
    ASSERT_TRUE(status);
    EXPECT_FALSE(Exists(app.dir / "setup.exe"));
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 2, kTimeout),
              (std::vector<std::string>{Line("v2", "setup.exe", " [/afterupgrade]"),
                                        Line("v1", "prog.exe", " [/afterupgrade]")}));
    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));
}

TEST(upgrade_replacer_Helper, ExternalSetupWithoutSetupProgramNeverDeletesTheProgram) {
    for (const bool ownBuildDownloaded : {false, true}) {
        SCOPED_TRACE(ownBuildDownloaded);
        ProgramFolder app;
        WriteFile(app.dir / "data.dat.uTMP", "data", 0644);
        if (ownBuildDownloaded)
            CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0644);
        HoldPipe hold(app.dir / "hold.fifo");

        // The program is started once and keeps running; the helper neither waits for it
        // nor deletes it.
        RunHelper(app.program(), "1", {{"FAKE_HOLD", "prog.exe:" + hold.path()}});
        ASSERT_TRUE(hold.WaitUntilHeld(kTimeout));
        hold.Release();
        EXPECT_TRUE(Exists(app.program()));
        EXPECT_EQ(ReadFile(app.program()), ReadFile(ownBuildDownloaded ? kNewBuild : kOldBuild));
        EXPECT_EQ(ReadFile(app.dir / "data.dat"), "data");
        EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
                  (std::vector<std::string>{
                      Line(ownBuildDownloaded ? "v2" : "v1", "prog.exe", " [/afterupgrade]")}));
    }
}

TEST(upgrade_replacer_Helper, UnsafeAndUnusableDownloadsAreSkipped) {
    ProgramFolder app;
    TempFolder outside;
    WriteFile(outside / "secret.txt", "secret", 0644);
    // Target names empty, "." and "..".
    WriteFile(app.dir / ".uTMP", "empty", 0644);
    WriteFile(app.dir / "..uTMP", "dot", 0644);
    WriteFile(app.dir / "...uTMP", "dotdot", 0644);
    // A link and a folder are not downloads.
    ASSERT_EQ(symlink((outside / "secret.txt").c_str(), (app.dir / "link.txt.uTMP").c_str()), 0);
    ASSERT_EQ(mkdir((app.dir / "folder.uTMP").c_str(), 0755), 0);
    // A download whose target is a folder cannot replace it.
    ASSERT_EQ(mkdir((app.dir / "sub").c_str(), 0755), 0);
    WriteFile(app.dir / "sub/keep.txt", "keep", 0644);
    WriteFile(app.dir / "sub.uTMP", "file", 0644);
    WriteFile(app.dir / "good.txt.uTMP", "good", 0644);

    RunHelper(app.program());

    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout).size(), 1u);
    EXPECT_EQ(ReadFile(app.dir / "good.txt"), "good");
    EXPECT_EQ(
        FolderEntries(app.dir.path()),
        (std::vector<std::string>{"...uTMP", "..uTMP", ".uTMP", "folder.uTMP", "good.txt",
                                  "link.txt.uTMP", "prog.exe", "run.log", "sub", "sub.uTMP"}));
    EXPECT_EQ(ReadFile(app.dir / "sub/keep.txt"), "keep");
    EXPECT_EQ(ReadFile(outside / "secret.txt"), "secret");
    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));
}

TEST(upgrade_replacer_Helper, KilledAtAnyStepLeavesARunnableProgramAndFinishesOnTheNextRun) {
    // Three downloads are three renames; the helper is killed right before and right after
    // each of them. Every file must then hold either its old or its new content, the program
    // must still run, and a second run installs what is left.
    for (const char* when : {"KILL_BEFORE_RENAME", "KILL_AFTER_RENAME"}) {
        for (int step = 1; step <= 3; ++step) {
            SCOPED_TRACE(std::string(when) + "=" + std::to_string(step));
            ProgramFolder app;
            WriteFile(app.dir / "a.dat", "old a", 0644);
            WriteFile(app.dir / "b.dat", "old b", 0644);
            WriteFile(app.dir / "a.dat.uTMP", "new a", 0644);
            WriteFile(app.dir / "b.dat.uTMP", "new b", 0644);
            CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0644);

            const pid_t helper = Start(kHelper, HelperArgs(app.program(), "0"),
                                       {{"LD_PRELOAD", kKillShim}, {when, std::to_string(step)}});
            const std::optional<int> status = WaitExit(helper, kTimeout);
            if (!status)
                Kill(helper);
            ASSERT_TRUE(status);
            ASSERT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);

            // Name order: a.dat, b.dat, prog.exe. Files before the killed step are installed.
            const int installed = std::string(when) == "KILL_AFTER_RENAME" ? step : step - 1;
            const std::vector<std::pair<std::string, std::string>> files{{"a.dat", "a"},
                                                                         {"b.dat", "b"}};
            for (int i = 0; i < 2; ++i) {
                const auto& [name, letter] = files[i];
                const bool done = i < installed;
                EXPECT_EQ(ReadFile(app.dir / name), (done ? "new " : "old ") + letter) << name;
                EXPECT_EQ(Exists(app.dir / (name + ".uTMP")), !done) << name;
            }
            const bool programDone = installed == 3;
            EXPECT_EQ(ReadFile(app.program()), ReadFile(programDone ? kNewBuild : kOldBuild));
            EXPECT_EQ(Exists(app.dir / "prog.exe.uTMP"), !programDone);

            // Whatever state it was left in, the program runs.
            const std::optional<int> run = WaitExit(Start(app.program(), {"--check"}), kTimeout);
            ASSERT_TRUE(run && WIFEXITED(*run));
            EXPECT_EQ(WEXITSTATUS(*run), 0);

            RunHelper(app.program());
            EXPECT_EQ(ReadFile(app.dir / "a.dat"), "new a");
            EXPECT_EQ(ReadFile(app.dir / "b.dat"), "new b");
            EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
            EXPECT_EQ(WaitForLogLines(app.dir.path(), 2, kTimeout).back(),
                      Line("v2", "prog.exe", " [/afterupgrade]"));
        }
    }
}
