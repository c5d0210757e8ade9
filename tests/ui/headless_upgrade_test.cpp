// The headless upgrade, "velmora --upgrade", run as a real program against a local server: its
// exit statuses, what it leaves installed, and the faults a real installation meets.
#include "local_http_server.h"
#include "tests/support/helper_process.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vutest;

namespace {

const std::string kVelmora = VU_TEST_VELMORA;
const std::string kNewBuild = VU_TEST_FAKE_V2;

// A program folder (with a blank in its path) holding a copy of velmora, and a server that
// publishes an upgrade for it.
class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running());
        CopyFile(kVelmora, program(), 0755);
        WriteFile(dir / "data.dat", "old data", 0644);
        server.serve("/files/velmora", ReadFile(kNewBuild).value_or(""));
        server.serve("/files/data.dat", "new data");
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
        std::vector<std::string> command = prefix;
        command.insert(command.end(), {program(), "--upgrade", "--info-url",
                                       infoURL.empty() ? server.url("/info.txt") : infoURL});
        command.insert(command.end(), args.begin(), args.end());
        std::vector<std::string> shellArgs{"-c", "exec \"$@\" < /dev/null 2> \"$ERRORS\"", "sh"};
        shellArgs.insert(shellArgs.end(), command.begin(), command.end());
        env["ERRORS"] = tmp / "errors.txt";
        env["TMPDIR"] = tmp.path();
        const pid_t pid = Start("/bin/sh", shellArgs, env);
        const std::optional<int> status = WaitExit(pid, 120s);
        if (!status)
            Kill(pid);
        errors = ReadFile(tmp / "errors.txt").value_or("");
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Every file of the program folder with its content, besides the stand-in's log.
    std::map<std::string, std::string> Installed() const {
        std::map<std::string, std::string> files;
        for (const std::string& name : FolderEntries(dir.path()))
            if (name != "run.log")
                files[name] = ReadFile(dir / name).value_or("<unreadable>");
        return files;
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
};

} // namespace

TEST_F(Headless, InstallsConfirmsAndExitsWithZero) {
    Publish("01/01/2030", {"/files/velmora", "/files/data.dat"});
    EXPECT_EQ(Run({"--yes"}), 0) << errors;
    EXPECT_EQ(Installed(), (std::map<std::string, std::string>{{"data.dat", "new data"},
                                                               {"velmora", *ReadFile(kNewBuild)}}));
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
    // The server dies in the middle of the second file.
    Publish("01/01/2030", {"/files/data.dat", "/short/100000/5000"});
    EXPECT_EQ(Run({"--yes"}), 12) << errors;
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
