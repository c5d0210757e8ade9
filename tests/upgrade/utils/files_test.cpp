// File routines, the private temporary folder, embedded resources, browser look-up and URL opening.
#include "upgrade/utils/vuUtils.h"

#include "tests/support/environment_override.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace vu;

namespace {

struct stat StatOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    return st;
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

// Replaces an environment variable for one test.
class EnvGuard {
public:
    EnvGuard(const char* name, const QByteArray& value) : name_(name) {
        had_ = qEnvironmentVariableIsSet(name);
        old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~EnvGuard() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

} // namespace

TEST(UtilsFiles, SetFileTimesKeepsOrPacksTimes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("f.txt");
    WriteFile(file, "x");
    TDateTime t = 0;
    ASSERT_TRUE(TryEncodeDateTime(2001, 2, 3, 4, 5, 7, 500, t));

    // Known starting point, then all three -1: nothing changes and the call succeeds.
    ASSERT_TRUE(SetFileTimes(file, -1, t, t));
    const struct stat before = StatOf(file);
    ASSERT_TRUE(SetFileTimes(file, -1, -1, -1));
    const struct stat after = StatOf(file);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    // Two-second resolution, no zone conversion: 04:05:07.5 UTC is stored as 04:05:06 UTC.
    EXPECT_EQ(after.st_mtim.tv_sec, 981173106);
    EXPECT_EQ(after.st_mtim.tv_nsec, 0);

    // Only the last-write time: the access time stays.
    TDateTime later = 0;
    ASSERT_TRUE(TryEncodeDateTime(2010, 1, 1, 0, 0, 0, 0, later));
    ASSERT_TRUE(SetFileTimes(file, later, later, -1));
    EXPECT_EQ(StatOf(file).st_mtim.tv_sec, 1262304000);
    EXPECT_EQ(StatOf(file).st_atim.tv_sec, 981173106);

    // A time outside the packable range leaves that time alone.
    TDateTime old = 0;
    ASSERT_TRUE(TryEncodeDateTime(1975, 1, 1, 0, 0, 0, 0, old));
    ASSERT_TRUE(SetFileTimes(file, -1, old, -1));
    EXPECT_EQ(StatOf(file).st_mtim.tv_sec, 1262304000);

    EXPECT_FALSE(SetFileTimes(dir.filePath("missing"), -1, t, t));
    EXPECT_FALSE(SetFileTimes(dir.path(), -1, t, t)); // a folder cannot be opened for writing
    EXPECT_FALSE(SetFileTimes(QString(), -1, t, t));
}

TEST(UtilsFiles, FileSize64CountsLargeFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("f.bin");
    WriteFile(file, "12345");
    EXPECT_EQ(FileSize64(file), 5);
    WriteFile(file, "");
    EXPECT_EQ(FileSize64(file), 0);
    // A sparse file beyond 4 GiB: the high half must count.
    const qint64 big = (5LL << 30) + 3;
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        if (!f.resize(big))
            GTEST_SKIP() << "file system refuses large sparse files";
    }
    EXPECT_EQ(FileSize64(file), big);
    EXPECT_EQ(FileSize64(dir.filePath("missing")), -1);
    EXPECT_EQ(FileSize64(dir.path()), -1);
}

TEST(UtilsFiles, TempDirIsPrivate) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        EnvGuard env("TMPDIR", QFile::encodeName(dir.path()));
        EXPECT_EQ(GetTempDir(), dir.path() + '/');
    }
    {
        EnvGuard env("TMPDIR", "");
        const QString temp = GetTempDir();
        ASSERT_TRUE(temp.endsWith('/'));
        const struct stat st = StatOf(temp);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, getuid());
        EXPECT_EQ(st.st_mode & 077, 0u);
    }

    const QString fresh = dir.filePath("fresh");
    ASSERT_TRUE(EnsurePrivateFolder(fresh));
    EXPECT_EQ(StatOf(fresh).st_mode & 0777, 0700u);

    const QString open = dir.filePath("open");
    ASSERT_EQ(mkdir(QFile::encodeName(open).constData(), 0755), 0);
    ASSERT_TRUE(EnsurePrivateFolder(open));
    EXPECT_EQ(StatOf(open).st_mode & 077, 0u);

    const QString link = dir.filePath("link");
    ASSERT_EQ(symlink(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData()),
              0);
    EXPECT_FALSE(EnsurePrivateFolder(link));

    const QString file = dir.filePath("file");
    WriteFile(file, "x");
    EXPECT_FALSE(EnsurePrivateFolder(file));
    EXPECT_FALSE(EnsurePrivateFolder(dir.filePath("no/such/parent")));
}

TEST(UtilsFiles, ResourceToStreamAppendsAtThePosition) {
    QByteArray out = "head:";
    QBuffer buffer(&out);
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    buffer.seek(5);
    EXPECT_TRUE(ResourceToStream("SAMPLE", "VUTEST", &buffer));
    EXPECT_EQ(out, "head:embedded bytes");

    EXPECT_FALSE(ResourceToStream("SAMPLE", "VUTEST", nullptr));
    EXPECT_FALSE(ResourceToStream("MISSING", "VUTEST", &buffer));
    EXPECT_FALSE(ResourceToStream("SAMPLE", "OTHER", &buffer));
    QByteArray ro;
    QBuffer readOnly(&ro);
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ResourceToStream("SAMPLE", "VUTEST", &readOnly));
}

class UtilsBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        config_ =
            std::make_unique<EnvGuard>("XDG_CONFIG_HOME", QFile::encodeName(root_.filePath("cfg")));
        data_ =
            std::make_unique<EnvGuard>("XDG_DATA_HOME", QFile::encodeName(root_.filePath("data")));
        ASSERT_TRUE(QDir().mkpath(root_.filePath("cfg")));
        ASSERT_TRUE(QDir().mkpath(root_.filePath("data/applications")));
        ASSERT_TRUE(QDir().mkpath(root_.filePath("my browser")));
        program_ = root_.filePath("my browser/run.sh");
        WriteFile(program_, "#!/bin/sh\nexit 0\n");
        ASSERT_EQ(chmod(QFile::encodeName(program_).constData(), 0755), 0);
        environment_.Set(&TvuEnvironment::StartProcess,
                         [this](const QString& program, const QStringList& args) {
                             started_.append(program + '|' + args.join('|'));
                             return startResult_;
                         });
    }

    void Register(const QByteArray& exec) {
        WriteFile(root_.filePath("cfg/mimeapps.list"),
                  "[Added Associations]\ntext/html=other.desktop;\n"
                  "[Default Applications]\ntext/html=missing.desktop;test-browser.desktop;\n");
        WriteFile(root_.filePath("data/applications/test-browser.desktop"),
                  "[Desktop Entry]\nName=Test\nExec=" + exec + "\n[Desktop Action x]\nExec=nope\n");
    }

    QTemporaryDir root_;
    std::unique_ptr<EnvGuard> config_, data_;
    QString program_;
    vutest::EnvironmentOverride environment_;
    QStringList started_;
    bool startResult_ = true;
};

TEST_F(UtilsBrowser, DefaultApplicationOfWebPages) {
    Register("\"" + QFile::encodeName(program_) + "\" %u");
    EXPECT_EQ(GetAssociatedProgram(".html"), program_);
    EXPECT_EQ(GetAssociatedProgram(""), "");
    EXPECT_EQ(GetAssociatedProgram("."), "");
    // A program that does not exist is no program.
    Register(QFile::encodeName(root_.filePath("gone")) + " %u");
    EXPECT_EQ(GetAssociatedProgram(".html"), "");
}

TEST_F(UtilsBrowser, OpenURLPassesTheAddressAsOneArgument) {
    Register("\"" + QFile::encodeName(program_) + "\" %u");
    OpenURL("example.org/a b;$(touch x)", false);
    OpenURL("https://example.org/", true);
    startResult_ = false; // the browser fails to start: the desktop opener takes over
    OpenURL("ftp://example.org/", true);
    OpenURL("-x://option", false);
    EXPECT_EQ(started_,
              QStringList({"xdg-open|http://example.org/a b;$(touch x)",
                           program_ + "|https://example.org/", program_ + "|ftp://example.org/",
                           "xdg-open|ftp://example.org/"}));
}
