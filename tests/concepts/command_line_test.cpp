// Runs the built program in its command-line mode, as a script would.
#include "big5/big5.h"
#include "concepts/command_line.h"
#include "concepts/concept_table.h"
#include "concepts/program_version.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome run(const QStringList& args, const QByteArray& input = QByteArray()) {
    QProcess process;
    // The program under test; VELMORA_BINARY may point elsewhere.
    const QString binary =
        qEnvironmentVariable("VELMORA_BINARY", QString::fromUtf8(VELMORA_BINARY_PATH));
    process.start(binary, args);
    Outcome result;
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << "cannot start " << binary.toStdString();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "no answer from " << binary.toStdString();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString code(int v) {
    return QStringLiteral("%1").arg(v, 8, 2, QLatin1Char('0'));
}

// The report of 頡 under code v, as UTF-8 lines ended by LF.
QByteArray expectedReport(int v) {
    QString text = u("『頡』\n") + u("十進制代碼=%1\n").arg(v) + u("二進制代碼=") + code(v) + "\n" +
                   u("十六進制代碼=%1\n").arg(v, 2, 16, QLatin1Char('0')).toUpper() +
                   u("倉頡編碼=GRMBC \n") + u("【概念分類】\n") +
                   velmora::fromBig5(velmora::conceptRow(v)) + "\n";
    return text.toUtf8();
}

} // namespace

TEST(CommandLine, ReportsEveryCode) {
    for (int v = 0; v < 256; ++v) {
        const Outcome r = run({QStringLiteral("--report"), u("頡"), code(v)});
        ASSERT_EQ(r.exitCode, 0) << v << r.err.constData();
        EXPECT_EQ(r.out, expectedReport(v)) << v;
        EXPECT_TRUE(r.err.isEmpty());
    }
}

TEST(CommandLine, BatchAccumulatesReportsLikeTheMemo) {
    QByteArray input;
    QByteArray expected;
    for (int v = 0; v < 256; ++v) {
        input += (u("頡 ") + code(v) + (v % 2 ? "\r\n" : "\n")).toUtf8();
        expected += "\n" + expectedReport(v);
    }
    input += "\n"; // empty lines are skipped
    const Outcome r = run({QStringLiteral("--report"), QStringLiteral("-")}, input);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, expected);
}

TEST(CommandLine, SixLinesWithoutACangjieCodeAndAnEmptyCharacter) {
    const Outcome comma = run({QStringLiteral("--report"), u("，"), QStringLiteral("00000000")});
    EXPECT_EQ(comma.exitCode, 0);
    EXPECT_EQ(comma.out.count('\n'), 6);
    EXPECT_TRUE(comma.out.startsWith(u("『，』\n十進制代碼=0\n").toUtf8()));
    EXPECT_FALSE(comma.out.contains(u("倉頡編碼").toUtf8()));

    const Outcome empty = run({QStringLiteral("--report"), QString(), QStringLiteral("11111111")});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_TRUE(empty.out.startsWith(u("『』\n十進制代碼=255\n").toUtf8()));

    // An empty character in batch mode is a line that begins with the separating blank.
    const Outcome batch = run({QStringLiteral("--report"), QStringLiteral("-")}, " 00000001\n");
    EXPECT_EQ(batch.exitCode, 0);
    EXPECT_TRUE(batch.out.startsWith(u("\n『』\n").toUtf8()));
}

TEST(CommandLine, Big5OutputWithCrLfBeforeOrAfterTheOtherArguments) {
    QByteArray expected;
    for (const QByteArray& line : expectedReport(242).split('\n'))
        if (!line.isEmpty())
            expected += velmora::toBig5(QString::fromUtf8(line)).value() + "\r\n";
    const Outcome after = run({QStringLiteral("--report"), u("頡"), code(242), "--big5"});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_EQ(after.out, expected);
    const Outcome before =
        run({QStringLiteral("--big5"), QStringLiteral("--report"), u("頡"), code(242)});
    EXPECT_EQ(before.out, expected);
    // "═" is written as the code page's F9F9.
    EXPECT_TRUE(after.out.contains(QByteArray::fromHex("f9f9")));

    const Outcome batch =
        run({QStringLiteral("--big5"), QStringLiteral("--report"), QStringLiteral("-")},
            (u("頡 ") + code(242) + "\n").toUtf8());
    EXPECT_EQ(batch.out, "\r\n" + expected);
}

TEST(CommandLine, BadInputEndsWithStatusTwo) {
    for (const QString& bad : {QStringLiteral("1111001"), QStringLiteral("111100100"),
                               QStringLiteral("11112010"), QStringLiteral("F2")}) {
        const Outcome r = run({QStringLiteral("--report"), u("頡"), bad});
        EXPECT_EQ(r.exitCode, 2) << bad.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains("eight binary digits")) << r.err.constData();
    }
    const Outcome emoji = run({QStringLiteral("--report"), u("😀"), code(0)});
    EXPECT_EQ(emoji.exitCode, 2);
    EXPECT_TRUE(emoji.err.contains("no Big5 form"));
    EXPECT_TRUE(emoji.out.isEmpty());

    const Outcome twoCharacters = run({QStringLiteral("--report"), u("頡頡"), code(0)});
    EXPECT_EQ(twoCharacters.exitCode, 2);

    for (const QStringList& args :
         {QStringList{QStringLiteral("--report")}, QStringList{QStringLiteral("--report"), u("頡")},
          QStringList{QStringLiteral("--report"), u("頡"), code(1), code(2)},
          QStringList{QStringLiteral("--big5")}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST(CommandLine, BatchStopsAtTheFirstBadLineAfterPrintingTheGoodOnes) {
    const QByteArray input = (u("頡 ") + code(242) + "\n" + u("日 ") + code(0) + "\n" + u("頡 2") +
                              "\n" + u("日 ") + code(1) + "\n")
                                 .toUtf8();
    const Outcome r = run({QStringLiteral("--report"), QStringLiteral("-")}, input);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("line 3")) << r.err.constData();
    const QString sun = u("\n『日』\n十進制代碼=0\n二進制代碼=00000000\n十六進制代碼=00\n"
                          "倉頡編碼=A     \n【概念分類】\n") +
                        velmora::fromBig5(velmora::conceptRow(0)) + "\n";
    EXPECT_EQ(r.out, "\n" + expectedReport(242) + sun.toUtf8());

    const Outcome noCode =
        run({QStringLiteral("--report"), QStringLiteral("-")}, u("頡\n").toUtf8());
    EXPECT_EQ(noCode.exitCode, 2);
    EXPECT_TRUE(noCode.out.isEmpty());
    const Outcome badCharacter =
        run({QStringLiteral("--report"), QStringLiteral("-")}, (u("😀 ") + code(3)).toUtf8());
    EXPECT_EQ(badCharacter.exitCode, 2);
    EXPECT_TRUE(badCharacter.err.contains("no Big5 form"));
}

TEST(CommandLine, BatchSplitsAtATabAsAtABlank) {
    // The four characters that have their own Cangjie rows report them.
    const QByteArray input = (u("胄\t") + code(1) + "\n" + u("褎 ") + code(2) + "\n").toUtf8();
    const Outcome r = run({QStringLiteral("--report"), QStringLiteral("-")}, input);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains(u("『胄』\n十進制代碼=1\n二進制代碼=00000001\n十六進制代碼=01\n"
                                 "倉頡編碼=LWB   \n")
                                   .toUtf8()));
    EXPECT_TRUE(r.out.contains(u("『褎』\n十進制代碼=2\n二進制代碼=00000010\n十六進制代碼=02\n"
                                 "倉頡編碼=YHDV  \n")
                                   .toUtf8()));
}

TEST(CommandLine, CangjieCodesOfACharacter) {
    const Outcome r = run({QStringLiteral("--cangjie"), u("褒")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "XXYHD\nXYHDV\nYHDV\nYODV\n");
    EXPECT_EQ(run({QStringLiteral("--cangjie"), u("兀"), QStringLiteral("--big5")}).out, "MU\r\n");
    // The compatibility form of 兀 (code page 950's C94A) has its own row under the same code.
    EXPECT_EQ(run({QStringLiteral("--cangjie"), QString(QChar(0xFA0C))}).out, "MU\n");

    const Outcome none = run({QStringLiteral("--cangjie"), u("，")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_TRUE(none.err.contains("no Cangjie code")) << none.err.constData();

    for (const QStringList& bad : {QStringList{QStringLiteral("--cangjie")},
                                   QStringList{QStringLiteral("--cangjie"), u("頡頡")},
                                   QStringList{QStringLiteral("--cangjie"), u("😀")},
                                   QStringList{QStringLiteral("--cangjie"), u("頡"), u("日")}}) {
        const Outcome refused = run(bad);
        EXPECT_EQ(refused.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(refused.out.isEmpty());
        EXPECT_FALSE(refused.err.isEmpty());
    }
}

TEST(CommandLine, CharactersUnderACode) {
    const Outcome r = run({QStringLiteral("--characters"), QStringLiteral("IPP")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, u("態\n庇\n忒\n麀\n").toUtf8());
    // Lower case is the same code; Big5 output ends its lines with CR LF.
    EXPECT_EQ(
        run({QStringLiteral("--big5"), QStringLiteral("--characters"), QStringLiteral("lwb")}).out,
        velmora::toBig5(u("冑")).value() + "\r\n" + velmora::toBig5(u("胄")).value() + "\r\n");

    const Outcome none = run({QStringLiteral("--characters"), QStringLiteral("ZZZZZ")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_FALSE(none.err.isEmpty());

    for (const QString& bad : {QString(), QStringLiteral("ABCDEF"), QStringLiteral("A1"),
                               QStringLiteral("A B"), u("日")}) {
        const Outcome refused = run({QStringLiteral("--characters"), bad});
        EXPECT_EQ(refused.exitCode, 2) << bad.toStdString();
        EXPECT_TRUE(refused.err.contains("one to five letters")) << refused.err.constData();
    }
}

TEST(CommandLine, ConceptRowsWithTheirCodes) {
    QByteArray expected;
    for (int v = 0; v < 256; ++v)
        expected += (code(v) + ' ' + velmora::fromBig5(velmora::conceptRow(v)) + '\n').toUtf8();
    const Outcome r = run({QStringLiteral("--concepts")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, expected);
    QByteArray big5;
    for (int v = 0; v < 256; ++v)
        big5 += code(v).toLatin1() + ' ' + velmora::conceptRow(v) + "\r\n";
    EXPECT_EQ(run({QStringLiteral("--concepts"), QStringLiteral("--big5")}).out, big5);
    EXPECT_EQ(run({QStringLiteral("--concepts"), QStringLiteral("x")}).exitCode, 2);
}

TEST(CommandLine, HelpDescribesTheOptions) {
    const Outcome r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"--report CHARACTER CODE", "--report -", "--cangjie CHARACTER",
                             "--characters CODE", "--concepts", "--big5", "exit status 2"})
        EXPECT_TRUE(r.out.contains(word)) << word;
}

TEST(CommandLine, HelpListsTheUpgradeOnlyWhenTheBuildHasIt) {
    const std::string with = velmora::helpText(true);
    const std::string without = velmora::helpText(false);
    EXPECT_EQ(without.find("--upgrade"), std::string::npos) << without;
    EXPECT_NE(
        with.find("       velmora --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n"
                  "       velmora --help | --version\n"),
        std::string::npos);
    EXPECT_NE(with.find("  --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n"
                        "      Check for a newer version"),
              std::string::npos);
    // Everything else is in both, in the same order: the texts differ by the upgrade's lines only.
    std::string stripped = with;
    for (const char* lines :
         {"       velmora --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n",
          "  --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n"}) {
        const std::size_t at = stripped.find(lines);
        ASSERT_NE(at, std::string::npos) << lines;
        stripped.erase(at, std::string(lines).size());
    }
    const std::size_t paragraph = stripped.find("      Check for a newer version");
    ASSERT_NE(paragraph, std::string::npos);
    stripped.erase(paragraph, stripped.find("  --help, -h") - paragraph);
    EXPECT_EQ(stripped, without);
    // The program says what its own build has.
    const Outcome r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.out.toStdString(), velmora::helpText(VELMORA_WITH_UPDATER));
}

TEST(CommandLine, VersionPrintsTheBuildsVersionAndSucceeds) {
    // The version is the one the build declares, in the program and in every place it shows.
    EXPECT_EQ(velmora::programVersion(), QStringLiteral(VELMORA_PROJECT_VERSION));
    EXPECT_EQ(velmora::captionDate().size(), 8);
    for (const char* option : {"--version", "-v"}) {
        const Outcome r = run({QString::fromLatin1(option)});
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_EQ(r.out, QByteArray("Velmora " VELMORA_PROJECT_VERSION "\n")) << option;
        EXPECT_TRUE(r.err.isEmpty()) << option;
    }
    const Outcome help = run({QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains("--version, -v"));
}

TEST(CommandLine, OnlyItsOwnOptionsKeepTheWindowFromStarting) {
    auto wants = [](std::vector<std::string> args) {
        args.insert(args.begin(), "velmora");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        return velmora::wantsCommandLine(int(argv.size()), argv.data());
    };
    EXPECT_FALSE(wants({}));
    EXPECT_FALSE(wants({"/afterupgrade"}));
    EXPECT_FALSE(wants({"-platform", "offscreen"}));
    EXPECT_FALSE(wants({"--platform", "offscreen"}));
    EXPECT_TRUE(wants({"--report", "-"}));
    EXPECT_TRUE(wants({"x", "--big5"}));
    EXPECT_TRUE(wants({"--help"}));
    EXPECT_TRUE(wants({"-h"}));
    EXPECT_TRUE(wants({"--version"}));
    EXPECT_TRUE(wants({"-v"}));
    EXPECT_TRUE(wants({"--cangjie", "x"}));
    EXPECT_TRUE(wants({"--characters", "A"}));
    EXPECT_TRUE(wants({"--concepts"}));
}
