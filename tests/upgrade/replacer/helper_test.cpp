// The replacement helper driven as a real program, in temporary program folders.
#include "crash_states.h"
#include "power_cut_disk.h"
#include "tests/support/helper_process.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuSha256.h"
#include "upgrade/replacer/vuUpgradeLock.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vutest;

namespace {

const std::string kHelper = VU_TEST_HELPER;
const std::string kOldBuild = VU_TEST_FAKE_V1;
const std::string kNewBuild = VU_TEST_FAKE_V2;
const std::string kKillShim = VU_TEST_KILL_SHIM;

constexpr auto kTimeout = 30s;

// The helper's command line as the upgrade component passes it: split at blanks.
std::vector<std::string> HelperArgs(const std::string& programPath, const std::string& method) {
    return vu::replacer::SplitFields(programPath + " +/afterupgrade" + method, ' ');
}

// Runs the helper to its end and checks that it ended normally with the expected status.
void RunHelper(const std::string& programPath, const std::string& method = "0",
               const std::map<std::string, std::string>& env = {}, int expected = 0) {
    const pid_t pid = Start(kHelper, HelperArgs(programPath, method), env);
    const std::optional<int> status = WaitExit(pid, kTimeout);
    if (!status)
        Kill(pid);
    ASSERT_TRUE(status) << "helper did not end";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), expected);
}

// The list of this upgrade's downloads, as the upgrade component writes it: each regular file
// with what it holds now, as verified.
void WriteManifest(const std::string& programPath, const std::vector<std::string>& names) {
    const std::string folder = programPath.substr(0, programPath.rfind('/') + 1);
    std::vector<vu::replacer::ManifestEntry> entries;
    for (const std::string& name : names) {
        const auto hash = vu::replacer::HashFile(folder + name);
        entries.push_back({name, hash ? hash->sha256 : "", hash ? hash->size : 0, bool(hash)});
    }
    ASSERT_TRUE(vu::replacer::WriteManifest(programPath + ".uLST", entries));
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
    WriteManifest(app.program(), {"prog.exe.uTMP", "data.dat.uTMP"});

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
    WriteManifest(app.program(), {"newname.exe.uTMP", "TOOL.EXE.uTMP", "zlast.exe.uTMP"});

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
    WriteManifest(app.program(), {"another.exe.uTMP", "prog.exe.uTMP"});

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
    EXPECT_EQ(ReadFile(app.dir / "another.exe"), "another");
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, UpperCaseExeLeavesTheProgramAlone) {
    ProgramFolder app;
    WriteFile(app.dir / "TOOL.EXE.uTMP", "tool", 0644);
    WriteManifest(app.program(), {"TOOL.EXE.uTMP"});

    RunHelper(app.program());

    EXPECT_EQ(ReadFile(app.program()), ReadFile(kOldBuild));
    EXPECT_EQ(ReadFile(app.dir / "TOOL.EXE"), "tool");
    // Added files get the usual modes less the umask (the tests run with 022 or stricter).
    EXPECT_EQ(ModeOf(app.dir / "TOOL.EXE") & 0755u, ModeOf(app.dir / "TOOL.EXE"));
    EXPECT_EQ(ModeOf(app.dir / "TOOL.EXE") & 0600u, 0600u);
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v1", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Helper, MissingProgramIsInstalledWithoutWaiting) {
    TempFolder dir("App");
    CopyFile(kNewBuild, dir / "prog.exe.uTMP", 0644);
    WriteManifest(dir / "prog.exe", {"prog.exe.uTMP"});

    RunHelper(dir / "prog.exe");

    EXPECT_EQ(ReadFile(dir / "prog.exe"), ReadFile(kNewBuild));
    // A new program file is made executable.
    EXPECT_EQ(ModeOf(dir / "prog.exe"), 0755u);
    EXPECT_EQ(WaitForLogLines(dir.path(), 1, kTimeout).size(), 1u);
}

TEST(upgrade_replacer_Helper, WaitsWhileTheProgramRunsAndProceedsWhenItEnds) {
    ProgramFolder app;
    CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0644);
    WriteManifest(app.program(), {"prog.exe.uTMP"});
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
    WriteManifest(app.program(), {"setup.exe.uTMP", "readme.txt.uTMP"});
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
        WriteManifest(app.program(),
                      ownBuildDownloaded
                          ? std::vector<std::string>{"data.dat.uTMP", "prog.exe.uTMP"}
                          : std::vector<std::string>{"data.dat.uTMP"});
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
    WriteManifest(app.program(), {".uTMP", "..uTMP", "...uTMP", "link.txt.uTMP", "folder.uTMP",
                                  "sub.uTMP", "../outside.uTMP", "good.txt.uTMP"});

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

// ---- The installation as one transaction -------------------------------------------------------

namespace {

// Every file of the folder with its content, leaving out the stand-in's log and the test's
// fifo: what a user would find installed.
// The two builds are named rather than shown byte for byte.
std::string Describe(const std::optional<std::string>& content) {
    if (!content)
        return "<unreadable>";
    if (content == ReadFile(kOldBuild))
        return "<old build>";
    if (content == ReadFile(kNewBuild))
        return "<new build>";
    return *content;
}

std::map<std::string, std::string> Installed(const TempFolder& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : FolderEntries(dir.path()))
        if (name != "run.log" && name != "hold.fifo" && name != "prog.exe.uRBK" &&
            name != "prog.exe.uNWR")
            files[name] = Describe(ReadFile(dir / name));
    return files;
}

// A program folder with an upgrade of three files downloaded and listed: two data files and
// the new program.
struct ThreeFileUpgrade {
    ThreeFileUpgrade() {
        WriteFile(app.dir / "a.dat", "old a", 0640);
        WriteFile(app.dir / "b.dat", "old b", 0644);
        WriteFile(app.dir / "a.dat.uTMP", "new a", 0600);
        WriteFile(app.dir / "c.dat.uTMP", "new c", 0600); // added by the upgrade
        CopyFile(kNewBuild, app.dir / "prog.exe.uTMP", 0600);
        WriteManifest(app.program(), {"a.dat.uTMP", "c.dat.uTMP", "prog.exe.uTMP"});
        oldSet = {{"a.dat", "old a"}, {"b.dat", "old b"}, {"prog.exe", "<old build>"}};
        newSet = {{"a.dat", "new a"},
                  {"b.dat", "old b"},
                  {"c.dat", "new c"},
                  {"prog.exe", "<new build>"}};
    }
    ProgramFolder app;
    std::map<std::string, std::string> oldSet;
    std::map<std::string, std::string> newSet;
};

} // namespace

TEST(upgrade_replacer_Transaction, InstallsExactlyTheListedSetWithTheirModes) {
    ThreeFileUpgrade u;
    // A download of an earlier, interrupted upgrade is not part of this one.
    WriteFile(u.app.dir / "b.dat.uTMP", "stale", 0600);
    RunHelper(u.app.program());
    std::map<std::string, std::string> expected = u.newSet;
    expected["b.dat.uTMP"] = "stale"; // left for the program to remove at its start
    EXPECT_EQ(Installed(u.app.dir), expected);
    EXPECT_EQ(ModeOf(u.app.dir / "a.dat"), 0640u); // replaced: keeps its mode
    EXPECT_EQ(ModeOf(u.app.program()), 0750u);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf(u.app.dir / "c.dat"), 0644u & ~mask); // added: readable by others
    EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]")}));
}

TEST(upgrade_replacer_Transaction, EveryFailingRenameOrModeChangeRestoresTheOldSet) {
    // Rename 1 puts the journal in place: when it fails nothing was changed, nothing is restored
    // (16, the downloads are gone); renames 2 to 4 install a.dat, c.dat and prog.exe.
    std::vector<std::map<std::string, std::string>> faults;
    for (const char* error : {"EACCES", "EXDEV", "EIO"})
        for (int n = 1; n <= 4; ++n)
            faults.push_back({{"FAIL_RENAME", std::to_string(n)}, {"FAIL_ERRNO", error}});
    for (int n = 1; n <= 3; ++n)
        faults.push_back({{"FAIL_FCHMOD", std::to_string(n)}, {"FAIL_ERRNO", "EACCES"}});
    for (auto env : faults) {
        SCOPED_TRACE(env.begin()->first + "=" + env.begin()->second + " " + env.rbegin()->second);
        ThreeFileUpgrade u;
        const bool journalFailed = env.count("FAIL_RENAME") && env["FAIL_RENAME"] == "1";
        env["LD_PRELOAD"] = kKillShim;
        RunHelper(u.app.program(), "0", env, journalFailed ? 16 : 15);
        EXPECT_EQ(Installed(u.app.dir), u.oldSet);
        EXPECT_EQ(ModeOf(u.app.program()), 0750u);
        // The old program runs again, without the restart switch, and learns what happened.
        EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 1, kTimeout),
                  (std::vector<std::string>{Line("v1", "prog.exe", "")}));
        EXPECT_EQ(Exists(u.app.dir / "prog.exe.uRBK"), !journalFailed);
        EXPECT_EQ(Exists(u.app.dir / "prog.exe.uNWR"), journalFailed);
    }
}

TEST(upgrade_replacer_Transaction, NewProgramThatFailsOrNeverConfirmsIsRolledBack) {
    {
        ThreeFileUpgrade u;
        RunHelper(u.app.program(), "0", {{"FAKE_FAIL", "prog.exe"}}, 15);
        EXPECT_EQ(Installed(u.app.dir), u.oldSet);
        EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 2, kTimeout),
                  (std::vector<std::string>{Line("v2", "prog.exe", " [/afterupgrade]"),
                                            Line("v1", "prog.exe", "")}));
    }
    {
        // Hangs without confirming: stopped once the time allowed has passed.
        ThreeFileUpgrade u;
        HoldPipe hold(u.app.dir / "hold.fifo");
        RunHelper(u.app.program(), "0",
                  {{"FAKE_NO_CONFIRM", "prog.exe"},
                   {"FAKE_HOLD", "prog.exe:" + hold.path()},
                   {"VU_CONFIRM_TIMEOUT_MS", "300"}},
                  15);
        EXPECT_EQ(Installed(u.app.dir), u.oldSet);
        EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 2, kTimeout).back(),
                  Line("v1", "prog.exe", ""));
    }
}

TEST(upgrade_replacer_Transaction, KilledAtEveryStepLeavesWholeFilesAndIsSettledNextTime) {
    for (const char* when : {"KILL_BEFORE_RENAME", "KILL_AFTER_RENAME"}) {
        for (int step = 1; step <= 4; ++step) {
            SCOPED_TRACE(std::string(when) + "=" + std::to_string(step));
            ThreeFileUpgrade u;
            const pid_t helper = Start(kHelper, HelperArgs(u.app.program(), "0"),
                                       {{"LD_PRELOAD", kKillShim}, {when, std::to_string(step)}});
            const std::optional<int> status = WaitExit(helper, kTimeout);
            if (!status)
                Kill(helper);
            ASSERT_TRUE(status);
            ASSERT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);

            // Every name holds a whole file, old or new, and the program still runs.
            for (const auto& [name, content] : u.oldSet) {
                const std::string now = Describe(ReadFile(u.app.dir / name));
                EXPECT_TRUE(now == content || now == u.newSet[name]) << name;
            }
            const std::optional<int> run = WaitExit(Start(u.app.program(), {"--check"}), kTimeout);
            ASSERT_TRUE(run && WIFEXITED(*run));
            EXPECT_EQ(WEXITSTATUS(*run), 0);

            // The next run settles it first: undone when the journal was in place, otherwise
            // (killed before the journal existed) installed.
            const bool journalled = step > 1 || std::string(when) == "KILL_AFTER_RENAME";
            RunHelper(u.app.program(), "0", {}, journalled ? 1 : 0);
            EXPECT_EQ(Installed(u.app.dir), journalled ? u.oldSet : u.newSet);
            EXPECT_EQ(Exists(u.app.dir / "prog.exe.uRBK"), journalled);
        }
    }
}

TEST(upgrade_replacer_Transaction, AttachedHelperNeitherWaitsNorRestartsAndReportsByStatus) {
    ThreeFileUpgrade u;
    HoldPipe hold(u.app.dir / "hold.fifo");
    // The old program keeps running: an attached helper does not wait for it.
    const pid_t running =
        Start(u.app.program(), {"--running"}, {{"FAKE_HOLD", "prog.exe:" + hold.path()}});
    ASSERT_TRUE(hold.WaitUntilHeld(kTimeout));
    const std::optional<int> status =
        WaitExit(Start(kHelper, {"--attached", u.app.program(), "+--upgrade-confirm0"}), kTimeout);
    ASSERT_TRUE(status && WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(Installed(u.app.dir), u.newSet);
    hold.Release();
    ASSERT_TRUE(WaitExit(running, kTimeout));
    EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 2, kTimeout).back(),
              Line("v2", "prog.exe", " [--upgrade-confirm]"));

    // A failure: the status tells, and the old program is not started again.
    ThreeFileUpgrade failing;
    const std::optional<int> failed =
        WaitExit(Start(kHelper, {"--attached", failing.app.program(), "+--upgrade-confirm0"},
                       {{"FAKE_FAIL", "prog.exe"}}),
                 kTimeout);
    ASSERT_TRUE(failed && WIFEXITED(*failed));
    EXPECT_EQ(WEXITSTATUS(*failed), 15);
    EXPECT_EQ(Installed(failing.app.dir), failing.oldSet);
    EXPECT_EQ(WaitForLogLines(failing.app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v2", "prog.exe", " [--upgrade-confirm]")}));
}

TEST(upgrade_replacer_Transaction, ExecutablesAreKnownByContentToo) {
    {
        // A renamed new program without an "exe" ending still replaces the program.
        ProgramFolder app;
        CopyFile(kNewBuild, app.dir / "prog-2.uTMP", 0600);
        WriteManifest(app.program(), {"prog-2.uTMP"});
        RunHelper(app.program());
        EXPECT_EQ(ReadFile(app.program()), ReadFile(kNewBuild));
        EXPECT_FALSE(Exists(app.dir / "prog-2"));
    }
    {
        // A setup script is run as the setup program, then deleted.
        ProgramFolder app;
        WriteFile(app.dir / "setup.sh.uTMP",
                  "#!/bin/sh\necho \"setup $1\" >> \"$(dirname \"$0\")/run.log\"\n", 0600);
        WriteManifest(app.program(), {"setup.sh.uTMP"});
        RunHelper(app.program(), "1");
        EXPECT_FALSE(Exists(app.dir / "setup.sh"));
        EXPECT_EQ(WaitForLogLines(app.dir.path(), 2, kTimeout),
                  (std::vector<std::string>{"setup /afterupgrade",
                                            Line("v1", "prog.exe", " [/afterupgrade]")}));
    }
}

TEST(upgrade_replacer_Transaction, WithoutAManifestNothingIsInstalled) {
    ProgramFolder app;
    WriteFile(app.dir / "data.dat", "good", 0644);
    WriteFile(app.dir / "data.dat.uTMP", "", 0600); // an empty leftover of a broken upgrade
    RunHelper(app.program(), "0", {}, 1);
    EXPECT_EQ(ReadFile(app.dir / "data.dat"), "good");
    EXPECT_FALSE(Exists(app.dir / "data.dat.uTMP"));
    EXPECT_EQ(WaitForLogLines(app.dir.path(), 1, kTimeout),
              (std::vector<std::string>{Line("v1", "prog.exe", "")}));
}

TEST(upgrade_replacer_Transaction, DownloadsChangedAfterTheirVerificationInstallNothing) {
    // What may happen to a verified download before the helper runs: every case installs
    // nothing, removes the downloads and the manifest, and names the file for the program.
    const std::vector<std::pair<std::string, std::function<void(const TempFolder&)>>> changes = {
        {"same size, other bytes",
         [](const TempFolder& d) { WriteFile(d / "c.dat.uTMP", "NEW C"); }},
        {"truncated", [](const TempFolder& d) { WriteFile(d / "c.dat.uTMP", "new"); }},
        {"grown", [](const TempFolder& d) { WriteFile(d / "c.dat.uTMP", "new c!"); }},
        {"removed", [](const TempFolder& d) { unlink((d / "c.dat.uTMP").c_str()); }},
        {"replaced by a link to the same bytes",
         [](const TempFolder& d) {
             WriteFile(d / "elsewhere", "new c");
             unlink((d / "c.dat.uTMP").c_str());
             ASSERT_EQ(symlink((d / "elsewhere").c_str(), (d / "c.dat.uTMP").c_str()), 0);
         }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        ThreeFileUpgrade u;
        change(u.app.dir);
        RunHelper(u.app.program(), "0", {}, 14);
        std::map<std::string, std::string> expected = u.oldSet;
        if (Exists(u.app.dir / "elsewhere")) // a link is no download: it stays
            expected["elsewhere"] = expected["c.dat.uTMP"] = "new c";
        expected["prog.exe.uVFY"] = "c.dat.uTMP\n";
        EXPECT_EQ(Installed(u.app.dir), expected);
        // The old program runs again, without the restart switch.
        EXPECT_EQ(WaitForLogLines(u.app.dir.path(), 1, kTimeout),
                  (std::vector<std::string>{Line("v1", "prog.exe", "")}));
    }
    // A name the manifest gives no record for is never installed.
    ThreeFileUpgrade u;
    WriteFile(u.app.dir / "x.dat.uTMP", "unverified", 0600);
    WriteFile(u.app.program() + ".uLST", *ReadFile(u.app.program() + ".uLST") + "x.dat.uTMP\n");
    RunHelper(u.app.program());
    std::map<std::string, std::string> expected = u.newSet;
    expected["x.dat.uTMP"] = "unverified";
    EXPECT_EQ(Installed(u.app.dir), expected);
}

TEST(upgrade_replacer_Sha256, DigestsAsTheProgramRecordsThem) {
    // Lower-case hex, the form the program writes into the manifest.
    EXPECT_EQ(vu::replacer::Sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(upgrade_replacer_Transaction, UpgradeLockIsTakenOverFromTheProgramOrRespected) {
    for (const bool handedOver : {true, false}) {
        SCOPED_TRACE(handedOver ? "handed over" : "held by another copy");
        ThreeFileUpgrade u;
        HoldPipe hold(u.app.dir / "hold.fifo");
        const pid_t running =
            Start(u.app.program(), {"--running"}, {{"FAKE_HOLD", "prog.exe:" + hold.path()}});
        ASSERT_TRUE(hold.WaitUntilHeld(kTimeout));
        // The lock is the folder's: another program of the same folder takes the same one.
        vu::replacer::UpgradeLock lock;
        ASSERT_EQ(lock.TryTake(handedOver ? u.app.program() : u.app.dir / "other-program"),
                  vu::replacer::UpgradeLock::Result::Taken);
        // A program that closes hands its descriptor to the helper (a copy without
        // close-on-exec), then lets its own go.
        const int handed = handedOver ? dup(lock.Descriptor()) : -1;
        const pid_t helper = Start(kHelper, HelperArgs(u.app.program(), "0"));
        if (handedOver) {
            close(handed);
            lock.Forget();
            // The helper waits for the program to end, holding the lock.
            EXPECT_TRUE(WaitForThreadNice(helper, 19, kTimeout));
            EXPECT_TRUE(vu::replacer::UpgradeRunningElsewhere(u.app.program()));
        }
        hold.Release();
        ASSERT_TRUE(WaitExit(running, kTimeout));
        const std::optional<int> status = WaitExit(helper, kTimeout);
        if (!status)
            Kill(helper);
        ASSERT_TRUE(status && WIFEXITED(*status));
        // Without the lock the helper touches nothing of the other copy's upgrade.
        EXPECT_EQ(WEXITSTATUS(*status), handedOver ? 0 : 17);
        std::map<std::string, std::string> expected = handedOver ? u.newSet : u.oldSet;
        if (!handedOver) {
            expected[".upgrade.uLCK"] = "";
            expected["prog.exe.uLST"] = *ReadFile(u.app.program() + ".uLST");
            for (const char* name : {"a.dat.uTMP", "c.dat.uTMP", "prog.exe.uTMP"})
                expected[name] = Describe(ReadFile(u.app.dir / name));
        }
        EXPECT_EQ(Installed(u.app.dir), expected);
        lock.Release();
        EXPECT_FALSE(vu::replacer::UpgradeRunningElsewhere(u.app.program()));
        EXPECT_FALSE(Exists(u.app.dir / ".upgrade.uLCK"));
    }
}

// ---- Power cuts -------------------------------------------------------------------------------

namespace {

// The files of a folder tree as "mode content" by name, leaving out the stand-in's log and the
// report of a restored version (which the program's start shows and removes).
std::map<std::string, std::string> Files(const DiskState& tree) {
    std::map<std::string, std::string> files;
    for (const auto& [name, number] : tree.names) {
        if (name == "App/run.log" || name == "App/prog.exe.uRBK")
            continue;
        const DiskFile& file = tree.files.at(number);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(file.mode));
        files[name] = std::string(mode) + " " + Describe(file.data);
    }
    return files;
}

std::string Show(const std::map<std::string, std::string>& files) {
    std::string text;
    for (const auto& [name, content] : files)
        text += "\n  " + name + ": " + content;
    return text;
}

// Whether the program starts and ends well (the stand-in logs the start and exits with 0).
bool Runs(const std::string& program) {
    const pid_t pid = Start(program, {"--version"});
    const std::optional<int> status = WaitExit(pid, kTimeout);
    if (!status)
        Kill(pid);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

} // namespace

TEST(upgrade_replacer_Transaction, PowerCutAtAnyStepLeavesTheOldOrTheNewSetOnceTheProgramStarts) {
    const mode_t mask = umask(0);
    umask(mask);
    char added[8];
    std::snprintf(added, sizeof added, "%04o", 0644u & ~mask);
    std::map<std::string, std::string> oldSet = {{"App/notes.txt", "0600 the user's"},
                                                 {"App/docs/readme.txt", "0644 docs"},
                                                 {"Other/keep.txt", "0644 elsewhere"},
                                                 {"App/b.dat", "0644 old b"}};
    std::map<std::string, std::string> newSet = oldSet;
    oldSet["App/a.dat"] = "0640 old a";
    oldSet["App/prog.exe"] = "0750 <old build>";
    newSet["App/a.dat"] = "0640 new a";
    newSet["App/c.dat"] = std::string(added) + " new c";
    newSet["App/prog.exe"] = "0750 <new build>";

    // The install kept, and the install undone because the new program fails (the helper then
    // starts the old one, whose start ends the recording).
    struct Outcome {
        std::map<std::string, std::string> env;
        int status;
        std::size_t starts;
        const std::map<std::string, std::string>& files;
    };
    for (const Outcome& outcome :
         {Outcome{{}, 0, 1, newSet}, Outcome{{{"FAKE_FAIL", "prog.exe"}}, 15, 2, oldSet}}) {
        SCOPED_TRACE(outcome.status == 0 ? "installed" : "restored");
        // The program's folder with an upgrade of three files ready beside files of the user,
        // there, in a folder below it and in another folder. The added file comes first: should
        // its rename outlive a power cut that the journal does not, nothing would tell that it
        // has to go.
        TempFolder backing;
        for (const char* folder : {"App", "App/docs", "Other"})
            ASSERT_EQ(mkdir((backing / folder).c_str(), 0755), 0);
        CopyFile(kOldBuild, backing / "App/prog.exe", 0750);
        WriteFile(backing / "App/a.dat", "old a", 0640);
        WriteFile(backing / "App/b.dat", "old b", 0644);
        WriteFile(backing / "App/notes.txt", "the user's", 0600);
        WriteFile(backing / "App/docs/readme.txt", "docs", 0644);
        WriteFile(backing / "Other/keep.txt", "elsewhere", 0644);
        WriteFile(backing / "App/c.dat.uTMP", "new c", 0600);
        WriteFile(backing / "App/a.dat.uTMP", "new a", 0600);
        CopyFile(kNewBuild, backing / "App/prog.exe.uTMP", 0600);
        WriteManifest(backing / "App/prog.exe", {"c.dat.uTMP", "a.dat.uTMP", "prog.exe.uTMP"});

        // The helper's work, on a disk that records every change.
        std::vector<DiskOperation> log;
        DiskState initial;
        {
            PowerCutDisk disk(backing.path());
            if (!disk.mounted())
                GTEST_SKIP() << "the power-cut disk needs /dev/fuse and root";
            RunHelper(disk.path() + "App/prog.exe", "0", outcome.env, outcome.status);
            ASSERT_EQ(WaitForLogLines(disk.path() + "App/", outcome.starts, kTimeout).size(),
                      outcome.starts);
            log = disk.operations();
            initial = disk.initial();
        }
        // The log is whole: replayed, it gives what the disk holds.
        ASSERT_EQ(Fingerprint(CrashStatesAt(initial, log, log.size()).front().disk),
                  Fingerprint(ReadDiskState(backing.path())));

        std::set<std::string> seen;
        for (std::size_t point = 0; point <= log.size(); ++point) {
            for (const CrashState& state : CrashStatesAt(initial, log, point)) {
                if (!seen.insert(Fingerprint(state.disk)).second)
                    continue;
                SCOPED_TRACE("power cut after " + std::to_string(point) + " of " +
                             std::to_string(log.size()) + " changes" +
                             (point > 0 ? " (the last: " + Describe(log[point - 1]) + ")" : "") +
                             ": " + state.label);
                TempFolder crashed;
                WriteDiskState(state.disk, crashed.path());
                const std::string program = crashed / "App/prog.exe";
                // The program starts, so its start can settle the upgrade.
                EXPECT_TRUE(Runs(program));
                vu::replacer::SettleEarlierUpgrade(program);
                const std::map<std::string, std::string> files =
                    Files(ReadDiskState(crashed.path()));
                EXPECT_TRUE(files == oldSet || files == newSet) << Show(files);
                // Once the helper has finished, the set it ended with stays whatever survives.
                EXPECT_TRUE(point < log.size() || files == outcome.files) << Show(files);
                // Only a restored previous version is reported as one.
                EXPECT_TRUE(!Exists(crashed / "App/prog.exe.uRBK") || files == oldSet);
                EXPECT_TRUE(Runs(program));
            }
        }
        std::printf("[ crashes  ] %s: %zu crash points, %zu different states checked\n",
                    outcome.status == 0 ? "installed" : "restored", log.size() + 1, seen.size());
    }
}
