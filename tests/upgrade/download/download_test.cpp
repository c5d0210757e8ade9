// Whole upgrades inside the test process: a local server publishes the files, the component
// downloads them beside a stand-in program, writes the real replacement helper and starts it,
// and the helper installs the files and starts the new stand-in with the restart switch.
#include "upgrade_fixture.h"

#include "tests/upgrade/http/server/scripted_server.h"
#include "tests/upgrade/http/server/small_disk.h"

#include "tests/support/event_loop_wait.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/dialogs/vuWizardProgress.h"
#include "upgrade/replacer/image/vuReplacerLaunch.h"
#include "upgrade/updater/vuUpdaterDownload.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace vu;

using namespace download_test;
using vutest::Exists;
using vutest::ReadFile;
using vutest::ShownBox;
using vutest::WaitFor;

namespace {

// While it lives, the whole process (every thread) runs as the unprivileged user "nobody"
// (65534) when it was started as root, so that permission bits bind it as they bind a user.
// The folders above `folder` are opened to others for that time (search only), and put back
// afterwards. The saved user id stays root, which is what allows the way back. Does nothing
// for a process that is not root.
class UnprivilegedUser {
public:
    explicit UnprivilegedUser(const std::string& folder) {
        if (geteuid() != 0)
            return;
        for (std::filesystem::path dir = std::filesystem::path(folder).parent_path();
             dir.has_relative_path(); dir = dir.parent_path()) {
            struct stat st {};
            if (stat(dir.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0 &&
                chmod(dir.c_str(), (st.st_mode & 07777) | S_IXOTH) == 0)
                opened_.emplace_back(dir, st.st_mode & 07777);
        }
        if (const int count = getgroups(0, nullptr); count >= 0) {
            groups_.resize(static_cast<size_t>(count));
            // Keeps only the groups actually read.
            groups_.resize(static_cast<size_t>(std::max(0, getgroups(count, groups_.data()))));
        }
        if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, 0) != 0 ||
            setresuid(kNobody, kNobody, 0) != 0) {
            failure_ = std::string("cannot become nobody: ") + std::strerror(errno);
            restore();
        }
    }
    ~UnprivilegedUser() { restore(); }
    UnprivilegedUser(const UnprivilegedUser&) = delete;
    UnprivilegedUser& operator=(const UnprivilegedUser&) = delete;

    // Whether permission bits bind this process now.
    bool active() const { return geteuid() != 0 && failure_.empty(); }
    const std::string& failure() const { return failure_; }

private:
    static constexpr uid_t kNobody = 65534;

    void restore() {
        if (restored_)
            return;
        restored_ = true;
        if (getuid() != 0 || geteuid() != 0) {
            // Back to root first: only root may set the groups again.
            if (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0 ||
                setgroups(groups_.size(), groups_.data()) != 0)
                std::abort(); // a test process left as "nobody" would fail everything after
        }
        for (const auto& [dir, mode] : opened_)
            chmod(dir.c_str(), mode);
    }

    std::vector<std::pair<std::filesystem::path, mode_t>> opened_;
    std::vector<gid_t> groups_;
    std::string failure_;
    bool restored_ = false;
};

std::string NewBuild() {
    return ReadFile(VU_TEST_FAKE_V2).value_or("");
}

constexpr const char* kLastModified = "Wed, 21 Oct 2015 07:28:00 GMT";

void ServeFile(UpgradeScenario& s, const std::string& path, const std::string& body,
               bool withDate = true) {
    std::vector<std::pair<std::string, std::string>> headers;
    if (withDate)
        headers.emplace_back("Last-Modified", kLastModified);
    s.Server.serve(path, body, "application/octet-stream", headers);
}

time_t ModificationTime(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// The fake program's log line for a start with the restart switch, at the test's priority.
std::string Ran(const std::string& version, const std::string& name) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return version + " " + name + " nice=" + std::to_string(nice) + " [/afterupgrade]";
}

const std::string kRestarted = Ran("v2", "prog.exe");
const std::string kRestartedOld = Ran("v1", "prog.exe");

} // namespace

TEST(upgrade_download_Cycle, ThreeFilesWithWizardAreInstalledAndTheProgramRestarts) {
    UpgradeScenario s;
    vutest::WriteFile(s.Dir / "data.dat", "old data", 0640);
    ServeFile(s, "/files/prog.exe", NewBuild());
    ServeFile(s, "/files/data.dat", std::string(100000, 'd'));
    ServeFile(s, "/files/readme.txt", "readme", false);
    s.Publish({"/files/prog.exe", "/files/data.dat", "/files/readme.txt"});
    s.Updater->Wizard()->SetEnabled(true);
    // The user presses OK on the completion page.
    QTimer ok;
    bool sawCompletion = false;
    QObject::connect(&ok, &QTimer::timeout, [&] {
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        if (form && form->Completed()) {
            sawCompletion = true;
            form->FinishBtnClick();
        }
    });
    ok.start(10);

    ASSERT_TRUE(s.Run());
    EXPECT_TRUE(sawCompletion);
    EXPECT_EQ(s.Events.Closed, 1);
    EXPECT_EQ(s.Events.EndUpgrade, 1);
    ASSERT_EQ(s.Events.Started.size(), 3u);
    EXPECT_EQ(s.Events.StartSizes[1], 100000);
    EXPECT_NE(s.Events.StartTimes[0], 0);
    EXPECT_EQ(s.Events.StartTimes[2], 0);
    ASSERT_EQ(s.Events.Done.size(), 3u);
    EXPECT_EQ(s.Events.Done[1].toStdString(), s.Dir / "data.dat.uTMP");
    ASSERT_FALSE(s.Events.Totals.empty());
    EXPECT_TRUE(std::is_sorted(s.Events.Totals.begin(), s.Events.Totals.end()));
    EXPECT_EQ(s.Events.Totals.back(), 100);
    // The helper was written privately into the temporary folder.
    EXPECT_EQ(vutest::ModeOf(HelperFolder() + kReplacerFileName), 0700u);

    EXPECT_EQ(s.Log(1), (std::vector<std::string>{kRestarted}));
    EXPECT_EQ(ReadFile(s.Program()), NewBuild());
    EXPECT_EQ(ReadFile(s.Dir / "data.dat"), std::string(100000, 'd'));
    EXPECT_EQ(vutest::ModeOf(s.Dir / "data.dat"), 0640u);
    EXPECT_EQ(ReadFile(s.Dir / "readme.txt"), "readme");
    EXPECT_TRUE(s.PendingFiles().empty());
}

TEST(upgrade_download_Cycle, LostFileSkippedOrAbortedByTheAnswer) {
    for (const bool skip : {true, false}) {
        SCOPED_TRACE(skip ? "Yes" : "No");
        UpgradeScenario s;
        // A leftover of an interrupted upgrade: never installed, deleted by an abort.
        vutest::WriteFile(s.Dir / "old.txt.uTMP", "leftover", 0600);
        ServeFile(s, "/files/prog.exe", NewBuild());
        ServeFile(s, "/files/readme.txt", "readme");
        s.Publish({"/files/prog.exe", "/status/404", "/files/readme.txt"});
        s.Presenter.OnBox = [skip](const ShownBox&) { return skip ? IDYES : IDNO; };

        ASSERT_TRUE(s.Run());
        ASSERT_EQ(s.Events.Lost.size(), 1u);
        EXPECT_EQ(s.Events.Lost[0].second, 404);
        ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
        EXPECT_EQ(s.Presenter.Boxes[0].Caption, LoadMessageText(vmError) + " #404");
        EXPECT_EQ(s.Presenter.Boxes[0].Text, FormatMessageText(vmLostFile, {QString("404")}));
        EXPECT_EQ(s.Presenter.Boxes[0].Flags, MB_YESNO | MB_ICONEXCLAMATION);
        if (skip) {
            EXPECT_EQ(s.Events.Closed, 1);
            EXPECT_EQ(s.Events.Aborted, 0);
            EXPECT_EQ(s.Log(1), (std::vector<std::string>{kRestarted}));
            EXPECT_EQ(ReadFile(s.Dir / "readme.txt"), "readme");
            EXPECT_FALSE(Exists(s.Dir / "404"));
            EXPECT_FALSE(Exists(s.Dir / "old.txt"));
        } else {
            EXPECT_EQ(s.Events.Aborted, 1);
            EXPECT_EQ(s.Events.Closed, 0);
            EXPECT_EQ(s.Events.EndUpgrade, 0);
            EXPECT_TRUE(s.PendingFiles().empty());
            EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
            EXPECT_EQ(s.Events.Done.size(), 1u);
        }
    }
    // The program file itself is never left out: the box only says it is missing, and the
    // upgrade stops whatever the handler answers.
    UpgradeScenario s;
    ServeFile(s, "/files/readme.txt", "readme");
    s.Publish({"/missing/prog.exe", "/files/readme.txt"});
    s.Updater->OnLostFile = [](TvuUpdater*, const QByteArray&, qint32, bool& go) { go = true; };
    ASSERT_TRUE(s.Run());
    ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
    EXPECT_EQ(s.Presenter.Boxes[0].Flags, MB_OK | MB_ICONERROR);
    const QString question = FormatMessageText(vmLostFile, {QString("prog.exe")});
    EXPECT_EQ(s.Presenter.Boxes[0].Text, question.left(question.indexOf("\r\r")));
    EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoLostFile}));
    EXPECT_EQ(s.Server.requestsFor("/files/readme.txt").size(), 0u);
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

TEST(upgrade_download_Cycle, SizeTestSkipsFilesOfTheSameSizeButNeverTheProgram) {
    UpgradeScenario s;
    vutest::WriteFile(s.Dir / "same.dat", std::string(500, 'o'), 0644);
    vutest::WriteFile(s.Dir / "other.dat", std::string(10, 'o'), 0644);
    vutest::WriteFile(s.Dir / "PROG.EXE", std::string(700, 'o'), 0644);
    ServeFile(s, "/files/same.dat", std::string(500, 'n'));
    ServeFile(s, "/files/other.dat", std::string(20, 'n'));
    // Named like the running program in another case, with the size of the installed file.
    ServeFile(s, "/files/PROG.EXE", std::string(700, 'n'));
    s.Publish({"/files/same.dat", "/files/other.dat", "/files/PROG.EXE"});
    s.Updater->SetMiscFilesUpgrade(mfuOnlyIfSizeDifferent);
    s.Updater->OnEndUpgrade = [&](TvuUpdater*, bool& restart) {
        ++s.Events.EndUpgrade;
        restart = false;
    };

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Events.Started.size(), 3u);
    EXPECT_EQ(s.PendingFiles(), (std::vector<std::string>{"PROG.EXE.uTMP", "other.dat.uTMP"}));

    // With a single listed file there is no size test.
    UpgradeScenario single;
    vutest::WriteFile(single.Dir / "same.dat", std::string(500, 'o'), 0644);
    ServeFile(single, "/files/same.dat", std::string(500, 'n'));
    single.Publish({"/files/same.dat"});
    single.Updater->SetMiscFilesUpgrade(mfuOnlyIfSizeDifferent);
    single.Updater->OnEndUpgrade = [&](TvuUpdater*, bool& restart) {
        ++single.Events.EndUpgrade;
        restart = false;
    };
    ASSERT_TRUE(single.Run());
    EXPECT_EQ(single.PendingFiles(), (std::vector<std::string>{"same.dat.uTMP"}));

    // Every file of the same size: nothing to install, and no helper is started for nothing.
    UpgradeScenario none;
    for (const char* name : {"a.dat", "b.dat"}) {
        vutest::WriteFile(none / name, std::string(50, 'o'), 0644);
        ServeFile(none, std::string("/files/") + name, std::string(50, 'n'));
    }
    none.Publish({"/files/a.dat", "/files/b.dat"});
    none.Updater->SetMiscFilesUpgrade(mfuOnlyIfSizeDifferent);
    ASSERT_TRUE(none.Run());
    EXPECT_EQ(none.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoNothingToInstall}));
    EXPECT_EQ(none.Events.Closed, 0);
    EXPECT_FALSE(Exists(none / "run.log"));
    EXPECT_EQ(ReadFile(none / "a.dat"), std::string(50, 'o'));
}

TEST(upgrade_download_Cycle, FileTimesFollowLastModifiedOnlyWhenTheServerSendsIt) {
    UpgradeScenario s;
    ServeFile(s, "/files/dated.txt", "dated");
    ServeFile(s, "/files/undated.txt", "undated", false);
    s.Publish({"/files/dated.txt", "/files/undated.txt"});
    s.Updater->OnEndUpgrade = [&](TvuUpdater*, bool& restart) {
        ++s.Events.EndUpgrade;
        restart = false;
    };
    const time_t before = time(nullptr);

    ASSERT_TRUE(s.Run());
    // 21 Oct 2015 07:28:00 UTC.
    EXPECT_EQ(ModificationTime(s.Dir / "dated.txt.uTMP"), 1445412480);
    EXPECT_GE(ModificationTime(s.Dir / "undated.txt.uTMP"), before);
}

TEST(upgrade_download_Cycle, EndUpgradeClearingRestartKeepsTheOldProgram) {
    UpgradeScenario s;
    ServeFile(s, "/files/prog.exe", NewBuild());
    s.Publish({"/files/prog.exe"});
    s.Updater->OnEndUpgrade = [&](TvuUpdater*, bool& restart) {
        ++s.Events.EndUpgrade;
        EXPECT_TRUE(restart);
        restart = false;
    };

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Events.EndUpgrade, 1);
    EXPECT_EQ(s.Events.Closed, 0);
    EXPECT_EQ(s.PendingFiles(), (std::vector<std::string>{"prog.exe.uTMP"}));
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
    EXPECT_FALSE(Exists(s.Dir / "run.log"));
    // No upgrade will install them: the next start of the program, once this one has ended,
    // removes them.
    s.Updater.reset();
    TvuUpdater next;
    next.FinishInterruptedUpgrade();
    EXPECT_TRUE(s.PendingFiles().empty());
    EXPECT_FALSE(Exists(s.Dir / "prog.exe.uLST"));
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

// A helper that ran while the program was closed leaves a note of what it found; the next start
// tells it once, as the outcome it stands for, and removes it.
TEST(upgrade_download_Cycle, HelperNotesAreToldOnceAtTheNextStart) {
    UpgradeScenario s;
    s.Updater.reset();
    const QString folder = QString::fromStdString(s.Root).chopped(1);
    struct Row {
        const char* suffix;
        std::string content;
        QString text;
        unsigned flags;
    };
    const std::vector<Row> rows = {
        {".uRBK", "", LoadMessageText(vmPreviousVersionRestored), MB_OK | MB_ICONWARNING},
        {".uVFY", "c.dat.uTMP\n", FormatMessageText(vmFileVerificationFailed, {"c.dat"}),
         MB_OK | MB_ICONERROR},
        // The journal could not be written: nothing was installed.
        {".uNWR", "", FormatMessageText(vmFolderNotWritable, {folder}), MB_OK | MB_ICONERROR},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.suffix);
        vutest::WriteFile(s.Program() + row.suffix, row.content);
        s.Presenter.Boxes.clear();
        std::vector<QString> events;
        TvuUpdater next;
        next.OnPreviousVersionRestored = [&](TvuUpdater*) { events.push_back("restored"); };
        next.OnFileVerificationFailed = [&](TvuUpdater*, const QByteArray& name,
                                            const QByteArray&) {
            events.push_back(QString::fromLocal8Bit(name));
        };
        next.OnFolderNotWritable = [&](TvuUpdater*, const QString& where) {
            events.push_back(where);
        };
        next.FinishInterruptedUpgrade();
        next.FinishInterruptedUpgrade();
        ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
        EXPECT_EQ(s.Presenter.Boxes[0].Text, row.text);
        EXPECT_EQ(s.Presenter.Boxes[0].Flags, row.flags);
        EXPECT_EQ(events.size(), 1u);
        EXPECT_FALSE(Exists(s.Program() + row.suffix));
        EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
    }
}

TEST(upgrade_download_Cycle, CompletionPageClosedThroughTheAbortQuestion) {
    UpgradeScenario s;
    ServeFile(s, "/files/prog.exe", NewBuild());
    ServeFile(s, "/files/data.dat", "data");
    s.Publish({"/files/prog.exe", "/files/data.dat"});
    s.Updater->Wizard()->SetEnabled(true);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        if (form && form->Completed())
            form->close(); // the close box: the abort question, answered Yes
    });
    closer.start(10);

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Events.Aborted, 1);
    EXPECT_EQ(s.Events.EndUpgrade, 0);
    EXPECT_EQ(s.Events.Closed, 0);
    EXPECT_TRUE(s.PendingFiles().empty());
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
    ASSERT_FALSE(s.Presenter.Boxes.empty());
    EXPECT_EQ(s.Presenter.Boxes.back().Flags, MB_YESNO | MB_ICONQUESTION);
}

TEST(upgrade_download_Cycle, CancelWhileAFileIsTransferredDeletesEveryDownload) {
    UpgradeScenario s;
    ServeFile(s, "/files/readme.txt", "readme");
    s.Publish({"/files/readme.txt", "/stall-body/50000"});
    s.Updater->Wizard()->SetEnabled(true);
    // Once the second file hangs halfway, the user cancels and confirms the abort question.
    QTimer canceller;
    bool cancelled = false;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        if (!cancelled && form && s.Server.stalledCount() > 0) {
            cancelled = true;
            form->CancelBtnClick();
        }
    });
    canceller.start(10);

    ASSERT_TRUE(s.Run());
    s.Server.releaseStalls();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(s.Events.Aborted, 1);
    EXPECT_EQ(s.Events.Closed, 0);
    EXPECT_EQ(s.Events.Done.size(), 1u);
    EXPECT_TRUE(s.PendingFiles().empty());
    EXPECT_EQ(vuUpdaterWizardForm(), nullptr);
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

TEST(upgrade_download_Cycle, SameLastPathElementDownloadsToOneFileTheSecondWins) {
    UpgradeScenario s;
    ServeFile(s, "/a/data.dat", "first");
    ServeFile(s, "/b/data.dat", "second");
    s.Publish({"/a/data.dat", "/b/data.dat"});

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Events.Done.size(), 2u);
    EXPECT_EQ(s.Log(1), (std::vector<std::string>{Ran("v1", "prog.exe")}));
    EXPECT_EQ(ReadFile(s.Dir / "data.dat"), "second");
}

TEST(upgrade_download_Cycle, ExternalSetupRunsTheDownloadedSetupFirst) {
    UpgradeScenario s("Setup Test/My  App");
    ServeFile(s, "/files/setup.exe", NewBuild());
    s.Publish({"/files/setup.exe"}, 1);

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Events.Closed, 1);
    EXPECT_EQ(s.Log(2), (std::vector<std::string>{Ran("v2", "setup.exe"), Ran("v1", "prog.exe")}));
    EXPECT_TRUE(WaitFor([&] { return !Exists(s.Dir / "setup.exe"); }, 30s));
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

TEST(upgrade_download_Faults, ServerDyingMidFileStopsWithOneMessageAndKeepsTheOldSet) {
    for (const char* broken : {"/short/100000/5000", "/stall-chunked/5000"}) {
        SCOPED_TRACE(broken);
        UpgradeScenario s;
        s.Updater->Timeouts()->ReceiveTimeout = 500; // a stalled server counts as gone
        vutest::WriteFile(s.Dir / "readme.txt", "old readme", 0644);
        const auto before = s.Installed();
        ServeFile(s, "/files/readme.txt", "readme");
        s.Publish({"/files/readme.txt", broken});
        s.Presenter.OnBox = [](const ShownBox&) { return IDYES; };

        ASSERT_TRUE(s.Run());
        // Give a queued question the chance to show up: there must be none.
        WaitFor([] { return false; }, 200ms);
        s.Server.releaseStalls();
        EXPECT_EQ(s.Events.ConnLost, 1);
        EXPECT_EQ(s.Events.Aborted, 0);
        EXPECT_EQ(s.Events.Closed, 0);
        EXPECT_TRUE(s.Events.Lost.empty());
        ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
        // A server that went silent is named as such (0.5 s counts as a whole second).
        const QString server = "'" + QString::fromStdString(s.Server.origin()) + "'";
        EXPECT_EQ(s.Presenter.Boxes[0].Text, QString(broken).startsWith("/stall")
                                                 ? FormatMessageText(vmNoAnswer, {server, 1})
                                                 : LoadMessageText(vmConnectionLost));
        EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoConnectionLost}));
        // Neither the finished file nor the broken one stays behind.
        EXPECT_EQ(s.Installed(), before);
        EXPECT_EQ(vuUpdaterWizardForm(), nullptr);
    }
}

// Retries follow at once, their pauses recorded (for the scenario's lifetime).
static void RecordRetryPauses(UpgradeScenario& s, std::vector<int>& pauses) {
    s.Environment.Set(&TvuEnvironment::Schedule,
                      [&pauses](QObject* context, int ms, std::function<void()> retry) {
                          pauses.push_back(ms);
                          QTimer::singleShot(0, context, std::move(retry));
                      });
}

TEST(upgrade_download_Faults, DroppedConnectionIsRetriedFromThePartialFileBeforeTheUserHears) {
    // "/cut/<size>/<bytes>/<times>": the first <times> answers break after <bytes> of theirs. Each
    // retry asks for the rest after a growing pause: two cuts, and the file arrives whole without
    // a message; a connection that keeps dropping, three retries, then the one message of a lost
    // connection.
    struct Row {
        const char* path;
        std::vector<int> pauses;
        std::vector<std::string> ranges; // of the requests, in order
        std::vector<QString> boxes;
    };
    const std::vector<Row> rows = {
        {"/cut/300000/120000/2", {1000, 2000}, {"", "bytes=120000-", "bytes=240000-"}, {}},
        {"/cut/300000/1000/9",
         {1000, 2000, 4000},
         {"", "bytes=1000-", "bytes=2000-", "bytes=3000-"},
         {LoadMessageText(vmConnectionLost)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        UpgradeScenario s;
        std::vector<int> pauses;
        RecordRetryPauses(s, pauses);
        s.Publish({row.path});
        ASSERT_TRUE(s.Run());
        EXPECT_EQ(pauses, row.pauses);
        // Each resumed request names the version it resumes.
        std::vector<std::string> ranges;
        for (const auto& request : s.Server.requestsFor(row.path)) {
            ranges.push_back(request.header("Range"));
            EXPECT_EQ(request.header("If-Range"), ranges.size() == 1 ? "" : "\"cut-300000\"");
        }
        EXPECT_EQ(ranges, row.ranges);
        EXPECT_EQ(s.Events.ConnLost, row.boxes.empty() ? 0 : 1);
        std::vector<QString> boxes;
        for (const auto& box : s.Presenter.Boxes)
            boxes.push_back(box.Text);
        EXPECT_EQ(boxes, row.boxes);
        if (row.boxes.empty()) {
            EXPECT_EQ(s.Log(1), (std::vector<std::string>{kRestartedOld}));
            EXPECT_EQ(ReadFile(s.Dir / "2"), vutest::LocalHTTPServer::pattern(300000));
        } else {
            EXPECT_TRUE(s.PendingFiles().empty());
        }
    }
}

// Every retry tells why and which it is; a file that keeps coming, however steadily, ends at the
// file time limit without retries; a body longer than its recorded size is stopped at once.
TEST(upgrade_download_Faults, RetriesSayWhyAndEveryFileIsBoundInTimeAndSize) {
    struct Retry {
        int retry, of, pause;
        QByteArray reason;
        bool operator==(const Retry&) const = default;
    };
    auto recordRetries = [](UpgradeScenario& s, std::vector<Retry>& retries) {
        s.Updater->OnRetry = [&retries](TvuUpdater*, const QByteArray&, int retry, int of,
                                        int pause, const QByteArray& reason) {
            retries.push_back({retry, of, pause, reason});
        };
    };
    {
        // Silent after part of the body: each retry says so, and the wizard's status line shows
        // it until the retry's data comes.
        UpgradeScenario s;
        s.Updater->Wizard()->SetEnabled(true);
        auto statusLine = [] {
            TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
            return form != nullptr ? form->LEstimatedTime->text() : QStringLiteral("no wizard");
        };
        // The line when a transfer breaks (before its retry is announced) and when the retry
        // starts.
        std::vector<QString> atBreak, atRetry;
        s.Environment.Set(&TvuEnvironment::Schedule,
                          [&](QObject* context, int, std::function<void()> retry) {
                              atBreak.push_back(statusLine());
                              QTimer::singleShot(0, context, [&, retry] {
                                  atRetry.push_back(statusLine());
                                  retry();
                              });
                          });
        std::vector<Retry> retries;
        recordRetries(s, retries);
        s.Updater->Timeouts()->ReceiveTimeout = 300;
        s.Publish({"/stall-body/5000"});
        ASSERT_TRUE(s.Run());
        s.Server.releaseStalls();
        EXPECT_EQ(retries, (std::vector<Retry>{{1, 3, 1, "no data for 1 s"},
                                               {2, 3, 2, "no data for 1 s"},
                                               {3, 3, 4, "no data for 1 s"}}));
        EXPECT_EQ(s.Events.ConnLost, 1);
        std::vector<QString> shown;
        for (const Retry& r : retries)
            shown.push_back(RetryStatusText("5000", r.retry, r.of, r.pause, r.reason));
        EXPECT_EQ(atRetry, shown);
        ASSERT_EQ(atBreak.size(), 3u);
        const QString timeLeft = WizardTimeLeftText(0).section(u':', 0, 0);
        for (const QString& line : atBreak)
            EXPECT_TRUE(line.startsWith(timeLeft)) << line.toStdString();
    }
    {
        // A drip of a byte every 20 ms, fast enough for the minimum speed, never ending.
        vutest::ScriptedServer drip([](vutest::ScriptedConnection& c) {
            if (c.ReadRequest().empty() ||
                !c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n"))
                return;
            while (c.Send(std::string(8, 'd')) && c.Pause(20)) {
            }
        });
        UpgradeScenario s;
        std::vector<int> pauses;
        RecordRetryPauses(s, pauses);
        std::vector<Retry> retries;
        recordRetries(s, retries);
        s.Updater->SetFileTimeLimit(2);
        s.Server.serve("/info.txt", "#version=2.0\r\n#url=" + drip.url("/drip.bin") + "\r\n",
                       "text/plain");
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(s.Run(30s));
        EXPECT_LT(clock.elapsed(), 15000);
        EXPECT_TRUE(retries.empty());
        EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoConnectionLost}));
        EXPECT_EQ(s.Updater->Failure().Cause, TvuFailureCause::TimeLimit);
        EXPECT_TRUE(s.PendingFiles().empty());
    }
    {
        // Recorded as 10 bytes, sent without end and without a length.
        vutest::ScriptedServer endless([](vutest::ScriptedConnection& c) {
            if (c.ReadRequest().empty() || !c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
                return;
            const std::string block(65536, 'e');
            while (c.Send(block)) {
            }
        });
        UpgradeScenario s;
        const auto before = s.Installed();
        s.Server.serve("/info.txt",
                       "#version=2.0\r\n#url=" + endless.url("/endless.bin") + "\r\n#size=10\r\n",
                       "text/plain");
        ASSERT_TRUE(s.Run(30s));
        EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoVerificationFailed}));
        EXPECT_LE(s.Updater->BytesRead(), 10u + 65536u);
        EXPECT_EQ(s.Installed(), before);
    }
}

TEST(upgrade_download_Faults, FullDiskEndsTheUpgradeAndLeavesTheOldSet) {
    // The program folder is a small file system of its own with little room left.
    const std::size_t programSize = ReadFile(VU_TEST_FAKE_V1).value_or("").size();
    vutest::SmallDisk disk(programSize + 96 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    for (const bool chunked : {false, true}) {
        SCOPED_TRACE(chunked ? "chunked" : "with length");
        UpgradeScenario s(UpgradeScenario::InFolder{disk.path()});
        vutest::WriteFile(s / "data.dat", "old data", 0644);
        const auto before = s.Installed();
        ServeFile(s, "/files/data.dat", "new data");
        s.Publish({"/files/data.dat", chunked ? "/chunked/400000" : "/bytes/400000"});

        ASSERT_TRUE(s.Run());
        EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoNotStored}));
        EXPECT_EQ(s.Events.Done.size(), 1u); // only the file that fitted
        EXPECT_EQ(s.Events.Aborted, 1);
        EXPECT_EQ(s.Events.Closed, 0);
        ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
        EXPECT_EQ(s.Presenter.Boxes[0].Text,
                  FormatMessageText(vmFileNotStored, {QString("400000")}));
        EXPECT_EQ(s.Installed(), before);
        std::remove((s / "data.dat").c_str());
        std::remove(s.Program().c_str());
    }
}

TEST(upgrade_download_Faults, CheckDuringTheUpgradeDoesNothing) {
    UpgradeScenario s;
    ServeFile(s, "/files/readme.txt", "readme");
    ServeFile(s, "/files/data.dat", "data");
    s.Publish({"/files/readme.txt", "/files/data.dat"});
    s.Updater->Wizard()->SetEnabled(true);
    // A check between the two files (the channel is free for a moment) and one on the
    // completion page.
    s.Updater->OnFileDone = [&](TvuUpdater* u, const QByteArray& name) {
        s.Events.Done.push_back(name);
        QMetaObject::invokeMethod(
            u, [u] { u->CheckForUpdate(); }, Qt::QueuedConnection);
    };
    QTimer presser;
    int checksOnCompletion = 0;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        if (form && form->Completed()) {
            if (checksOnCompletion++ == 0) {
                s.Updater->CheckForUpdate();
                return;
            }
            form->FinishBtnClick();
        }
    });
    presser.start(10);

    ASSERT_TRUE(s.Run());
    EXPECT_EQ(s.Server.requestsFor("/info.txt").size(), 1u);
    EXPECT_GE(checksOnCompletion, 1);
    EXPECT_EQ(s.Events.Done.size(), 2u);
    EXPECT_EQ(s.Events.Closed, 1);
    EXPECT_EQ(s.Log(1), (std::vector<std::string>{kRestartedOld}));
    EXPECT_EQ(ReadFile(s.Dir / "readme.txt"), "readme");
    EXPECT_EQ(ReadFile(s.Dir / "data.dat"), "data");
    EXPECT_TRUE(s.PendingFiles().empty());
}

TEST(upgrade_download_Faults, HelperThatCannotBeWrittenAnywhereIsNotStarted) {
    // Something the helper cannot replace sits at its path in the temporary folder: it is
    // written beside the program instead; when that fails too, nothing is installed and the
    // message names every place with its reason.
    const std::string helper = UpgradeHelperPath().toStdString();
    for (const bool besideBlocked : {false, true}) {
        SCOPED_TRACE(besideBlocked);
        UpgradeScenario s;
        ServeFile(s, "/files/prog.exe", NewBuild());
        s.Publish({"/files/prog.exe"});
        ASSERT_EQ(mkdir(helper.c_str(), 0700), 0);
        vutest::WriteFile(helper + "/keep", "keep", 0600);
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        if (besideBlocked)
            vutest::WriteFile(s.Program() + ".uHLP", "in the way", 0600);

        ASSERT_TRUE(s.Run());
        EXPECT_EQ(s.Events.EndUpgrade, 1);
        EXPECT_EQ(s.Events.Closed, besideBlocked ? 0 : 1);
        if (besideBlocked) {
            ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
            const QString text = s.Presenter.Boxes[0].Text;
            EXPECT_TRUE(text.contains(QString::fromStdString(helper) + ": ")) << text.toStdString();
            EXPECT_TRUE(text.contains(QString::fromStdString(s.Program()) + ".uHLP: "))
                << text.toStdString();
            EXPECT_TRUE(s.PendingFiles().empty());
            EXPECT_FALSE(Exists(s.Program() + ".uLST"));
            EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
            EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoHelperNotStarted}));
        } else {
            EXPECT_TRUE(s.Presenter.Boxes.empty());
            EXPECT_EQ(s.Log(1), (std::vector<std::string>{kRestarted}));
        }
        EXPECT_EQ(ReadFile(helper + "/keep"), "keep");
        unlink((helper + "/keep").c_str());
        rmdir(helper.c_str());
        if (!runtime.isEmpty())
            qputenv("XDG_RUNTIME_DIR", runtime);
    }
}

TEST(upgrade_download_Faults, DownloadThatCannotBeStoredEndsTheUpgrade) {
    UpgradeScenario s;
    ServeFile(s, "/files/prog.exe", NewBuild());
    ServeFile(s, "/files/data.dat", "data");
    s.Publish({"/files/data.dat", "/files/prog.exe"});
    // A folder where the download should go: the file cannot be created.
    ASSERT_EQ(mkdir((s.Dir / "prog.exe.uTMP").c_str(), 0755), 0);

    ASSERT_TRUE(s.Run());
    ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
    EXPECT_EQ(s.Presenter.Boxes[0].Text, FormatMessageText(vmFileNotStored, {QString("prog.exe")}));
    EXPECT_TRUE(s.Events.Lost.empty());
    EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoNotStored}));
    EXPECT_EQ(s.Events.Aborted, 1);
    EXPECT_EQ(s.Events.Closed, 0);
    EXPECT_FALSE(Exists(s.Dir / "data.dat.uTMP"));
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

TEST(upgrade_download_Faults, ReadOnlyProgramFolderKeepsTheOldProgram) {
    UpgradeScenario s;
    ServeFile(s, "/files/prog.exe", NewBuild());
    s.Publish({"/files/prog.exe"});
    ASSERT_EQ(chmod(s.Dir.path().c_str(), 0555), 0);

    s.Updater->SetShowMessages(mAskUpgrade);
    {
        // Permission bits do not bind the superuser: as root, the upgrade runs as "nobody".
        UnprivilegedUser user(s.Dir.path());
        ASSERT_TRUE(user.active()) << user.failure();
        ASSERT_TRUE(s.Run());
    }
    chmod(s.Dir.path().c_str(), 0755);
    // Refused before the question, with a message of its own; nothing is downloaded.
    EXPECT_EQ(s.Events.Outcomes, (std::vector<TvuUpgradeOutcome>{uoFolderNotWritable}));
    EXPECT_TRUE(s.Events.Started.empty());
    ASSERT_EQ(s.Presenter.Boxes.size(), 1u);
    EXPECT_EQ(s.Presenter.Boxes[0].Flags, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(s.PendingFiles().empty());
    EXPECT_EQ(ReadFile(s.Program()), ReadFile(VU_TEST_FAKE_V1));
}

int main(int argc, char** argv) {
    // A temporary folder with a blank in its name receives the helper.
    char pattern[] = "/tmp/vu download XXXXXX";
    if (!mkdtemp(pattern))
        return 2;
    setenv("TMPDIR", pattern, 1);
    // File times are compared in seconds since the epoch.
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(pattern, ec);
    return rc;
}
