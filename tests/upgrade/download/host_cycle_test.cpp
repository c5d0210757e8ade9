// The whole cycle for real: a running program checks a local server, downloads three files
// (one of them its own new build), is closed, replaced by the helper and started again.
#include "tests/support/helper_process.h"
#include "tests/support/poll_wait.h"
#include "tests/upgrade/http/server/local_http_server.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using namespace vutest;

namespace {

std::string ReadOrEmpty(const std::string& path) {
    return ReadFile(path).value_or("");
}

std::vector<std::string> WaitForRecord(const std::string& path, const std::string& last,
                                       std::chrono::milliseconds timeout) {
    std::vector<std::string> lines;
    vutest::PollUntil(
        [&] {
            lines.clear();
            std::istringstream in(ReadOrEmpty(path));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            return !lines.empty() && lines.back() == last;
        },
        timeout);
    return lines;
}

} // namespace

TEST(upgrade_download_Host, RunningProgramIsReplacedAndRestartedWithAfterRestart) {
    TempFolder app("Host Folder/My  Host");
    TempFolder tmp("temp dir");
    const std::string program = app / "velmora";
    CopyFile(VU_TEST_HOST_V1, program, 0755);
    WriteFile(app / "data.dat", "old data", 0644);
    const std::string record = app / "record.txt";

    vutest::LocalHTTPServer server;
    server.serve("/pub/velmora.exe", ReadOrEmpty(VU_TEST_HOST_V2));
    server.serve("/pub/data.dat", "new data", "application/octet-stream",
                 {{"Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT"}});
    server.serve("/pub/readme.txt", "readme");
    server.serve("/info.txt",
                 "#version=2.0\r\n#method=0\r\n#url=" + server.url("/pub/velmora.exe") +
                     "\r\n#url2=" + server.url("/pub/data.dat") +
                     "\r\n#url3=" + server.url("/pub/readme.txt") + "\r\n",
                 "text/plain");

    const pid_t host = Start(program, {},
                             {{"VU_HOST_INFO_URL", server.url("/info.txt")},
                              {"VU_HOST_RECORD", record},
                              {"TMPDIR", tmp.path()},
                              {"QT_QPA_PLATFORM", "offscreen"}});
    const std::optional<int> status = WaitExit(host, 120s);
    if (!status)
        Kill(host);
    ASSERT_TRUE(status) << ReadOrEmpty(record);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

    const std::vector<std::string> lines = WaitForRecord(record, "2.0 exit", 60s);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"1.0 started", "1.0 filedone", "1.0 filedone",
                                        "1.0 filedone", "1.0 endupgrade", "1.0 exit", "2.0 started",
                                        "2.0 afterrestart /afterupgrade", "2.0 exit"}));
    // The new build was published under another name and replaced the program all the same.
    EXPECT_EQ(ReadOrEmpty(program), ReadOrEmpty(VU_TEST_HOST_V2));
    EXPECT_EQ(ReadOrEmpty(app / "data.dat"), "new data");
    EXPECT_EQ(ReadOrEmpty(app / "readme.txt"), "readme");
    EXPECT_FALSE(Exists(app / "velmora.exe"));
    for (const std::string& name : FolderEntries(app.path()))
        EXPECT_EQ(name.find(".uTMP"), std::string::npos) << name;
    // The new instance removed the helper of the upgrade.
    EXPECT_FALSE(Exists(tmp / "Daderevi3.exe"));
}
