// Rules of the window that need no window: the error box text, the display check, memo lines,
// the docked layout and the splitter's limits, the save file and the character input rule.
#include "big5/big5.h"
#include "ui/big5_input_validator.h"
#include "ui/concept_diagram.h"
#include "ui/display_check.h"
#include "ui/error_box.h"
#include "ui/form_layout.h"
#include "ui/memo_file.h"
#include "ui/memo_text.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>

using namespace velmora;

namespace {

EnvironmentReader environmentOf(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

QString repeat(const QString& text, int times) {
    return text.repeated(times);
}

const QString S = QString(QChar(0x3000));

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class UiLogicTest : public QObject {
    Q_OBJECT

private slots:
    void errorBoxTextAppendsAFullStopAfterLaterCharacters() {
        QCOMPARE(errorBoxText("Stream write error"), QStringLiteral("Stream write error."));
        QCOMPARE(errorBoxText("Done."), QStringLiteral("Done."));
        QCOMPARE(errorBoxText("Stop!"), QStringLiteral("Stop!"));
        QCOMPARE(errorBoxText("(see log)"), QStringLiteral("(see log)"));
        QCOMPARE(errorBoxText("ends in a blank "), QStringLiteral("ends in a blank "));
        QCOMPARE(errorBoxText("one: 1"), QStringLiteral("one: 1.")); // '1' sorts after '.'
        QCOMPARE(errorBoxText("a/"), QStringLiteral("a/."));
        QCOMPARE(errorBoxText("a-"), QStringLiteral("a-"));
        QCOMPARE(errorBoxText(QStringLiteral("無法儲存")), QStringLiteral("無法儲存."));
        QCOMPARE(errorBoxText(""), QString());
    }

    void displayCheck() {
        QVERIFY(missingDisplayMessage(environmentOf({})).has_value());
        QVERIFY(missingDisplayMessage(environmentOf({})).value().contains("xvfb-run"));
        QVERIFY(missingDisplayMessage(environmentOf({{"DISPLAY", ""}})).has_value());
        QVERIFY(!missingDisplayMessage(environmentOf({{"DISPLAY", ":0"}})));
        QVERIFY(!missingDisplayMessage(environmentOf({{"WAYLAND_DISPLAY", "wayland-0"}})));
        QVERIFY(!missingDisplayMessage(environmentOf({{"QT_QPA_PLATFORM", "offscreen"}})));
        QVERIFY(missingDisplayMessage(environmentOf({{"QT_QPA_PLATFORM", "xcb"}})));
        QVERIFY(!missingDisplayMessage(
            environmentOf({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":99"}})));
        QVERIFY(!missingDisplayMessage(
            environmentOf({{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}})));
        QVERIFY(missingDisplayMessage(
            environmentOf({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":1"}})));
    }

    void waylandAloneIsAskedForByName() {
        using velmora::sessionPlatform;
        QCOMPARE(sessionPlatform(environmentOf({{"WAYLAND_DISPLAY", "wayland-0"}})),
                 std::optional<QByteArray>("wayland"));
        // With an X server too, or an explicit choice, Qt decides as usual.
        QVERIFY(
            !sessionPlatform(environmentOf({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}})));
        QVERIFY(!sessionPlatform(
            environmentOf({{"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "xcb"}})));
        QVERIFY(!sessionPlatform(environmentOf({{"DISPLAY", ":0"}})));
        QVERIFY(!sessionPlatform(environmentOf({})));
    }

    void memoLinesAndAppending() {
        QCOMPARE(memoLines(""), QStringList());
        QCOMPARE(memoLines("\n"), QStringList{""});
        QCOMPARE(memoLines("a\nb"), QStringList({"a", "b"}));
        QCOMPARE(memoLines("a\nb\n"), QStringList({"a", "b"}));
        QCOMPARE(memoLines("a\n\n"), QStringList({"a", ""}));
        // Each added line ends with a line break; an unfinished last line is finished first,
        // so an added empty line is never swallowed.
        QCOMPARE(memoAppendText("", {"", "x"}), QStringLiteral("\nx\n"));
        QCOMPARE(memoAppendText("\nx\n", {"", "y"}), QStringLiteral("\ny\n"));
        QCOMPARE(memoAppendText("typed", {"", "y"}), QStringLiteral("\n\ny\n"));
        QCOMPARE(memoAppendText("typed", {}), QString());
        QPlainTextEdit memo;
        memo.setPlainText(QStringLiteral("a\u00A0b"));
        appendMemoLines(&memo, {"", "c"});
        QCOMPARE(memoText(&memo), QStringLiteral("a\u00A0b\n\nc\n"));
        QCOMPARE(memoTextCrLf(&memo), QStringLiteral("a\u00A0b\r\n\r\nc\r\n"));
    }

    void dockedLayoutAndSplitterLimits() {
        const DockedLayout start = dockedLayout(867, 479, 193);
        QCOMPARE(start.stat1, QRect(0, 460, 867, 19));
        QCOMPARE(start.pnl1, QRect(674, 0, 193, 460));
        QCOMPARE(start.spl1, QRect(671, 0, 3, 460));
        QCOMPARE(start.pnl2, QRect(0, 0, 671, 460));
        QCOMPARE(start.grp5, QRect(0, 0, 671, 217));
        QCOMPARE(start.grp7, QRect(0, 217, 671, 64));
        QCOMPARE(start.mmo2, QRect(0, 280, 671, 180));
        const DockedLayout closed = dockedLayout(867, 479, 0);
        QCOMPARE(closed.spl1, QRect(864, 0, 3, 460));
        QCOMPARE(closed.pnl2.width(), 864);

        QCOMPARE(splitPanelWidth(867, 671), 193);
        QCOMPARE(splitPanelWidth(867, 30), 834);
        QCOMPARE(splitPanelWidth(867, -500), 834); // the left panel keeps 30 pixels
        QCOMPARE(splitPanelWidth(867, 833), 31);
        QCOMPARE(splitPanelWidth(867, 834), 0); // 30 snaps shut
        QCOMPARE(splitPanelWidth(867, 2000), 0);
    }

    void defaultSuffix() {
        QCOMPARE(withDefaultSuffix("/tmp/report", "txt"), QStringLiteral("/tmp/report.txt"));
        QCOMPARE(withDefaultSuffix("/tmp/report.csv", "txt"), QStringLiteral("/tmp/report.csv"));
        QCOMPARE(withDefaultSuffix("/tmp/a.b/report", "txt"),
                 QStringLiteral("/tmp/a.b/report.txt"));
        QCOMPARE(withDefaultSuffix("/tmp/report", ""), QStringLiteral("/tmp/report"));
    }

    void saveFileBytes() {
        QTemporaryDir dir;
        const QString path = dir.filePath("x.txt");
        saveBig5File(path, QStringLiteral("『頡』\r\n倉頡編碼=GRMBC \r\n"));
        QCOMPARE(readAll(path), QByteArray("\xA1\x79\xBE\x65\xA1\x7A\r\n"
                                           "\xAD\xDC\xBE\x65\xBD\x73\xBD\x58=GRMBC \r\n"));
        saveBig5File(path, QString());
        QCOMPARE(readAll(path), QByteArray());
        // A device that takes no bytes: a short write.
        try {
            saveBig5File("/dev/full", "x");
            QFAIL("no error");
        } catch (const UiError& error) {
            QCOMPARE(error.message(), QStringLiteral("Stream write error"));
        }
        // A folder cannot be created as a file.
        try {
            saveBig5File(dir.path(), "x");
            QFAIL("no error");
        } catch (const UiError& error) {
            QCOMPARE(error.message(),
                     QStringLiteral("Cannot create file \"%1\". Is a directory").arg(dir.path()));
        }
        // Relative names are reported with their full path.
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        try {
            saveBig5File("missing/y.txt", "x");
            QFAIL("no error");
        } catch (const UiError& error) {
            QVERIFY(
                error.message().startsWith(
                    QStringLiteral("Cannot create file \"%1/missing/y.txt\".")
                        .arg(QDir(dir.path()).canonicalPath())) ||
                error.message().startsWith(
                    QStringLiteral("Cannot create file \"%1/missing/y.txt\".").arg(dir.path())));
        }
        QDir::setCurrent(cwd);
    }

    void characterInputRule() {
        Big5InputValidator validator(2);
        QString refused;
        validator.onRefused = [&](const QString& reason) { refused = reason; };
        auto state = [&](QString text) {
            int pos = 0;
            return validator.validate(text, pos);
        };
        QCOMPARE(state(""), QValidator::Acceptable);
        QCOMPARE(state(QStringLiteral("頡")), QValidator::Acceptable);
        QCOMPARE(state("ab"), QValidator::Acceptable);
        QVERIFY(refused.isEmpty());
        QCOMPARE(state("abc"), QValidator::Invalid);
        QVERIFY(!refused.isEmpty());
        QCOMPARE(state(QStringLiteral("a頡")), QValidator::Invalid);
        QCOMPARE(state(QStringLiteral("頡頡")), QValidator::Invalid);
        refused.clear();
        QCOMPARE(state(QStringLiteral("🀄")), QValidator::Invalid);
        QVERIFY(refused.contains(QStringLiteral("🀄")));
        QCOMPARE(state(QStringLiteral("ß")), QValidator::Invalid);
    }

    void diagramComposition() {
        const QStringList lines = conceptDiagramLines();
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines[0], repeat(S, 16) + "概" + repeat(S, 7) + "念");
        QCOMPARE(lines[1], repeat(S, 10) + " ┌" + repeat("─", 9) + "┴" + repeat("─", 9) + "┐");
        QCOMPARE(lines[2], "立場：" + repeat(S, 5) + " 靜態，客觀（體）" + repeat(S, 10) + " " + S +
                               "動態，主觀（用）");
        QCOMPARE(lines[3], repeat(S, 7) + "┌───┴────┐" + repeat(S, 8) + "┌────┴───┐");
        QCOMPARE(lines[4], "現象：" + repeat(S, 2) + " " + S + "抽象" + repeat(S, 7) + "具象" +
                               repeat(S, 7) + "認識" + repeat(S, 7) + "行為");
        const QString fork = QStringLiteral("┌─┴─┐");
        QCOMPARE(lines[5], repeat(S, 5) + QStringList(4, fork).join(repeat(S, 4)));
        QCOMPARE(lines[6], "認知：" + S + " 定義" + repeat(S, 2) + "應用" + repeat(S, 3) + "本存" +
                               repeat(S, 2) + "人造" + repeat(S, 3) + "感知" + repeat(S, 2) +
                               "狀態" + repeat(S, 3) + "能力" + repeat(S, 2) + "經驗");
        QString small = repeat(S, 4);
        for (int i = 0; i < 8; ++i)
            small += (i == 0 ? QString() : i % 2 == 1 ? S : repeat(S, 2)) + QStringLiteral("┌┴┐");
        QCOMPARE(lines[7], small + S);
        // Lines 9 to 13: sixteen columns in four groups; read downwards they give the names of
        // the fourth level.
        auto grouped = [](const QString& head, const QString& chars) {
            QString line = head;
            for (int i = 0; i < 16; ++i)
                line += (i > 0 && i % 4 == 0 ? S + S : S) + chars[i];
            return line;
        };
        QCOMPARE(lines[8], grouped("四別：", "符根規資本植食起刺心化界官技生行"));
        QCOMPARE(lines[9], grouped(repeat(S, 3), "號源範訊體物衣居激緒態態能能活事"));
        QCOMPARE(lines[10], grouped(repeat(S, 3), repeat("、", 16)));
        QCOMPARE(lines[11], grouped(repeat(S, 3), "語現人意肢動住工感認動知體智溝控"));
        QCOMPARE(lines[12], grouped(repeat(S, 3), "法象際義體物行作覺知態態能能通制") + " ");
    }
};

QTEST_MAIN(UiLogicTest)
#include "ui_logic_test.moc"
