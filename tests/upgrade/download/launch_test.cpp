// Writing the replacement helper from the program's resources and starting it for real.
#include "tests/support/helper_process.h"
#include "upgrade/replacer/image/vuReplacerImage.h"
#include "upgrade/replacer/image/vuReplacerLaunch.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuSha256.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vu;

using namespace vutest;

namespace {

std::string Image() {
    QFile resource(vuReplacerImageResourcePath());
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = resource.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TEST(upgrade_download_Launch, HelperIsWrittenFreshAndPrivate) {
    TempFolder tmp("my temp");
    const std::string path = tmp / kReplacerFileName;
    const mode_t old = umask(022);
    // Whatever was at the path before is replaced, not overwritten in place: a second name of
    // the old file keeps the old content.
    WriteFile(path, "stale helper", 0777);
    ASSERT_EQ(link(path.c_str(), (tmp / "second name").c_str()), 0);

    ASSERT_TRUE(WriteReplacerHelper(Q(path)));
    umask(old);
    EXPECT_EQ(ReadFile(path), Image());
    EXPECT_EQ(ModeOf(path), 0700u);
    EXPECT_EQ(ReadFile(tmp / "second name"), "stale helper");
}

TEST(upgrade_download_Launch, HelperPathThatIsALinkIsNotFollowed) {
    TempFolder tmp;
    TempFolder elsewhere;
    WriteFile(elsewhere / "victim", "victim", 0644);
    const std::string path = tmp / kReplacerFileName;
    ASSERT_EQ(symlink((elsewhere / "victim").c_str(), path.c_str()), 0);

    ASSERT_TRUE(WriteReplacerHelper(Q(path)));
    EXPECT_EQ(ReadFile(elsewhere / "victim"), "victim");
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(upgrade_download_Launch, UnwritableHelperPathFailsAndLeavesNothing) {
    TempFolder tmp;
    EXPECT_FALSE(WriteReplacerHelper(Q(tmp / "missing folder/Daderevi3.exe")));
    // A folder in the way cannot be removed by unlink.
    ASSERT_EQ(mkdir((tmp / "Daderevi3.exe").c_str(), 0755), 0);
    EXPECT_FALSE(WriteReplacerHelper(Q(tmp / "Daderevi3.exe")));
}

TEST(upgrade_download_Launch, CommandLineIsUnquotedAndArgumentsSplitAtEveryBlank) {
    const QString line =
        ReplacerCommandLine(QStringLiteral("/tmp/my temp/Daderevi3.exe"),
                            QStringLiteral("/opt/My  App/prog"), QStringLiteral("/afterupgrade0"));
    EXPECT_EQ(line, QStringLiteral("/tmp/my temp/Daderevi3.exe /opt/My  App/prog +/afterupgrade0"));
    EXPECT_EQ(ReplacerArguments(QStringLiteral("/tmp/my temp/Daderevi3.exe"), line),
              (QStringList{"/opt/My", "", "App/prog", "+/afterupgrade0"}));
}

TEST(upgrade_download_Launch, StartedHelperInstallsAndRestartsTheProgram) {
    // Temporary and program folders with blanks: the helper rejoins the split path.
    TempFolder tmp("temp dir");
    TempFolder app("Program Files/My  App");
    CopyFile(VU_TEST_FAKE_V1, app / "prog", 0755);
    CopyFile(VU_TEST_FAKE_V2, app / "prog.exe.uTMP", 0644);
    // This upgrade's downloads, with what was verified.
    const auto hash = vu::replacer::HashFile(app / "prog.exe.uTMP");
    ASSERT_TRUE(hash);
    ASSERT_TRUE(vu::replacer::WriteManifest(app / "prog.uLST",
                                            {{"prog.exe.uTMP", hash->sha256, hash->size, true}}));
    const QString helper = Q(tmp / kReplacerFileName);
    ASSERT_TRUE(WriteReplacerHelper(helper));

    const QString line = ReplacerCommandLine(helper, Q(app / "prog"), "/afterupgrade0");
    ASSERT_TRUE(StartReplacer(helper, ReplacerArguments(helper, line)));

    const std::vector<std::string> log = WaitForLogLines(app.path(), 1, 30s);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, 8), "v2 prog ");
    EXPECT_NE(log[0].find(" [/afterupgrade]"), std::string::npos) << log[0];
    EXPECT_EQ(ReadFile(app / "prog"), ReadFile(VU_TEST_FAKE_V2));
    EXPECT_FALSE(Exists(app / "prog.exe.uTMP"));
}
