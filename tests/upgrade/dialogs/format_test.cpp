// The message format routine and the wizard's figures.
#include "upgrade/dialogs/vuMessageFormat.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuWizardProgress.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vu;

TEST(Format, PlaceholdersOfTheMessages) {
    EXPECT_EQ(FormatText("File size: %.1f Kb", {12595 / 1024.0}), "File size: 12.3 Kb");
    EXPECT_EQ(FormatText("%d:%.2d:%.2d", {1, 2, 5}), "1:02:05");
    EXPECT_EQ(FormatText("%.2d", {123}), "123");
    EXPECT_EQ(FormatText("%.2d", {-2}), "-02");
    EXPECT_EQ(FormatText("%s and %s", {"a", QStringLiteral("軟體")}), "a and 軟體");
    EXPECT_EQ(FormatText("%.1f", {0.05}), "0.1");
    EXPECT_EQ(FormatText("%.1f", {2.0}), "2.0");
    EXPECT_EQ(FormatText("%d", {std::numeric_limits<qint64>::min()}), "-9223372036854775808");
    EXPECT_EQ(FormatText("100%% %5d|%-4s|%x", {42, "ab", 255}), "100%    42|ab  |FF");
}

TEST(Format, ArgumentsAreNeverFormatsAndGapsStayVisible) {
    // A release note from the network that holds placeholders is shown as written.
    EXPECT_EQ(FormatText("A %s B %s", {"%s%d%n", "x"}), "A %s%d%n B x");
    // Missing arguments and unknown placeholders stay as they are.
    EXPECT_EQ(FormatText("%s %d %.1f", {"only"}), "only %d %.1f");
    EXPECT_EQ(FormatText("%q %s", {"x"}), "%q x");
    EXPECT_EQ(FormatText("end %", {}), "end %");
    // An absurd width is not honoured (no unbounded allocation).
    EXPECT_EQ(FormatText("%999999999d", {1}), "%999999999d");
    // Kinds are converted rather than refused.
    EXPECT_EQ(FormatText("%d %.1f %s", {2.9, 3, 4}), "2 3.0 4");
}

TEST(WizardFigures, TotalBarAndTimeLeft) {
    // Second of three files at 50 %: 50 div 3 + PercentOf(3, 1) = 16 + 33.
    EXPECT_EQ(WizardTotalPercent(50, 1, 3), 49);
    EXPECT_EQ(WizardTotalPercent(100, 2, 3), 33 + 67);
    EXPECT_EQ(WizardTotalPercent(0, 0, 1), 0);
    EXPECT_EQ(WizardTotalPercent(100, 0, 1), 100);
    EXPECT_EQ(WizardTotalPercent(50, 0, 0), 0); // no files: no division by zero

    const TvuTimeLeft a = SplitTimeLeft(3725);
    EXPECT_EQ(a.Hours, 1);
    EXPECT_EQ(a.Minutes, 2);
    EXPECT_EQ(a.Seconds, 5);
    const TvuTimeLeft b = SplitTimeLeft(10000);
    EXPECT_EQ(b.Hours, 2);
    EXPECT_EQ(b.Minutes, 46);
    EXPECT_EQ(b.Seconds, 40);
    EXPECT_EQ(SplitTimeLeft(400000).Hours, 111); // hours are not limited
}

TEST(WizardFigures, TextsInEnglish) {
    const quint16 saved = MessageBase;
    MessageBase = MessageBlockStart(wlEnglish);
    EXPECT_EQ(WizardTimeLeftText(3725), "Estimated time left: 1:02:05");
    EXPECT_EQ(WizardTimeLeftText(10000), "Estimated time left: 2:46:40");
    EXPECT_EQ(WizardFileSizeText(12595), "File size: 12.3 Kb");
    EXPECT_EQ(WizardFileSizeText(0), "File size: 0.0 Kb");
    // Lengths beyond 2 GiB are shown as they are, not wrapped to negative sizes.
    EXPECT_EQ(WizardFileSizeText(3LL * 1024 * 1024 * 1024), "File size: 3145728.0 Kb");
    EXPECT_EQ(WizardTransferRateText(4.56), "Transfer rate: 4.6 Kb/s");
    EXPECT_EQ(WizardPositionText(2, 3), "Downloading 2 of 3");
    MessageBase = MessageBlockStart(wlChineseTraditional);
    EXPECT_EQ(WizardTimeLeftText(3725), "預估剩餘的時間: 1:02:05");
    MessageBase = saved;
}
