// Verified upgrades against a local server: information files that must be signed, downloads that
// must match their recorded hash and size, and addresses the component refuses. In every refused
// case nothing is downloaded into the program's folder or kept there.
#include "updater_test_support.h"

#include "tests/upgrade/http/server/local_http_server.h"
#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"
#include "upgrade/signing/vuSignedInfoFile.h"
#include "upgrade/updater/vuUpdater.h"
#include "upgrade/updater/vuUpdaterDownload.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace vu;

using namespace vutest;

namespace {

const std::string kProgram = "#!/bin/sh\necho version 2\n";
const std::string kData(5000, 'd');

class VerifiedUpgrade : public testing::Test {
protected:
    EnvironmentOverride environment; // outlives the updater

    void SetUp() override {
        ASSERT_TRUE(server.running());
        ASSERT_TRUE(folder.isValid());
        environment.Set(&TvuEnvironment::ProgramPath,
                        [this] { return folder.filePath("velmora"); });
        environment.Set(&TvuEnvironment::Today, [] { return QDate(2026, 12, 8); });
        environment.Set(&TvuEnvironment::Now,
                        [] { return QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC); });
        environment.Set(&TvuEnvironment::Online, [] { return true; });
        server.serve("/v2/velmora", kProgram);
        server.serve("/v2/data.bin", kData);
        NewUpdater();
    }
    // A component as a new start of the program has it, with this test's user settings.
    void NewUpdater() {
        updater.reset();
        updater = std::make_unique<TvuUpdater>();
        updater->SetUserSettingsFile(UserSettings());
        updater->SetVersionDate("06/13/2006");
        updater->Wizard()->SetEnabled(false);
        updater->SetUpdateKeys({*key.PublicKey()});
        log.Attach(*updater);
        updater->OnInfoFileRefused = [this](TvuUpdater*, const QByteArray& reason) {
            log.Names.push_back("InfoFileRefused");
            refusal = reason;
        };
        updater->OnFileVerificationFailed = [this](TvuUpdater*, const QByteArray& url,
                                                   const QByteArray&) {
            log.Names.push_back("FileVerificationFailed");
            failedUrl = url;
        };
        updater->OnFileDone = [this](TvuUpdater*, const QByteArray&) {
            log.Names.push_back("FileDone");
        };
        // The installation itself is the helper's business: stop before it.
        updater->OnEndUpgrade = [this](TvuUpdater*, bool& restart) {
            log.Names.push_back("EndUpgrade");
            restart = false;
        };
        updater->OnUpgradeEnded = [this](TvuUpdater*, TvuUpgradeOutcome ended) { outcome = ended; };
    }
    QString UserSettings() const { return folder.filePath("config/velmora/upgrade.settings"); }
    void TearDown() override { updater.reset(); }

    std::string Url(const std::string& path) const { return server.url(path); }
    // An information file listing the program and the data file with their hashes and sizes.
    std::string Listing(const std::string& programHash = vu::Sha256Hex(kProgram)) const {
        return "#date=06/14/2006\n#product=example.velmora.Velmora\n#url=" + Url("/v2/velmora") +
               "\n#sha256=" + programHash + "\n#size=" + std::to_string(kProgram.size()) +
               "\n#url2=" + Url("/v2/data.bin") + "\n#sha2562=" + vu::Sha256Hex(kData) +
               "\n#size2=" + std::to_string(kData.size()) + "\n";
    }
    static std::string Signed(const std::string& body, const vu::Ed25519PrivateKey& by) {
        return body + vu::InfoFileSignatureLine(body, by) + "\n";
    }
    // Publishes the information file and runs a check until the upgrade has ended.
    void Check(const std::string& info) {
        server.serve("/velmora.inf", info, "text/plain");
        updater->SetInfoFileURL(QByteArray::fromStdString(Url("/velmora.inf")));
        outcome.reset();
        updater->CheckForUpdate();
        ASSERT_TRUE(WaitFor([&] { return outcome.has_value() && !updater->Busy(); }));
    }
    // The same through the automatic check of a new start of the program.
    void AutomaticCheck(const std::string& info) {
        NewUpdater();
        server.serve("/velmora.inf", info, "text/plain");
        updater->SetInfoFileURL(QByteArray::fromStdString(Url("/velmora.inf")));
        outcome.reset();
        updater->SetAutoCheckDelay(1);
        updater->SetAutoCheck(true);
        ASSERT_TRUE(WaitFor([&] { return outcome.has_value() && !updater->Busy(); }));
        EXPECT_TRUE(updater->AutomaticCheck());
    }
    QStringList Downloads() const {
        return QDir(folder.path()).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden);
    }
    std::size_t FileRequests() const {
        return server.requestsFor("/v2/velmora").size() + server.requestsFor("/v2/data.bin").size();
    }
    // A file list is checked after OnBeginUpgrade, which may change it; everything else before.
    void ExpectRefusedBeforeAnything(int beginUpgrade = 0) {
        EXPECT_EQ(log.Count("InfoFileRefused"), 1);
        EXPECT_EQ(outcome, uoInfoFileRefused);
        EXPECT_EQ(log.Count("BeginUpgrade"), beginUpgrade);
        EXPECT_TRUE(presenter.Dialogs.empty()); // no question
        ASSERT_EQ(presenter.Boxes.size(), 1u);
        EXPECT_EQ(presenter.Boxes[0].Text,
                  FormatMessageText(vmInfoFileRefused, {ApplicationTitle()}));
        EXPECT_EQ(FileRequests(), 0u);
        EXPECT_TRUE(Downloads().isEmpty());
    }

    vu::Ed25519PrivateKey key = vu::Ed25519PrivateKey::Generate();
    LocalHTTPServer server;
    QTemporaryDir folder;
    RecordingPresenter presenter;
    std::unique_ptr<TvuUpdater> updater;
    EventLog log;
    QByteArray refusal, failedUrl;
    std::optional<TvuUpgradeOutcome> outcome;
};

TEST_F(VerifiedUpgrade, SignedFileWithMatchingHashesIsDownloaded) {
    presenter.DialogResult = QDialog::Accepted; // yes to the question
    Check(Signed(Listing(), key));
    EXPECT_EQ(log.Count("InfoFileRefused"), 0);
    EXPECT_EQ(log.Count("FileDone"), 2);
    EXPECT_EQ(log.Count("EndUpgrade"), 1);
    EXPECT_EQ(outcome, uoDownloaded);
    EXPECT_EQ(Downloads(), QStringList({"data.bin.uTMP", "velmora.uTMP"}));
}

TEST_F(VerifiedUpgrade, UnsignedStrangerAndTamperedFilesAreRefusedBeforeAnyQuestion) {
    const vu::Ed25519PrivateKey stranger = vu::Ed25519PrivateKey::Generate();
    std::string tampered = Signed(Listing(), key);
    tampered[tampered.find("#size2=") + 7] ^= 1;
    for (const std::string& info : {Listing(), Signed(Listing(), stranger), tampered}) {
        log.Names.clear();
        presenter.Boxes.clear();
        Check(info);
        ExpectRefusedBeforeAnything();
    }
}

// Keys were built in but cannot be used (one does not decode): every information file is refused,
// signed or not, and nothing is downloaded; never read as if no keys were built in.
TEST_F(VerifiedUpgrade, UnusableBuiltInKeysRefuseEveryInformationFile) {
    const std::string good = vu::PublicKeyBase64(*key.PublicKey());
    std::string undecodable = good;
    undecodable[42] = 'B'; // stray bits where a 32-byte key has none
    presenter.DialogResult = QDialog::Accepted;
    for (const std::string& bad : {undecodable, std::string("not a key")})
        for (const std::vector<std::string_view>& texts :
             {std::vector<std::string_view>{bad}, std::vector<std::string_view>{good, bad}}) {
            const vu::TvuUpdateKeys keys = vu::DecodeUpdateKeys(texts);
            for (const std::string& info : {Listing(), Signed(Listing(), key)}) {
                updater->SetUpdateKeys(keys);
                log.Names.clear();
                presenter.Boxes.clear();
                Check(info);
                ExpectRefusedBeforeAnything();
                EXPECT_EQ(refusal,
                          "the program's built-in keys cannot be used to check a signature");
            }
        }
}

TEST_F(VerifiedUpgrade, SecondOfTwoKeysIsEnough) {
    const vu::Ed25519PrivateKey next = vu::Ed25519PrivateKey::Generate();
    updater->SetUpdateKeys({*key.PublicKey(), *next.PublicKey()});
    presenter.DialogResult = QDialog::Accepted;
    Check(Signed(Listing(), next));
    EXPECT_EQ(log.Count("EndUpgrade"), 1);
}

TEST_F(VerifiedUpgrade, WithKeysEveryFileNeedsAHash) {
    const std::string body =
        "#date=06/14/2006\n#product=example.velmora.Velmora\n#url=" + Url("/v2/velmora") +
        "\n#sha256=" + vu::Sha256Hex(kProgram) + "\n#url2=" + Url("/v2/data.bin") + "\n";
    Check(Signed(body, key));
    ExpectRefusedBeforeAnything(1);
}

TEST_F(VerifiedUpgrade, ChangedProgramFileIsDeletedAndNothingIsKept) {
    presenter.DialogResult = QDialog::Accepted;
    Check(Signed(Listing(vu::Sha256Hex("#!/bin/sh\necho version 1\n")), key));
    EXPECT_EQ(log.Count("FileVerificationFailed"), 1);
    EXPECT_EQ(outcome, uoVerificationFailed);
    EXPECT_EQ(failedUrl, QByteArray::fromStdString(Url("/v2/velmora")));
    EXPECT_EQ(log.Count("FileDone"), 0);
    EXPECT_EQ(log.Count("EndUpgrade"), 0);
    EXPECT_TRUE(Downloads().isEmpty());
    // The data file after it is never fetched.
    EXPECT_TRUE(server.requestsFor("/v2/data.bin").empty());
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Text, FormatMessageText(vmFileVerificationFailed, {"velmora"}));
}

TEST_F(VerifiedUpgrade, WithoutKeysListedSizesAndHashesAreStillChecked) {
    updater->SetUpdateKeys({});
    presenter.DialogResult = QDialog::Accepted;
    // A wrong size on the second file: the first is downloaded, then everything goes.
    std::string body = Listing();
    body.replace(body.find("#size2=5000"), 11, "#size2=5001");
    Check(body);
    EXPECT_EQ(log.Count("FileDone"), 1);
    EXPECT_EQ(log.Count("FileVerificationFailed"), 1);
    EXPECT_TRUE(Downloads().isEmpty());

    // Old information files without any hash keep working.
    log.Names.clear();
    Check("#date=06/14/2006\n#url=" + Url("/v2/velmora") + "\n");
    EXPECT_EQ(log.Count("EndUpgrade"), 1);
    EXPECT_EQ(Downloads(), QStringList({"velmora.uTMP"}));
}

TEST_F(VerifiedUpgrade, ChangedFileListKeepsEachHashWithItsAddress) {
    presenter.DialogResult = QDialog::Accepted;
    updater->OnBeginUpgrade = [](TvuUpdater*, const QByteArray&, TvuUpgradeMethod,
                                 QByteArrayList& files,
                                 bool&) { std::reverse(files.begin(), files.end()); };
    Check(Signed(Listing(), key));
    EXPECT_EQ(log.Count("FileDone"), 2);
    EXPECT_EQ(log.Count("FileVerificationFailed"), 0);

    // An address the information file does not list has no hash: refused when keys are built in.
    log.Names.clear();
    presenter.Boxes.clear();
    presenter.Dialogs.clear();
    updater->OnBeginUpgrade = [this](TvuUpdater*, const QByteArray&, TvuUpgradeMethod,
                                     QByteArrayList& files, bool&) {
        files.append(QByteArray::fromStdString(Url("/v2/extra")));
    };
    Check(Signed(Listing(), key));
    EXPECT_EQ(log.Count("InfoFileRefused"), 1);
    EXPECT_TRUE(presenter.Dialogs.empty());
}

TEST_F(VerifiedUpgrade, LocalFileListedByANetworkInformationFileIsRefused) {
    updater->SetUpdateKeys({});
    QFile secret(folder.filePath("secret"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("x");
    secret.close();
    Check("#date=06/14/2006\n#url=file://" + secret.fileName().toStdString() + "\n");
    ExpectRefusedBeforeAnything();
}

// The publisher's tool signs what the component then accepts, and nothing else.
TEST_F(VerifiedUpgrade, RoundTripThroughThePublishersTool) {
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    auto tool = [](const QStringList& args, QByteArray* out = nullptr) {
        QProcess process;
        process.start(QStringLiteral(VU_TEST_RELEASE_TOOL), args);
        if (!process.waitForFinished(60000))
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QByteArray made;
    ASSERT_EQ(tool({"keygen", work.filePath("key")}, &made), 0);
    const QByteArray publicKey = made.mid(made.indexOf("public-key: ") + 12, 44);
    const auto parsed = vu::ParsePublicKey(publicKey.toStdString());
    ASSERT_TRUE(parsed.has_value());
    updater->SetUpdateKeys({*parsed});
    for (const auto& [name, content] :
         {std::pair{"velmora", kProgram}, std::pair{"data.bin", kData}}) {
        QFile file(work.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), qint64(content.size()));
    }
    QByteArray info;
    ASSERT_EQ(tool({"sign", "--key", work.filePath("key"), "--base-url",
                    QString::fromStdString(Url("/v2")), "--date", "06/14/2006",
                    work.filePath("velmora"), work.filePath("data.bin")},
                   &info),
              0);
    QFile saved(work.filePath("velmora.inf"));
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write(info);
    saved.close();
    ASSERT_EQ(tool({"verify", "--public-key", QString::fromLatin1(publicKey), saved.fileName(),
                    work.filePath("velmora"), work.filePath("data.bin")}),
              0);

    presenter.DialogResult = QDialog::Accepted;
    Check(info.toStdString());
    EXPECT_EQ(outcome, uoDownloaded);
    EXPECT_EQ(Downloads(), QStringList({"data.bin.uTMP", "velmora.uTMP"}));
}

// Release keys that refuse the file or keep it from this installation, through the real
// signature check and the real question.
TEST_F(VerifiedUpgrade, ReleaseKeysRefuseOrWithholdTheRelease) {
    const std::string other = "example.velmora.Other";
    std::string otherProduct = Listing();
    otherProduct.replace(otherProduct.find("example.velmora.Velmora"), 23, other);
    std::string undated = Listing();
    undated.erase(0, undated.find('\n') + 1);
    struct Case {
        const char* name;
        std::string body;
        TvuUpgradeOutcome ended;
        QString box; // the message shown instead of the question, if any
    };
    const QString refused = FormatMessageText(vmInfoFileRefused, {ApplicationTitle()});
    for (const Case& c : std::vector<Case>{
             {"another product", otherProduct, uoInfoFileRefused, refused},
             {"no date to compare", undated, uoInfoFileRefused, refused},
             {"expired", Listing() + "#expires=2026-12-08T12:00:00Z\n", uoInfoFileExpired,
              LoadMessageText(vmInfoFileExpired)},
             {"another channel", Listing() + "#channel=beta\n", uoNoUpdate, {}},
             {"expires later today", Listing() + "#expires=2026-12-08T12:00:01Z\n", uoDeclined, {}},
         }) {
        SCOPED_TRACE(c.name);
        presenter.Boxes.clear();
        presenter.Dialogs.clear();
        Check(Signed(c.body, key));
        EXPECT_EQ(outcome, c.ended) << updater->LastDecision().Reason;
        EXPECT_EQ(presenter.Dialogs.size(), c.ended == uoDeclined ? 1u : 0u);
        ASSERT_EQ(presenter.Boxes.size(), c.box.isEmpty() ? 0u : 1u);
        if (!c.box.isEmpty()) {
            EXPECT_EQ(presenter.Boxes[0].Text, c.box);
        }
        EXPECT_EQ(FileRequests(), 0u);
    }
    EXPECT_EQ(updater->LastDecision().Verdict, ReleaseVerdict::Offered);
}

// Each installation draws its rollout number once and keeps it in the user's settings; only
// automatic checks are held back by it, and never for a critical release.
TEST_F(VerifiedUpgrade, RolloutNumberIsDrawnOnceAndKeptInTheUserSettings) {
    const std::string half = Signed(Listing() + "#rollout=50\n", key);
    const QByteArray name = "vuUpdater.RolloutDraw";
    AutomaticCheck(half);
    qint64 draw = 0;
    const auto stored = ReadUserSetting(UserSettings(), name);
    ASSERT_TRUE(stored && stored->ToInteger(draw)) << "nothing stored";
    ASSERT_TRUE(draw >= 1 && draw <= 100) << draw;
    EXPECT_EQ(presenter.Dialogs.size(), draw <= 50 ? 1u : 0u);
    // The next start keeps the number.
    AutomaticCheck(half);
    qint64 again = 0;
    ASSERT_TRUE(ReadUserSetting(UserSettings(), name)->ToInteger(again));
    EXPECT_EQ(again, draw);

    struct Case {
        qint64 draw;
        std::string info;
        bool automatic;
        bool asked;
    };
    const std::string critical = Signed(Listing() + "#rollout=50\n#critical=1\n", key);
    for (const Case& c : std::vector<Case>{{51, half, true, false},
                                           {50, half, true, true},
                                           {51, half, false, true},
                                           {100, critical, true, true}}) {
        SCOPED_TRACE(c.draw);
        ASSERT_TRUE(WriteUserSetting(UserSettings(), name,
                                     TvuStoredValue(TvuStoredValue::svInteger, {}, c.draw)));
        presenter.Dialogs.clear();
        if (c.automatic)
            AutomaticCheck(c.info);
        else
            Check(c.info);
        EXPECT_EQ(presenter.Dialogs.size(), c.asked ? 1u : 0u) << updater->LastDecision().Reason;
        EXPECT_EQ(outcome, c.asked ? uoDeclined : uoNoUpdate);
    }
}

// "Skip this version" keeps automatic checks quiet about that release only; a check from the
// menu still offers it. A critical release is asked with its own words and Yes alone.
TEST_F(VerifiedUpgrade, SkipThisVersionAndCriticalQuestion) {
    struct Shown {
        QString text;
        bool later = false, skip = false;
    };
    std::vector<Shown> shown;
    int answer = QDialog::Rejected;
    presenter.OnDialog = [&](QDialog& dialog) {
        auto& form = static_cast<TvuUpdaterUpgradeMessageForm&>(dialog);
        shown.push_back(
            {form.Label1->text(), !form.LaterBtn->isHidden(), !form.SkipBtn->isHidden()});
        EXPECT_EQ(form.SkipBtn->text(), DisplayText(LoadMessageText(vmSkipThisVersion)));
        return answer;
    };
    const std::string release = Signed(Listing(), key);
    answer = TvuUpdaterUpgradeMessageForm::kSkipResult;
    Check(release);
    EXPECT_EQ(outcome, uoDeclined);
    QByteArray skipped;
    ASSERT_TRUE(ReadUserSetting(UserSettings(), "vuUpdater.SkippedRelease")->ToString(skipped));
    EXPECT_EQ(skipped, "06/14/2006");

    answer = QDialog::Rejected;
    AutomaticCheck(release);
    EXPECT_EQ(outcome, uoNoUpdate);
    EXPECT_EQ(updater->LastDecision().Verdict, ReleaseVerdict::Skipped);
    Check(release); // from the menu
    std::string next = Listing();
    next.replace(next.find("06/14/2006"), 10, "06/15/2006");
    AutomaticCheck(Signed(next, key));
    AutomaticCheck(Signed(Listing() + "#critical=1\n", key));
    ASSERT_EQ(shown.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(shown[i].later && shown[i].skip) << i;
        EXPECT_EQ(shown[i].text,
                  DisplayText(FormatMessageText(vmNewerVersion, {UpgradeProgramName(), ""})));
    }
    EXPECT_FALSE(shown[3].later || shown[3].skip);
    EXPECT_EQ(shown[3].text,
              DisplayText(FormatMessageText(vmCriticalRelease, {UpgradeProgramName(), ""})));
}

// Below the minimum version the release is not installed in place: its page opens.
TEST_F(VerifiedUpgrade, BelowTheMinimumVersionOpensTheReleasePage) {
    const std::vector<QStringList>& started = environment.RecordProcessStarts();
    presenter.DialogResult = QDialog::Accepted;
    Check(Signed(Listing() + "#minversion=06/14/2006\n", key));
    EXPECT_EQ(outcome, uoRedirected);
    EXPECT_EQ(log.BeginMethod, umRedirectToURL);
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Text,
              FormatMessageText(vmBelowMinimumVersion, {ApplicationTitle()}));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0].join(' ').contains(QString::fromStdString(Url("/v2/velmora"))));
    EXPECT_EQ(FileRequests(), 0u);
    EXPECT_TRUE(Downloads().isEmpty());
}

} // namespace
