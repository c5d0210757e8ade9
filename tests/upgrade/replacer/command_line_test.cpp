// Reading the helper's command line: the split at blanks and "+", and the method digit.
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuReplacerCommandLine.h"

#include <gtest/gtest.h>

using namespace vu;

using replacer::Invocation;
using replacer::ParseCommandLine;

namespace {

// The command line cut as the upgrade component cuts it before starting the helper: at single
// blanks, empty pieces kept, so that runs of blanks survive the round trip.
Invocation Parse(const std::string& line, const replacer::FileProbe& probe = nullptr) {
    return ParseCommandLine(replacer::SplitFields(line, ' '), probe);
}

} // namespace

TEST(upgrade_replacer_CommandLine, PathWithBlanksIsJoinedAgain) {
    const Invocation inv = Parse("/srv/Program Files/App/prog.exe +/afterupgrade0");
    EXPECT_EQ(inv.commandText, "/srv/Program Files/App/prog.exe +/afterupgrade0 ");
    EXPECT_EQ(inv.programPath, "/srv/Program Files/App/prog.exe");
    EXPECT_EQ(inv.restartParams, "/afterupgrade");
    EXPECT_FALSE(inv.externalSetup);

    const Invocation doubled = Parse("/srv/two  blanks/prog.exe +/afterupgrade1");
    EXPECT_EQ(doubled.programPath, "/srv/two  blanks/prog.exe");
    EXPECT_EQ(doubled.restartParams, "/afterupgrade");
    EXPECT_TRUE(doubled.externalSetup);
}

TEST(upgrade_replacer_CommandLine, MethodDigitIsTheLastCharacter) {
    EXPECT_TRUE(Parse("/a/prog +/x1").externalSetup);
    EXPECT_FALSE(Parse("/a/prog +/x0").externalSetup);
    EXPECT_FALSE(Parse("/a/prog +/x2").externalSetup);
    // The digit goes, the rest of the parameters stays, blanks included.
    EXPECT_EQ(Parse("/a/prog +/x /y0").restartParams, "/x /y");
    EXPECT_EQ(Parse("/a/prog +0").restartParams, "");
    EXPECT_EQ(Parse("/a/prog +").restartParams, "");
}

TEST(upgrade_replacer_CommandLine, SeparatorIsTheFirstPlusAfterABlank) {
    // A "+" inside a folder name does not cut the path.
    EXPECT_EQ(Parse("/opt/c++/prog.exe +/afterupgrade0").programPath, "/opt/c++/prog.exe");
    // Several " +": the first whose preceding text names an existing file, else the first.
    const std::string tricky = "/opt/a +b/prog.exe +/afterupgrade0";
    const Invocation found =
        Parse(tricky, [](const std::string& path) { return path == "/opt/a +b/prog.exe"; });
    EXPECT_EQ(found.programPath, "/opt/a +b/prog.exe");
    EXPECT_EQ(found.restartParams, "/afterupgrade");
    const Invocation first = Parse(tricky, [](const std::string&) { return false; });
    EXPECT_EQ(first.programPath, "/opt/a");
    EXPECT_EQ(first.restartParams, "b/prog.exe +/afterupgrade");
    // Without " +" the first "+" separates.
    EXPECT_EQ(Parse("/opt/prog.exe+/afterupgrade0").programPath, "/opt/prog.exe");
}

TEST(upgrade_replacer_CommandLine, WithoutPlusTheWholeTextIsThePath) {
    const Invocation inv = Parse("/srv/My App/prog.exe");
    EXPECT_EQ(inv.programPath, "/srv/My App/prog.exe");
    EXPECT_EQ(inv.restartParams, "");
}

TEST(upgrade_replacer_CommandLine, FolderNameAndParameterSplit) {
    EXPECT_EQ(replacer::FolderOf("/srv/My App/prog.exe"), "/srv/My App/");
    EXPECT_EQ(replacer::NameOf("/srv/My App/prog.exe"), "prog.exe");
    EXPECT_EQ(replacer::FolderOf("prog.exe"), "");
    EXPECT_EQ(replacer::SplitParameters(" /a  /b "), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_TRUE(replacer::SplitParameters("").empty());
}
