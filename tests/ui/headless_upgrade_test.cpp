// The headless upgrade, "velmora --upgrade", run as a real program against a local server: its
// exit statuses, what it leaves installed, and the faults a real installation meets.
#include "tests/support/helper_process.h"
#include "tests/support/poll_wait.h"
#include "tests/upgrade/http/server/local_http_server.h"
#include "tests/upgrade/http/server/scripted_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace vutest;

namespace {

const std::string kVelmora = VU_TEST_VELMORA;
const std::string kWindowModule = VU_TEST_WINDOW_MODULE;
const std::string kWindowModuleName = kWindowModule.substr(kWindowModule.rfind('/') + 1);
const std::string kNewBuild = VU_TEST_FAKE_V2;

// A file's content as compared and shown: a large one (a program) by its size and a hash, so that
// a failure prints a line rather than megabytes.
std::string Describe(const std::string& content) {
    if (content.size() <= 4096)
        return content;
    return "<" + std::to_string(content.size()) + " bytes, hash " +
           std::to_string(std::hash<std::string>{}(content)) + ">";
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A small file system that allows no programs to run (mounted "noexec") on a folder, for as long
// as it lives. Mounting needs root.
class NoexecMount {
public:
    explicit NoexecMount(const std::string& path) : path_(path) {
        mkdir(path.c_str(), 0755);
        mounted_ = mount("tmpfs", path.c_str(), "tmpfs", MS_NOEXEC, "size=16m,mode=0777") == 0;
    }
    ~NoexecMount() {
        if (mounted_)
            umount2(path_.c_str(), MNT_DETACH);
        rmdir(path_.c_str());
    }
    NoexecMount(const NoexecMount&) = delete;
    NoexecMount& operator=(const NoexecMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

// A program folder (with a blank in its path) holding a copy of velmora with its window module,
// and a server that publishes an upgrade for it.
class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running());
        server.serve("/files/velmora", ReadFile(kNewBuild).value_or(""));
        server.serve("/files/data.dat", "new data");
        Reset();
    }

    // The program folder as it was before any upgrade (files only; folders stay).
    void Reset() {
        for (const std::string& name : FolderEntries(dir.path()))
            unlink((dir / name).c_str());
        CopyFile(kVelmora, program(), 0755);
        // A copy of velmora that stays after an upgrade confirms its start only when its window
        // module loads.
        CopyFile(kWindowModule, dir / kWindowModuleName, 0644);
        WriteFile(dir / "data.dat", "old data", 0644);
        oldSet = Installed();
    }

    std::string program() const { return dir / "velmora"; }

    // The information file: a release of the given date listing the given paths.
    void Publish(const std::string& date, const std::vector<std::string>& paths,
                 const std::string& keys = "") {
        std::string info =
            "#date=" + date + "\r\n#method=0\r\n#message={A test release}\r\n" + keys;
        for (std::size_t i = 0; i < paths.size(); ++i)
            info += "#url" + (i == 0 ? std::string() : std::to_string(i + 1)) + "=" +
                    server.url(paths[i]) + "\r\n";
        server.serve("/info.txt", info, "text/plain");
    }

    // Runs "velmora --upgrade --info-url URL args..." with standard input from /dev/null and
    // standard error kept in `errors`; returns the exit status (-1 when it did not end).
    int Run(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
            const std::string& infoURL = "", const std::vector<std::string>& prefix = {}) {
        return Finish(Launch(args, std::move(env), infoURL, prefix));
    }
    // The same without waiting; standard error goes to errorsName in the temporary folder, or
    // the shell's `streams` say where the standard streams go.
    pid_t Launch(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
                 const std::string& infoURL = "", const std::vector<std::string>& prefix = {},
                 const std::string& errorsName = "errors.txt",
                 const std::string& streams = "< /dev/null 2> \"$ERRORS\"") {
        std::vector<std::string> command = prefix;
        command.insert(command.end(), {program(), "--upgrade", "--info-url",
                                       infoURL.empty() ? server.url("/info.txt") : infoURL});
        command.insert(command.end(), args.begin(), args.end());
        std::vector<std::string> shellArgs{"-c", "exec \"$@\" " + streams, "sh"};
        shellArgs.insert(shellArgs.end(), command.begin(), command.end());
        env["ERRORS"] = tmp / errorsName;
        env.emplace("TMPDIR", tmp.path());
        return Start("/bin/sh", shellArgs, env);
    }
    int Finish(pid_t pid, const std::string& errorsName = "errors.txt") {
        const std::optional<int> status = WaitExit(pid, 120s);
        if (!status)
            Kill(pid);
        errors = ReadFile(tmp / errorsName).value_or("");
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Runs "velmora --upgrade --info-url URL args..." with a pseudo-terminal as its standard
    // streams, typing each answer once its prompt has appeared on the terminal (after the
    // prompts before it). Returns the exit status (-1 when it did not end) and keeps what the
    // terminal showed in `screen`.
    int RunOnTerminal(const std::vector<std::string>& args, std::map<std::string, std::string> env,
                      const std::vector<std::pair<std::string, std::string>>& dialogue) {
        int master = -1, slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
            return -1;
        }
        env["TTY"] = name;
        const pid_t pid = Launch(args, env, "", {}, "errors.txt", "< \"$TTY\" > \"$TTY\" 2>&1");
        screen.clear();
        std::size_t answered = 0, seen = 0;
        std::optional<int> status;
        const auto end = std::chrono::steady_clock::now() + 120s;
        while (!status && std::chrono::steady_clock::now() < end) {
            pollfd ready{master, POLLIN, 0};
            if (poll(&ready, 1, 100) > 0) {
                char buffer[4096];
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0)
                    screen.append(buffer, static_cast<std::size_t>(n));
            }
            for (std::size_t at;
                 answered < dialogue.size() &&
                 (at = screen.find(dialogue[answered].first, seen)) != std::string::npos;) {
                seen = at + dialogue[answered].first.size();
                const std::string typed = dialogue[answered++].second + "\n";
                EXPECT_EQ(write(master, typed.data(), typed.size()), ssize_t(typed.size()));
            }
            status = WaitExit(pid, 0ms);
        }
        if (!status)
            Kill(pid);
        // What the program wrote last is still in the terminal.
        for (pollfd ready{master, POLLIN, 0}; poll(&ready, 1, 0) > 0;) {
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            screen.append(buffer, static_cast<std::size_t>(n));
        }
        close(slave);
        close(master);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Every file of the program folder with its content (see Describe), besides the stand-in's
    // log and the window module (never part of an upgrade here).
    std::map<std::string, std::string> Installed() const {
        std::map<std::string, std::string> files;
        for (const std::string& name : FolderEntries(dir.path()))
            if (name != "run.log" && name != kWindowModuleName)
                files[name] = Describe(ReadFile(dir / name).value_or("<unreadable>"));
        return files;
    }

    // The program with new files: the new build and the new data file.
    std::map<std::string, std::string> NewSet() const {
        return {{"data.dat", "new data"}, {"velmora", Describe(*ReadFile(kNewBuild))}};
    }

    std::size_t FileRequests() const {
        return server.requestsFor("/files/velmora").size() +
               server.requestsFor("/files/data.dat").size();
    }

    vutest::LocalHTTPServer server;
    TempFolder dir{"Velmora App"};
    TempFolder tmp;
    std::map<std::string, std::string> oldSet;
    std::string errors;
    std::string screen; // of the last RunOnTerminal
};

} // namespace

TEST_F(Headless, InstallsConfirmsAndExitsWithZero) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    EXPECT_EQ(Run({"--yes"}), 0) << errors;
    EXPECT_EQ(Installed(),
              (std::map<std::string, std::string>{{"data.dat", "new data"},
                                                  {"velmora", Describe(*ReadFile(kNewBuild))}}));
    EXPECT_EQ(ModeOf(program()), 0755u);
    // The new version was started once, to confirm, and no window was restarted.
    const std::vector<std::string> log = WaitForLogLines(dir.path(), 1, 0ms);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("[--upgrade-confirm]"), std::string::npos) << log[0];
    // Progress as plain lines when standard error is no terminal.
    EXPECT_NE(errors.find("data.dat: 100%\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("A test release"), std::string::npos) << errors;
}

TEST_F(Headless, OutcomesBeforeInstallingHaveTheirStatusesAndChangeNothing) {
    Publish("01/01/2000", {"/files/velmora"});
    EXPECT_EQ(Run({"--yes"}), 10) << errors;
    EXPECT_EQ(Run({"--yes"}, {}, server.url("/status/404")), 11) << errors;
    EXPECT_EQ(Run({"--yes"}, {}, "http://127.0.0.1:1/info.txt"), 12) << errors;
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    EXPECT_EQ(Run({"--no"}), 13) << errors;
    EXPECT_EQ(Run({}), 13) << errors; // no terminal to ask: No
    EXPECT_EQ(FileRequests(), 0u);
    // The server dies in the middle of the second file: each retry says which it is and why.
    Publish("01/01/2030", {"/files/data.dat", "/short/100000/5000"});
    EXPECT_EQ(Run({"--yes"}), 12) << errors;
    EXPECT_EQ(Installed(), oldSet);
    for (const char* retry : {"5000: retry 1 of 3 in 1 s: ", "5000: retry 2 of 3 in 2 s: ",
                              "5000: retry 3 of 3 in 4 s: "})
        EXPECT_NE(errors.find(retry), std::string::npos) << errors;
    // A file behind a password, with no terminal to ask for it: said once.
    Publish("01/01/2030", {"/files/velmora", "/auth/data.dat"});
    EXPECT_EQ(Run({"--yes"}), 12) << errors;
    EXPECT_EQ(Occurrences(errors, "\"data.dat\" is password protected"), 1u) << errors;
    EXPECT_EQ(Installed(), oldSet);
    EXPECT_EQ(Run({"--yes", "--no"}), 2);
}

TEST_F(Headless, ReleaseKeysGiveTheirStatusesAndSayWhy) {
    struct Case {
        std::string keys;
        int status;
        std::string says;
    };
    for (const Case& c : std::vector<Case>{
             {"#channel=beta\r\n", 10, "the channel 'beta', this installation follows 'stable'"},
             {"#product=example.velmora.Other\r\n", 14, "failed its security check"},
             {"#expires=2001-01-01T00:00:00Z\r\n", 14, "out of date"},
             {"#critical=1\r\n", 13, "fixes a serious problem"},
         }) {
        Publish("01/01/2030", {"/files/velmora"}, c.keys);
        EXPECT_EQ(Run({"--no"}), c.status) << c.keys << errors;
        EXPECT_NE(errors.find(c.says), std::string::npos) << c.keys << errors;
    }
    EXPECT_EQ(FileRequests(), 0u);
    EXPECT_EQ(Installed(), oldSet);
}

TEST_F(Headless, NewVersionThatFailsIsRolledBackWithStatus15) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    EXPECT_EQ(Run({"--yes"}, {{"FAKE_FAIL", "velmora"}}), 15) << errors;
    EXPECT_EQ(Installed(), oldSet);
}

TEST_F(Headless, UnwritableProgramFolderIsRefusedBeforeDownloading) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    std::vector<std::string> asUser;
    if (geteuid() == 0) {
        // The folder stays root's; the upgrade runs as an unprivileged user.
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        const std::string parent =
            dir.path().substr(0, dir.path().rfind('/', dir.path().size() - 2));
        ASSERT_EQ(chmod(parent.c_str(), 0755), 0);
        ASSERT_EQ(chmod(tmp.path().c_str(), 0777), 0);
        asUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    } else {
        ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    }
    EXPECT_EQ(Run({"--yes"}, {{"HOME", tmp.path()}}, "", asUser), 16) << errors;
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(FileRequests(), 0u);
    EXPECT_EQ(Installed(), oldSet);
}

TEST_F(Headless, InterruptedInstallationIsUndoneAtTheNextStart) {
    // A helper died after putting the new data file in place.
    WriteFile(dir / "data.dat.uBAK", "old data", 0644);
    WriteFile(dir / "data.dat", "new data", 0644);
    WriteFile(dir / "velmora.uJRN", "upgrade journal 1\nstep\t1\t0\tdata.dat\tdata.dat.uTMP\n",
              0600);
    WriteFile(dir / "stale.bin.uTMP", "partial", 0600);
    Publish("01/01/2000", {"/files/velmora"});
    EXPECT_EQ(Run({"--yes"}), 10) << errors;
    std::map<std::string, std::string> expected = oldSet;
    EXPECT_EQ(Installed(), expected);
    EXPECT_NE(errors.find("previous version was restored"), std::string::npos) << errors;
}

TEST_F(Headless, FilesThatDoNotMatchTheirRecordedHashAreNeverInstalled) {
    // The data file's recorded hash is wrong: the program file before it downloads, then both go.
    std::string info = "#date=01/01/2030\r\n#url=" + server.url("/files/velmora") +
                       "\r\n#url2=" + server.url("/files/data.dat") +
                       "\r\n#sha2562=" + std::string(64, '0') + "\r\n";
    server.serve("/info.txt", info, "text/plain");
    EXPECT_EQ(Run({"--yes"}), 14) << errors;
    EXPECT_EQ(Installed(), oldSet);
    EXPECT_NE(errors.find("does not match the upgrade information"), std::string::npos) << errors;

    // A local file listed by an information file fetched over http: refused before anything.
    const std::size_t before = FileRequests();
    server.serve("/info.txt", "#date=01/01/2030\r\n#url=file://" + program() + "\r\n",
                 "text/plain");
    EXPECT_EQ(Run({"--yes"}), 14) << errors;
    EXPECT_EQ(Installed(), oldSet);
    EXPECT_EQ(FileRequests(), before);
    EXPECT_NE(errors.find("failed its security check"), std::string::npos) << errors;
}

TEST_F(Headless, SecondCopyLeavesARunningUpgradeAloneAndSaysSo) {
    // The first copy has downloaded and verified the program and big.dat and waits for the
    // third file when a second copy is started on the same folder.
    const std::string big = LocalHTTPServer::pattern(3 << 20);
    server.serve("/files/big.dat", big);
    Publish("01/01/2030", {"/files/velmora", "/files/big.dat", "/stall-headers"});
    const pid_t first = Launch({"--yes"}, {}, "", {}, "first.txt");
    ASSERT_TRUE(server.waitForStalled(1, 60000));
    const std::map<std::string, std::string> during = Installed();
    EXPECT_EQ(during.at("big.dat.uTMP"), Describe(big));

    EXPECT_EQ(Run({"--yes"}), 17) << errors;
    EXPECT_NE(errors.find("already running"), std::string::npos) << errors;
    EXPECT_EQ(Installed(), during);
    EXPECT_EQ(server.requestsFor("/info.txt").size(), 1u);

    server.releaseStalls();
    EXPECT_EQ(Finish(first, "first.txt"), 0) << errors;
    std::map<std::string, std::string> expected = NewSet();
    expected["data.dat"] = "old data";
    expected["big.dat"] = Describe(big);
    expected["stall-headers"] = "late";
    EXPECT_EQ(Installed(), expected);
}

TEST_F(Headless, HelperIsStartedWhereProgramsMayRunOrNothingIsInstalled) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a noexec file system needs root";
    // The temporary folder allows no programs; the runtime folder and the folder beside the
    // program are tried next.
    NoexecMount noexecTmp(tmp / "noexec-tmp");
    NoexecMount noexecRun(tmp / "noexec-run");
    ASSERT_TRUE(noexecTmp.mounted() && noexecRun.mounted());
    const std::string runtime = tmp / "run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    struct Row {
        const char* name;
        std::string runtimeDir;
        bool besideNoexec;
        int status;
    };
    const std::vector<Row> rows = {
        {"beside the program", "", false, 0},
        {"runtime folder", runtime, false, 0},
        {"nowhere", tmp / "noexec-run", true, 18},
    };
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        std::optional<NoexecMount> beside;
        if (row.besideNoexec) {
            beside.emplace(program() + ".uHLP");
            ASSERT_TRUE(beside->mounted());
        }
        EXPECT_EQ(
            Run({"--yes"}, {{"TMPDIR", tmp / "noexec-tmp"}, {"XDG_RUNTIME_DIR", row.runtimeDir}}),
            row.status)
            << errors;
        std::map<std::string, std::string> installed = Installed();
        installed.erase("velmora.uHLP");
        EXPECT_EQ(installed, row.status == 0 ? NewSet() : oldSet);
        if (row.status != 0) {
            // Every place is named with its reason.
            for (const std::string& place :
                 {tmp / "noexec-tmp", tmp / "noexec-run", program() + ".uHLP"})
                EXPECT_NE(errors.find(place + "/Daderevi3.exe: Permission denied"),
                          std::string::npos)
                    << errors;
        }
    }
}

TEST_F(Headless, HelperKilledWhileTheNewVersionStartsIsSettledAtOnce) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    const std::vector<std::tuple<const char*, std::map<std::string, std::string>, int>> rows = {
        {"after it confirmed: kept", {{"FAKE_KILL_PARENT", "velmora"}}, 0},
        {"before it confirmed: undone",
         {{"FAKE_KILL_PARENT", "velmora"}, {"FAKE_NO_CONFIRM", "velmora"}},
         15},
    };
    for (const auto& [name, env, status] : rows) {
        SCOPED_TRACE(name);
        Reset();
        EXPECT_EQ(Run({"--yes"}, env), status) << errors;
        // The whole folder: no journal, backup or report is left for the next start.
        EXPECT_EQ(Installed(), status == 0 ? NewSet() : oldSet);
    }
}

TEST_F(Headless, MissingFileInstallsNothingUnlessLeavingItOutIsAskedForAndAllowed) {
    // SHA-256 of "new data".
    const std::string newDataHash =
        "d5b7f828235a92d3d280fa08f3ddb9e5b6947123b44091c92db7594aa1408614";
    struct Row {
        const char* name;
        std::string info;
        std::vector<std::string> args;
        int status;
        std::map<std::string, std::string> installed; // changed names only
    };
    const std::string program = server.url("/files/velmora");
    const std::string data = server.url("/files/data.dat");
    const std::string head = "#date=01/01/2030\r\n#url=";
    const std::vector<Row> rows = {
        {"program missing",
         head + server.url("/missing/velmora") + "\r\n#url2=" + data,
         {"--yes"},
         12,
         {}},
        {"data missing",
         head + program + "\r\n#url2=" + server.url("/missing/data.dat"),
         {"--yes"},
         12,
         {}},
        {"data missing, left out",
         head + program + "\r\n#url2=" + server.url("/missing/data.dat"),
         {"--yes", "--skip-missing"},
         0,
         {{"velmora", Describe(*ReadFile(kNewBuild))}}},
        {"program missing, never left out",
         head + server.url("/missing/velmora") + "\r\n#url2=" + data,
         {"--yes", "--skip-missing"},
         12,
         {}},
        {"second file missing, left out",
         head + data + "\r\n#url2=" + server.url("/missing/extra.dat"),
         {"--yes", "--skip-missing"},
         0,
         {{"data.dat", "new data"}}},
        {"with hashes nothing is left out",
         head + data + "\r\n#sha256=" + newDataHash +
             "\r\n#url2=" + server.url("/missing/extra.dat"),
         {"--yes", "--skip-missing"},
         12,
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        server.serve("/info.txt", row.info + "\r\n", "text/plain");
        EXPECT_EQ(Run(row.args), row.status) << errors;
        std::map<std::string, std::string> expected = oldSet;
        for (const auto& [name, content] : row.installed)
            expected[name] = content;
        EXPECT_EQ(Installed(), expected);
    }
}

TEST_F(Headless, CopyInstalledByAPackageIsLeftToThePackageManager) {
    // A dpkg database of its own (DPKG_ADMINDIR) with the program's file in a package's list, as
    // the program's own path or through a linked folder (as /bin and /usr/bin); a list with
    // another file of the same name does not count. A diversion by the package keeps the file
    // its own; the administrator's own diversion makes the file at the path nobody's, and the
    // package's file then lies at the diverted name (which may be the program's). Without
    // dpkg-query nothing is packaged.
    const std::string admin = tmp / "dpkg";
    const std::string linked = tmp / "linked";
    ASSERT_EQ(symlink(dir.path().c_str(), linked.c_str()), 0);
    const std::string status = "Status: install ok installed\nVersion: 1\nMaintainer: M <m@e>\n"
                               "Description: d\n";
    struct Row {
        const char* name;
        std::string list; // the file list and its content
        std::string content;
        std::string diversions;
        std::string path; // PATH, where dpkg-query is looked for
        int status;
    };
    const std::string own = "/.\n" + dir.path() + "\n" + program() + "\n";
    const std::string bin = "/usr/bin:/bin";
    const std::vector<Row> rows = {
        {"own path", "velmora-app:amd64.list", own, "", bin, 19},
        {"linked folder", "velmora-app.list", "/.\n" + linked + "/velmora\n", "", bin, 19},
        {"same name elsewhere", "other.list", "/usr/bin/velmora\n" + program() + ".1\n", "", bin,
         10},
        {"diverted by the package", "velmora-app.list", own,
         program() + "\n" + program() + ".distrib\nvelmora-app\n", bin, 19},
        {"diverted by the administrator", "velmora-app.list", own,
         program() + "\n" + program() + ".distrib\n:\n", bin, 10},
        {"the diverted name of a package's file", "velmora-app.list", "/.\n" + dir.path() + "vm\n",
         dir.path() + "vm\n" + program() + "\n:\n", bin, 19},
        {"no dpkg-query", "velmora-app.list", own, "", tmp / "empty", 10},
    };
    Publish("01/01/2000", {"/files/velmora"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool multiArch = std::string(row.list).find(':') != std::string::npos;
        const std::string package = row.list.substr(0, row.list.find_first_of(":."));
        mkdir(admin.c_str(), 0755);
        mkdir((admin + "/info").c_str(), 0755);
        WriteFile(admin + "/info/format", "1\n");
        WriteFile(admin + "/status", "Package: " + package + "\nArchitecture: amd64\n" +
                                         (multiArch ? "Multi-Arch: same\n" : "") + status);
        WriteFile(admin + "/diversions", row.diversions);
        WriteFile(admin + "/info/" + row.list, row.content);
        const std::size_t before = server.requestCount();
        EXPECT_EQ(Run({"--yes"}, {{"DPKG_ADMINDIR", admin}, {"PATH", row.path}}), row.status)
            << errors;
        if (row.status == 19) {
            EXPECT_EQ(server.requestCount(), before);
            EXPECT_NE(errors.find("package velmora-app and is managed by the package manager"),
                      std::string::npos)
                << errors;
        }
        EXPECT_EQ(Installed(), oldSet);
        unlink((admin + "/info/" + row.list).c_str());
    }
}

// Without an answer the message names the cause and the server with its real scheme and port;
// without any address it names none.
TEST_F(Headless, FailuresBeforeAnAnswerNameTheirCause) {
    vutest::LocalHTTPServer tls(vutest::LocalHTTPServer::Scheme::Https);
    const int closedPort = [] {
        vutest::LocalHTTPServer gone;
        return gone.port();
    }();
    const std::string closed = "http://127.0.0.1:" + std::to_string(closedPort);
    const struct {
        std::string url;
        int status;
        std::string text;
    } cases[] = {
        {tls.url("/info.txt"), 12,
         "The certificate of '" + tls.origin() + "' could not be verified (SSL certificate"},
        {closed + "/info.txt", 12, "'" + closed + "' refused the connection."},
        {"http://velmora.invalid/info.txt", 12,
         "The name of 'http://velmora.invalid' could not be resolved."},
        {"http://", 11, "File which contains upgrade information was not found"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run({"--yes"}, {}, c.url), c.status) << c.url << ": " << errors;
        EXPECT_NE(errors.find(c.text), std::string::npos) << c.url << ": " << errors;
        EXPECT_EQ(errors.find("unreachable"), std::string::npos) << c.url << ": " << errors;
    }
    EXPECT_EQ(Installed(), oldSet);
}

// A proxy that wants credentials: named in its own message with status 12 and nothing fetched;
// credentials in the proxy's address in the environment are used.
TEST_F(Headless, ProxyCredentialsComeFromTheEnvironmentOrTheProxyIsNamed) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    server.actAsProxy("puser", "ppass");
    const std::string proxy = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(Run({"--yes"}, {{"http_proxy", "http://" + proxy}}), 12) << errors;
    EXPECT_NE(errors.find("The proxy " + proxy + " wants a user name and password."),
              std::string::npos)
        << errors;
    EXPECT_EQ(FileRequests(), 0u);
    EXPECT_EQ(Installed(), oldSet);

    EXPECT_EQ(Run({"--yes"}, {{"http_proxy", "http://puser:ppass@" + proxy}}), 0) << errors;
    EXPECT_EQ(ReadFile(dir / "data.dat"), "new data");
}

// A file recorded as 10 bytes and sent without end is stopped at once; nothing stays.
TEST_F(Headless, FileLongerThanItsRecordedSizeIsStopped) {
    vutest::ScriptedServer endless([](vutest::ScriptedConnection& c) {
        if (c.ReadRequest().empty() || !c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
            return;
        const std::string block(65536, 'e');
        while (c.Send(block)) {
        }
    });
    server.serve("/info.txt",
                 "#date=01/01/2030\r\n#url=" + endless.url("/data.dat") + "\r\n#size=10\r\n",
                 "text/plain");
    EXPECT_EQ(Run({"--yes"}), 14) << errors;
    EXPECT_EQ(Installed(), oldSet);
    EXPECT_NE(errors.find("data.dat does not match the upgrade information"), std::string::npos)
        << errors;
}

// On a terminal, credentials are asked for (the password without echo) and the typed ones are
// used; wrong ones are asked for again, three times at most, for a server and for a proxy alike.
TEST_F(Headless, CredentialsAreAskedForOnTheTerminal) {
    struct Row {
        const char* name;
        bool proxy;
        std::vector<std::string> typed; // user name, password, user name, ...
        int status;
    };
    const std::vector<std::string> wrong = {"nobody",  "wrong-1", "nobody",
                                            "wrong-2", "nobody",  "wrong-3"};
    const std::vector<Row> rows = {
        {"server, wrong then right", false, {"nobody", "wrong-1", "user", "secret"}, 0},
        {"server, wrong every time", false, wrong, 12},
        {"proxy, wrong then right", true, {"nobody", "wrong-1", "puser", "ppass"}, 0},
        {"proxy, wrong every time", true, wrong, 12},
    };
    const std::string proxy = "127.0.0.1:" + std::to_string(server.port());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Reset();
        std::map<std::string, std::string> env;
        std::string question = "\"data.dat\" is password protected";
        std::map<std::string, std::string> installed = NewSet();
        if (row.proxy) {
            server.actAsProxy("puser", "ppass"); // from here on
            env["http_proxy"] = "http://" + proxy;
            question = "The proxy " + proxy + " wants a user name and password.";
            Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
        } else {
            installed["data.dat"] = "granted";
            Publish("01/01/2030", {"/files/velmora", "/auth/data.dat"});
        }
        std::vector<std::pair<std::string, std::string>> dialogue;
        for (std::size_t i = 0; i + 1 < row.typed.size(); i += 2)
            dialogue.insert(dialogue.end(),
                            {{"User Name: ", row.typed[i]}, {"Password: ", row.typed[i + 1]}});
        EXPECT_EQ(RunOnTerminal({"--yes"}, env, dialogue), row.status) << screen;
        EXPECT_EQ(Occurrences(screen, "User Name: "), row.typed.size() / 2) << screen;
        EXPECT_GE(Occurrences(screen, question), row.typed.size() / 2) << screen;
        // The user name is echoed, the password never.
        EXPECT_NE(screen.find("nobody"), std::string::npos) << screen;
        for (std::size_t i = 1; i < row.typed.size(); i += 2)
            EXPECT_EQ(screen.find(row.typed[i]), std::string::npos) << row.typed[i] << screen;
        EXPECT_EQ(Installed(), row.status == 0 ? installed : oldSet);
    }
}

// The upgrade without a window needs no graphical toolkit: while it waits for the information
// file, the process has Qt Core mapped and neither Qt Gui nor Qt Widgets.
TEST_F(Headless, RunsWithoutTheGraphicalToolkit) {
    std::atomic<bool> asked{false};
    vutest::ScriptedServer silent([&](vutest::ScriptedConnection& c) {
        if (c.ReadRequest().empty())
            return;
        asked = true;
        c.Hold();
    });
    // The shell that Launch starts replaces itself with the program: the process id is the same.
    const pid_t pid = Launch({"--yes"}, {}, silent.url("/info.txt"));
    const bool waiting = PollUntil([&] { return asked.load(); }, 60s);
    const std::string maps =
        ReadFile("/proc/" + std::to_string(pid) + "/maps").value_or("<unreadable>");
    Kill(pid);
    WaitExit(pid, 60s);
    ASSERT_TRUE(waiting) << ReadFile(tmp / "errors.txt").value_or("");
    EXPECT_NE(maps.find("libQt6Core.so"), std::string::npos) << maps;
    for (const char* library : {"libQt6Gui.so", "libQt6Widgets.so"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library << " is mapped:\n" << maps;
}
