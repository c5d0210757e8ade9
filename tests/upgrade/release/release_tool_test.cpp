// The publisher's tool, run as the real executable: keygen, sign and verify, and what each
// refuses.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Result {
    int Status = -1;
    std::string Out, Err;
};

Result RunTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(VU_TEST_RELEASE_TOOL), args);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.Status = process.exitCode();
    result.Out = process.readAllStandardOutput().toStdString();
    result.Err = process.readAllStandardError().toStdString();
    return result;
}

// The value after "name: " in the keygen output.
std::string Field(const std::string& text, const std::string& name) {
    const std::size_t at = text.find(name + ": ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + name.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}

class ReleaseTool : public ::testing::Test {
protected:
    fs::path dir;
    QString key, publicKey;
    std::string keyId;

    void SetUp() override {
        char pattern[] = "/tmp/vu_release_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        key = Path("publisher.key");
        const Result made = RunTool({"keygen", key});
        ASSERT_EQ(made.Status, 0) << made.Err;
        publicKey = QString::fromStdString(Field(made.Out, "public-key"));
        keyId = Field(made.Out, "key-id");
    }
    void TearDown() override { fs::remove_all(dir); }

    QString Path(const std::string& name) const {
        return QString::fromStdString((dir / name).string());
    }
    QString Write(const std::string& name, const std::string& content) const {
        std::ofstream(dir / name, std::ios::binary) << content;
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    Result Sign(QStringList extra, const QStringList& files) {
        QStringList args{"sign", "--key", key, "--base-url", "http://127.0.0.1:8080/v2"};
        args += extra;
        args += files;
        return RunTool(args);
    }
};

TEST_F(ReleaseTool, KeygenWritesAPrivateKeyOnceAndPrintsThePublicKey) {
    struct stat st {};
    ASSERT_EQ(::stat(key.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(publicKey.size(), 44);
    EXPECT_EQ(keyId.size(), 8u);
    EXPECT_NE(Read("publisher.key").find("PRIVATE KEY"), std::string::npos);
    // An existing key is never overwritten.
    const std::string before = Read("publisher.key");
    const Result again = RunTool({"keygen", key});
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(Read("publisher.key"), before);
    EXPECT_EQ(RunTool({"keygen"}).Status, 2);
}

TEST_F(ReleaseTool, SignListsEachFileWithHashAndSizeAndVerifies) {
    const QString program = Write("velmora", "#!/bin/sh\necho v2\n");
    const QString data = Write("data.bin", std::string(1000, '\x01'));
    const QString message = Write("message.txt", "Version 2.\nNew things.");
    const Result signedInfo =
        Sign({"--version", "2.0.1", "--method", "0", "--message-file", message}, {program, data});
    ASSERT_EQ(signedInfo.Status, 0) << signedInfo.Err;
    const std::string& text = signedInfo.Out;
    EXPECT_EQ(text.find("#version=2.0.1\n#method=0\n#url=http://127.0.0.1:8080/v2/velmora\n"
                        "#sha256="),
              0u)
        << text;
    // SHA-256 of "#!/bin/sh\necho v2\n" is checked by verify below; sizes are plain.
    EXPECT_NE(text.find("#size=18\n#url2=http://127.0.0.1:8080/v2/data.bin\n#sha2562="),
              std::string::npos);
    EXPECT_NE(text.find("#size2=1000\n#product=example.velmora.Velmora\n#channel=stable\n"
                        "#message={Version 2.\nNew things.}\n#signature=ed25519:" +
                        keyId + ":"),
              std::string::npos);
    const QString info = Write("velmora.inf", text);

    const Result ok = RunTool({"verify", "--public-key", publicKey, info, program, data});
    EXPECT_EQ(ok.Status, 0) << ok.Out << ok.Err;

    // A changed program file, a file the information file does not list, a stranger's key.
    Write("velmora", "#!/bin/sh\necho v3\n");
    EXPECT_EQ(RunTool({"verify", "--public-key", publicKey, info, program}).Status, 1);
    EXPECT_EQ(RunTool({"verify", "--public-key", publicKey, info, Write("other", "x")}).Status, 1);
    const QString strangerKey = Path("stranger.key");
    const Result stranger = RunTool({"keygen", strangerKey});
    ASSERT_EQ(stranger.Status, 0);
    const QString strangerPublic = QString::fromStdString(Field(stranger.Out, "public-key"));
    const Result refused = RunTool({"verify", "--public-key", strangerPublic, info});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Out.find("not trusted"), std::string::npos);
    // Either of two keys is enough.
    EXPECT_EQ(
        RunTool({"verify", "--public-key", strangerPublic, "--public-key", publicKey, info}).Status,
        0);
    // One changed byte in the information file.
    std::string tampered = text;
    tampered[tampered.find("#size2=1000") + 7] = '2';
    EXPECT_EQ(RunTool({"verify", "--public-key", publicKey, Write("bad.inf", tampered)}).Status, 1);
    EXPECT_EQ(RunTool({"verify", "--public-key", "garbage", info}).Status, 2);
}

TEST_F(ReleaseTool, SignRefusesWhatWouldMisleadTheProgram) {
    const QString program = Write("velmora", "x");
    // A date form and a file list are required, at least one of date and version; the release
    // keys take only values the program reads as meant.
    for (const QStringList& wrong : std::vector<QStringList>{
             {"--method", "0"},
             {"--date", "7/1/2006"},
             {"--date", "02/30/2006"},
             {"--version", "1..0"},
             {"--version", "1.0", "--method", "3"},
             {"--version", "1.0", "--channel", "Beta"},
             {"--version", "1.0", "--product", "a b"},
             {"--version", "1.0", "--rollout", "0"},
             {"--version", "1.0", "--rollout", "101"},
             {"--date", "07/01/2006", "--rollout-days", "7"},
             {"--version", "1.0", "--rollout", "10", "--rollout-days", "7"},
             {"--version", "1.0", "--expires", "2001-01-01"},
             {"--version", "1.0", "--expires", "+x"},
             {"--version", "1.0", "--min-version", "06/01/2006"},
             {"--date", "07/01/2006", "--min-version", "1.0"},
         })
        EXPECT_EQ(Sign(wrong, {program}).Status, 2) << wrong.join(' ').toStdString();
    EXPECT_EQ(Sign({"--version", "1.0"}, {}).Status, 2);
    EXPECT_EQ(Sign({"--version", "1.0"}, {Path("missing")}).Status, 1);
    EXPECT_EQ(Sign({"--version", "1.0"}, {Write("a b", "x")}).Status, 1);
    // A "}" would end the message early; a marker inside it would add a file.
    EXPECT_EQ(Sign({"--version", "1.0", "--message-file", Write("m1", "a } b")}, {program}).Status,
              1);
    const Result injected =
        Sign({"--version", "1.0", "--message-file", Write("m2", "see #url2=http://x/evil\n")},
             {program});
    EXPECT_EQ(injected.Status, 1);
    EXPECT_TRUE(injected.Out.empty());
    // Not a key at all.
    const Result wrongKey =
        RunTool({"sign", "--key", program, "--base-url", "http://h/", "--version", "1.0", program});
    EXPECT_EQ(wrongKey.Status, 1);
    const Result dated = Sign({"--date", "07/01/2006", "--method", "1"}, {program});
    ASSERT_EQ(dated.Status, 0) << dated.Err;
    EXPECT_EQ(dated.Out.find("#date=07/01/2006\n#method=1\n"), 0u);
}

// A publisher checks a release for given installations before putting it online.
TEST_F(ReleaseTool, VerifyAsPrintsWhatAnInstallationDecides) {
    const QString program = Write("velmora", "v2");
    const Result made = Sign({"--version", "2.0", "--date", "07/01/2006", "--channel", "beta",
                              "--expires", "+30", "--rollout", "40", "--min-version", "1.5"},
                             {program});
    ASSERT_EQ(made.Status, 0) << made.Err;
    EXPECT_NE(made.Out.find("#channel=beta\n#expires=20"), std::string::npos) << made.Out;
    const QString info = Write("velmora.inf", made.Out);
    struct Case {
        QStringList as;
        int status;
        std::string says;
    };
    for (const Case& c : std::vector<Case>{
             {{"--as", "1.9"}, 1, "channel 'beta'"},
             {{"--as", "1.9", "--channel", "beta"}, 0, "offered"},
             {{"--as", "2.0", "--channel", "beta"}, 1, "not newer"},
             {{"--as", "1.9", "--channel", "beta", "--roll", "41"}, 1, "held back"},
             {{"--as", "1.9", "--channel", "beta", "--roll", "40"}, 0, "offered"},
             {{"--as", "1.0", "--channel", "beta"}, 1, "minimum version"},
             {{"--as", "1.9", "--channel", "beta", "--product", "other.App"}, 1, "another product"},
             {{"--as", "06/30/2006", "--channel", "beta"}, 0, "offered"},
             {{"--as", "07/01/2006", "--channel", "beta"}, 1, "not newer"},
         }) {
        const Result r =
            RunTool(QStringList{"verify", "--public-key", publicKey} + c.as + QStringList{info});
        EXPECT_EQ(r.Status, c.status) << c.as.join(' ').toStdString() << "\n" << r.Out << r.Err;
        EXPECT_NE(r.Out.find(c.says), std::string::npos) << r.Out;
    }
    // A check of the file comes first: a changed byte is refused for every installation.
    std::string tampered = made.Out;
    tampered[tampered.find("#rollout=40") + 9] = '9';
    const Result refused = RunTool({"verify", "--public-key", publicKey, "--as", "1.9", "--channel",
                                    "beta", Write("bad.inf", tampered)});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Out.find("as 1.9: refused"), std::string::npos) << refused.Out;
    EXPECT_EQ(RunTool({"verify", "--public-key", publicKey, "--roll", "5", info}).Status, 2);
    EXPECT_EQ(RunTool({"verify", "--public-key", publicKey, "--as", "x", info}).Status, 2);
}

TEST_F(ReleaseTool, RenewChangesOnlyTheExpiry) {
    const QString program = Write("velmora", "v2");
    const QString message = Write("message.txt", "Fixes.");
    for (const QStringList& expiry :
         std::vector<QStringList>{{}, {"--expires", "+1"}, {"--expires", "2030-01-01"}}) {
        const Result made = Sign(
            QStringList{"--date", "07/01/2006", "--message-file", message} + expiry, {program});
        ASSERT_EQ(made.Status, 0) << made.Err;
        const Result renewed =
            RunTool({"renew", "--key", key, "--expires", "2099-12-31", Write("old.inf", made.Out)});
        ASSERT_EQ(renewed.Status, 0) << renewed.Err;
        EXPECT_NE(renewed.Out.find("#expires=2099-12-31T00:00:00Z\n"), std::string::npos);
        // Every other line stays as it was; only the signature is new.
        auto lines = [](const std::string& text) {
            std::vector<std::string> kept;
            std::istringstream in(text);
            for (std::string line; std::getline(in, line);)
                if (line.rfind("#expires=", 0) != 0 && line.rfind("#signature=", 0) != 0)
                    kept.push_back(line);
            return kept;
        };
        EXPECT_EQ(lines(renewed.Out), lines(made.Out));
        EXPECT_EQ(
            RunTool({"verify", "--public-key", publicKey, Write("new.inf", renewed.Out)}).Status,
            0);
    }
    // Only an intact file signed by this key is signed again.
    const Result made = Sign({"--date", "07/01/2006"}, {program});
    std::string tampered = made.Out;
    tampered[tampered.find("#date=07") + 7] = '8';
    EXPECT_EQ(
        RunTool({"renew", "--key", key, "--expires", "+5", Write("bad.inf", tampered)}).Status, 1);
    const QString stranger = Path("stranger.key");
    ASSERT_EQ(RunTool({"keygen", stranger}).Status, 0);
    EXPECT_EQ(
        RunTool({"renew", "--key", stranger, "--expires", "+5", Write("ok.inf", made.Out)}).Status,
        1);
    EXPECT_EQ(RunTool({"renew", "--key", key, Write("ok.inf", made.Out)}).Status, 2);
}

} // namespace
