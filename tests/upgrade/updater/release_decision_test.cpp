// The release decision for one installation: each release-management key of the information
// file, read through the real reader.
#include "upgrade/updater/vuReleaseDecision.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace vu;

constexpr const char* kProduct = "example.velmora.Velmora";

// Released 06/14/2006 as version 2.0, one file, for this product.
std::string Release(const std::string& keys) {
    return "#date=06/14/2006\n#version=2.0\n#url=http://h/velmora\n#product=" +
           std::string(kProduct) + "\n" + keys;
}

TvuInstallation Installed() {
    TvuInstallation i;
    i.VersionDate = "06/13/2006";
    i.VersionNumber = "1.0";
    i.Product = kProduct;
    i.Signed = true;
    i.Today = QDate(2006, 6, 20);
    i.Now = QDateTime(QDate(2006, 6, 20), QTime(12, 0), Qt::UTC);
    return i;
}

TEST(ReleaseDecision, EachKeyDecidesForTheInstallation) {
    struct Case {
        const char* name;
        std::string file;
        std::function<void(TvuInstallation&)> change;
        ReleaseVerdict verdict;
        InfoFileRefusal refusal = InfoFileRefusal::None;
    };
    const auto none = [](TvuInstallation&) {};
    const auto automatic = [](int draw) {
        return [draw](TvuInstallation& i) {
            i.Automatic = true;
            i.Draw = draw;
        };
    };
    // An automatic check by an installation that skipped `release`.
    const auto automaticSkipped = [](const char* release) {
        return [release](TvuInstallation& i) {
            i.Automatic = true;
            i.Skipped = release;
        };
    };
    const std::string noProduct = "#date=06/14/2006\n#url=http://h/velmora\n";
    const std::vector<Case> cases = {
        {"plain newer release", Release(""), none, ReleaseVerdict::Offered},
        {"another product", Release("").replace(Release("").find("Velmora\n"), 7, "Other"), none,
         ReleaseVerdict::Refused, InfoFileRefusal::OtherProduct},
        {"signed without product", noProduct, none, ReleaseVerdict::Refused,
         InfoFileRefusal::OtherProduct},
        {"unsigned without product", noProduct, [](TvuInstallation& i) { i.Signed = false; },
         ReleaseVerdict::Offered},
        {"expiry ahead", Release("#expires=2006-06-20T12:00:01Z\n"), none, ReleaseVerdict::Offered},
        {"expired to the second", Release("#expires=2006-06-20T12:00:00Z\n"), none,
         ReleaseVerdict::Refused, InfoFileRefusal::Expired},
        {"expiry with an offset", Release("#expires=2006-06-20T13:30:00+02:00\n"), none,
         ReleaseVerdict::Refused, InfoFileRefusal::Expired},
        {"expiry without a zone", Release("#expires=2027-01-01T00:00:00\n"), none,
         ReleaseVerdict::Refused, InfoFileRefusal::Expired},
        {"signed without date", "#product=" + std::string(kProduct) + "\n#url=http://h/v\n", none,
         ReleaseVerdict::Refused, InfoFileRefusal::NoComparedValue},
        {"signed with unreadable date",
         "#date=06/14\n#product=" + std::string(kProduct) + "\n#url=http://h/v\n", none,
         ReleaseVerdict::Refused, InfoFileRefusal::NoComparedValue},
        {"unsigned without date counts as today", "#url=http://h/v\n",
         [](TvuInstallation& i) { i.Signed = false; }, ReleaseVerdict::Offered},
        {"signed by number without version",
         "#date=06/14/2006\n#product=" + std::string(kProduct) + "\n#url=http://h/v\n",
         [](TvuInstallation& i) { i.ByNumber = true; }, ReleaseVerdict::Refused,
         InfoFileRefusal::NoComparedValue},
        {"by number, not newer", Release(""),
         [](TvuInstallation& i) {
             i.ByNumber = true;
             i.VersionNumber = "2.0.0";
         },
         ReleaseVerdict::NotNewer},
        {"no files", "#date=06/14/2006\n#product=" + std::string(kProduct) + "\n", none,
         ReleaseVerdict::NotNewer},
        {"beta release, stable build", Release("#channel=beta\n"), none,
         ReleaseVerdict::OtherChannel},
        {"beta release, beta build", Release("#channel=beta\n"),
         [](TvuInstallation& i) { i.Channel = "beta"; }, ReleaseVerdict::Offered},
        {"no channel is stable, beta build", Release(""),
         [](TvuInstallation& i) { i.Channel = "beta"; }, ReleaseVerdict::OtherChannel},
        {"rollout 30, drew 30", Release("#rollout=30\n"), automatic(30), ReleaseVerdict::Offered},
        {"rollout 30, drew 31", Release("#rollout=30\n"), automatic(31), ReleaseVerdict::HeldBack},
        {"rollout 30, drew 31, asked by the user", Release("#rollout=30\n"), none,
         ReleaseVerdict::Offered},
        // Released 6 days ago, growing from 30 to 100 over 10 days: 30 + 70 * 6 / 10 = 72.
        {"growing rollout, drew 72", Release("#rollout=30\n#rolloutdays=10\n"), automatic(72),
         ReleaseVerdict::Offered},
        {"growing rollout, drew 73", Release("#rollout=30\n#rolloutdays=10\n"), automatic(73),
         ReleaseVerdict::HeldBack},
        {"grown to all", Release("#rollout=1\n#rolloutdays=6\n"), automatic(100),
         ReleaseVerdict::Offered},
        {"rollout not a percentage", Release("#rollout=30%\n"), automatic(1),
         ReleaseVerdict::HeldBack},
        {"critical is never held back", Release("#rollout=1\n#critical=1\n"), automatic(99),
         ReleaseVerdict::Offered},
        {"skipped release", Release(""), automaticSkipped("06/14/2006"), ReleaseVerdict::Skipped},
        {"another release was skipped", Release(""), automaticSkipped("06/01/2006"),
         ReleaseVerdict::Offered},
        {"skipped, asked by the user", Release(""),
         [](TvuInstallation& i) { i.Skipped = "06/14/2006"; }, ReleaseVerdict::Offered},
        {"skipped but critical", Release("#critical=1\n"), automaticSkipped("06/14/2006"),
         ReleaseVerdict::Offered},
        {"below the minimum date", Release("#minversion=06/14/2006\n"), none,
         ReleaseVerdict::ReleasePageOnly},
        {"at the minimum date", Release("#minversion=06/13/2006\n"), none, ReleaseVerdict::Offered},
        {"below the minimum version", Release("#minversion=1.5\n"),
         [](TvuInstallation& i) { i.ByNumber = true; }, ReleaseVerdict::ReleasePageOnly},
        {"at the minimum version", Release("#minversion=1.0.0\n"),
         [](TvuInstallation& i) { i.ByNumber = true; }, ReleaseVerdict::Offered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TvuInstallation installation = Installed();
        c.change(installation);
        const ReleaseDecision decision = DecideRelease(TvuInfoFileReader(c.file), installation);
        EXPECT_EQ(decision.Verdict, c.verdict) << decision.Reason;
        EXPECT_EQ(decision.Refusal, c.refusal) << decision.Reason;
        EXPECT_FALSE(decision.Reason.empty());
    }
}

TEST(ReleaseDecision, CriticalFlagReleaseAndTodaysShare) {
    const ReleaseDecision critical = DecideRelease(
        TvuInfoFileReader(Release("#critical=1\n#rollout=30\n#rolloutdays=10\n")), Installed());
    EXPECT_TRUE(critical.Critical);
    EXPECT_EQ(critical.Release, "06/14/2006");
    EXPECT_EQ(critical.RolloutPercent, 72);
    // Only "1" marks a critical release; the release is named as the installation compares it.
    TvuInstallation byNumber = Installed();
    byNumber.ByNumber = true;
    const ReleaseDecision plain =
        DecideRelease(TvuInfoFileReader(Release("#critical=yes\n")), byNumber);
    EXPECT_FALSE(plain.Critical);
    EXPECT_EQ(plain.Release, "2.0");
    EXPECT_EQ(plain.RolloutPercent, 100);
}

TEST(ReleaseDecision, ExpiryAndChannelForms) {
    EXPECT_EQ(FormatExpiry(*ParseExpiry("2027-01-08T13:00:00+01:00")), "2027-01-08T12:00:00Z");
    for (const char* bad :
         {"", "2027-01-08", "2027-01-08T12:00:00", "tomorrow", "2027-13-01T00:00:00Z"})
        EXPECT_FALSE(ParseExpiry(bad).has_value()) << bad;
    for (const char* good : {"stable", "beta", "nightly-2", "a_b"})
        EXPECT_TRUE(ValidChannel(good)) << good;
    for (const std::string& bad :
         std::vector<std::string>{"", "Beta", "be ta", "beta/1", std::string(33, 'a')})
        EXPECT_FALSE(ValidChannel(bad)) << bad;
}

} // namespace
