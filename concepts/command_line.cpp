#include "concepts/command_line.h"

#include "big5/big5.h"
#include "big5/big5_line_decoder.h"
#include "concepts/cangjie_table.h"
#include "concepts/concept_table.h"
#include "concepts/program_version.h"
#include "concepts/report.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace velmora {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitOutputFailed = 1;
constexpr int kExitBadInput = 2;

// The help text in pieces: the upgrade's usage line and paragraph are left out of builds without
// the upgrade component.
constexpr const char* kHelpUsage = "Usage: velmora --report CHARACTER CODE [--big5]\n"
                                   "       velmora --report - [--big5]\n"
                                   "       velmora --cangjie CHARACTER [--big5]\n"
                                   "       velmora --characters CODE [--big5]\n"
                                   "       velmora --concepts [--big5]\n";
constexpr const char* kHelpUpgradeUsage =
    "       velmora --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n";
constexpr const char* kHelpOptions =
    "       velmora --help | --version\n"
    "\n"
    "Without these options velmora opens its window.\n"
    "\n"
    "  --report CHARACTER CODE\n"
    "      Print the concept report of CHARACTER under CODE: the character in brackets, the\n"
    "      code in decimal, binary and hexadecimal, the character's Cangjie code (left out\n"
    "      when the character has none), the heading and the concept's description row.\n"
    "      CHARACTER is one character with a Big5 form (or empty); CODE is eight binary\n"
    "      digits, e.g.  velmora --report 頡 11110010\n"
    "  --report -\n"
    "      Read lines \"CHARACTER CODE\" from standard input and print each report preceded\n"
    "      by an empty line, as the result memo collects confirmed reports. Empty lines are\n"
    "      skipped.\n"
    "  --cangjie CHARACTER     Print every Cangjie code of CHARACTER, one a line, in table order.\n"
    "  --characters CODE       Print every character under the Cangjie CODE (1 to 5 letters).\n"
    "  --concepts              Print the 256 concept rows, each after its eight-digit code.\n"
    "  --big5\n"
    "      Write the output in Big5 with every line ended by CR LF, instead of UTF-8 with LF.\n"
    "      May stand before or after the other arguments.\n";
constexpr const char* kHelpUpgradeOption =
    "  --upgrade [--info-url URL] [--yes | --no] [--skip-missing]\n"
    "      Check for a newer version and install it without a window (see the README).\n"
    "      --yes or --no answers the upgrade question; otherwise it is asked on a terminal and\n"
    "      answered No without one. A missing file installs nothing unless --skip-missing\n"
    "      (never for the program file or an upgrade with hashes). Exit status: 0 installed,\n"
    "      10 no newer version, 11 upgrade information missing or invalid, 12 host unreachable,\n"
    "      transfer failed or a file missing, 13 declined, 14 verification failed, 15 install\n"
    "      failed and the previous version was restored, 16 program folder not writable, 17\n"
    "      another upgrade of the folder is running, 18 the helper could not be started\n"
    "      (nothing installed), 19 managed by the package manager, 21 nothing to install.\n";
constexpr const char* kHelpEnd =
    "  --help, -h\n"
    "      Show this text.\n"
    "  --version, -v\n"
    "      Print the program's name and version.\n"
    "\n"
    "Input is read as UTF-8. A code that is not eight binary digits, a character with no\n"
    "Big5 form, more than one character or a malformed input line ends the run with a\n"
    "message on standard error and exit status 2; in batch mode the reports of the lines\n"
    "before it have been printed. A character or Cangjie code with no rows prints nothing\n"
    "(a note goes to standard error) and ends with status 0. Exit status 1 means the output\n"
    "could not be written.\n";

void printError(const QString& message) {
    const QByteArray text = "velmora: " + message.toUtf8() + "\n";
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

// Writes Big5 lines to standard output, as they are with CR LF or converted to UTF-8 with LF.
class Writer {
public:
    bool big5 = false;

    void line(const QByteArray& big5Line) {
        if (big5) {
            buffer_.append(big5Line);
            buffer_.append("\r\n");
        } else {
            decoder_.appendUtf8(big5Line, buffer_);
            buffer_.append('\n');
        }
        // Output is collected and handed to the C library in large pieces.
        if (buffer_.size() >= kBufferBytes)
            flush();
    }
    void lines(const QByteArrayList& all) {
        for (const QByteArray& l : all)
            line(l);
    }
    // Writes out what is buffered; false when any output could not be written.
    bool finish() {
        flush();
        return std::fflush(stdout) == 0 && !failed_;
    }

private:
    static constexpr qsizetype kBufferBytes = 1 << 16;

    void flush() {
        if (std::fwrite(buffer_.constData(), 1, static_cast<std::size_t>(buffer_.size()), stdout) !=
            static_cast<std::size_t>(buffer_.size()))
            failed_ = true;
        buffer_.resize(0); // keeps the allocation for the next piece
    }

    Big5LineDecoder decoder_;
    QByteArray buffer_;
    bool failed_ = false;
};

// One character given as UTF-8 in Big5 (two bytes at most, as the window's character field
// holds); no value (and a message printed) otherwise.
std::optional<QByteArray> big5Character(const QString& character, const QString& where) {
    auto bytes = toBig5(character);
    if (!bytes) {
        printError(where + QStringLiteral("the character \"%1\" has no Big5 form").arg(character));
        return std::nullopt;
    }
    if (bytes->size() > 2) {
        printError(where +
                   QStringLiteral("\"%1\" is more than one character; give exactly one character")
                       .arg(character));
        return std::nullopt;
    }
    return bytes;
}

// The report of one character and code given as UTF-8; no value (and a message printed) for
// input the report refuses.
std::optional<QByteArrayList> reportFor(const QString& character, const QString& code,
                                        const QString& where) {
    const auto bytes = big5Character(character, where);
    if (!bytes)
        return std::nullopt;
    const ReportResult report = buildReport(*bytes, code.toUtf8());
    if (!report.ok()) {
        printError(where + report.error);
        return std::nullopt;
    }
    return report.lines;
}

// Where a batch line splits into character and code: its last white-space character, as the
// pattern \s matches it.
qsizetype lastSeparator(const QString& line) {
    static const QRegularExpression whiteSpace(QStringLiteral("\\s"));
    return line.lastIndexOf(whiteSpace);
}

int runBatch(Writer& out) {
    int lineNumber = 0;
    QByteArray raw;
    char buffer[4096];
    auto handle = [&](QByteArray rawLine) -> bool {
        ++lineNumber;
        if (rawLine.endsWith('\r'))
            rawLine.chop(1);
        // Only the end is trimmed here: a line that begins with the separating blank asks for
        // the report of an empty character.
        QString line = QString::fromUtf8(rawLine);
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        if (line.trimmed().isEmpty())
            return true;
        const QString where = QStringLiteral("line %1: ").arg(lineNumber);
        const qsizetype split = lastSeparator(line);
        if (split < 0) {
            printError(where + QStringLiteral("expected \"CHARACTER CODE\", got \"%1\"").arg(line));
            return false;
        }
        const auto report =
            reportFor(line.left(split).trimmed(), line.mid(split + 1).trimmed(), where);
        if (!report)
            return false;
        // What the memo gains per confirmed report: an empty line, then the report's lines.
        out.line(QByteArray());
        out.lines(*report);
        return true;
    };
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        raw += buffer;
        if (!raw.endsWith('\n'))
            continue;
        raw.chop(1);
        if (!handle(raw)) {
            out.finish();
            return kExitBadInput;
        }
        raw.clear();
    }
    if (!raw.isEmpty() && !handle(raw)) {
        out.finish();
        return kExitBadInput;
    }
    return out.finish() ? kExitOk : kExitOutputFailed;
}

int printLines(Writer& out, const QByteArrayList& lines, const QString& noneFound) {
    if (lines.isEmpty())
        printError(noneFound);
    out.lines(lines);
    return out.finish() ? kExitOk : kExitOutputFailed;
}

int runCangjie(Writer& out, const QString& character) {
    const auto bytes = big5Character(character, QString());
    if (!bytes)
        return kExitBadInput;
    return printLines(out, cangjieCodesOf(*bytes),
                      QStringLiteral("\"%1\" has no Cangjie code").arg(character));
}

int runCharacters(Writer& out, const QString& code) {
    const QByteArray letters = code.toLatin1().toUpper();
    const bool valid =
        !code.isEmpty() && code.size() <= 5 && std::all_of(code.begin(), code.end(), [](QChar c) {
            return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        });
    if (!valid) {
        printError(
            QStringLiteral("a Cangjie code is one to five letters A to Z, got \"%1\"").arg(code));
        return kExitBadInput;
    }
    return printLines(
        out, cangjieCharactersUnder(letters),
        QStringLiteral("no character has the Cangjie code %1").arg(QString::fromLatin1(letters)));
}

int runConcepts(Writer& out) {
    QByteArrayList lines;
    for (int v = 0; v < kConceptRowCount; ++v)
        lines.append(QByteArray::number(v, 2).rightJustified(8, '0') + ' ' + conceptRow(v));
    out.lines(lines);
    return out.finish() ? kExitOk : kExitOutputFailed;
}

// The options of this mode; anything else (Qt's own options, the restart marker after an
// upgrade) belongs to the window.
bool isOurOption(const char* arg) {
    for (const char* option : {"--report", "--cangjie", "--characters", "--concepts", "--big5",
                               "--help", "-h", "--version", "-v"})
        if (std::strcmp(arg, option) == 0)
            return true;
    return false;
}

} // namespace

bool wantsCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (isOurOption(argv[i]))
            return true;
    return false;
}

std::string helpText(bool withUpgrade) {
    std::string text = kHelpUsage;
    if (withUpgrade)
        text += kHelpUpgradeUsage;
    text += kHelpOptions;
    if (withUpgrade)
        text += kHelpUpgradeOption;
    return text + kHelpEnd;
}

int runCommandLine(int argc, char** argv, bool withUpgrade) {
    Writer out;
    QStringList args;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromUtf8(argv[i]);
        if (arg == QLatin1String("--big5"))
            out.big5 = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            help = true;
        else if (arg == QLatin1String("--version") || arg == QLatin1String("-v"))
            version = true;
        else
            args.append(arg);
    }
    if (help) {
        std::fputs(helpText(withUpgrade).c_str(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    }
    if (version) {
        std::fputs((versionLine() + QLatin1Char('\n')).toUtf8().constData(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    }
    if (args.isEmpty()) {
        printError(QStringLiteral("nothing to do; see velmora --help"));
        return kExitBadInput;
    }
    const QString action = args.takeFirst();
    const bool concepts = action == QLatin1String("--concepts");
    if (concepts || action == QLatin1String("--cangjie") ||
        action == QLatin1String("--characters")) {
        // The lookups take one argument each, the concept list none.
        if (args.size() != (concepts ? 0 : 1)) {
            printError(QStringLiteral("%1 takes %2; see velmora --help")
                           .arg(action, concepts ? QStringLiteral("no argument")
                                                 : QStringLiteral("one argument")));
            return kExitBadInput;
        }
        if (concepts)
            return runConcepts(out);
        return action == QLatin1String("--cangjie") ? runCangjie(out, args.first())
                                                    : runCharacters(out, args.first());
    }
    if (action != QLatin1String("--report")) {
        printError(QStringLiteral("unknown argument \"%1\"; see velmora --help").arg(action));
        return kExitBadInput;
    }
    fillConceptTable();
    if (args.size() == 1 && args.first() == QLatin1String("-"))
        return runBatch(out);
    if (args.size() != 2) {
        printError(QStringLiteral("--report takes CHARACTER CODE, or - to read standard input; "
                                  "see velmora --help"));
        return kExitBadInput;
    }
    const auto report = reportFor(args[0], args[1], QString());
    if (!report)
        return kExitBadInput;
    out.lines(*report);
    return out.finish() ? kExitOk : kExitOutputFailed;
}

} // namespace velmora
