#include "concepts/command_line.h"

#include "concepts/big5.h"
#include "concepts/concept_table.h"
#include "concepts/program_version.h"
#include "concepts/report.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <optional>

namespace velmora {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitOutputFailed = 1;
constexpr int kExitBadInput = 2;

constexpr const char* kHelp =
    "Usage: velmora --report CHARACTER CODE [--big5]\n"
    "       velmora --report - [--big5]\n"
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
    "  --big5\n"
    "      Write the reports in Big5 with every line ended by CR LF, instead of UTF-8 with LF.\n"
    "      May stand before or after the other arguments.\n"
    "  --help, -h\n"
    "      Show this text.\n"
    "  --version, -v\n"
    "      Print the program's name and version.\n"
    "\n"
    "Input is read as UTF-8. A code that is not eight binary digits, a character with no\n"
    "Big5 form, more than one character or a malformed input line ends the run with a\n"
    "message on standard error and exit status 2; in batch mode the reports of the lines\n"
    "before it have been printed. Exit status 1 means the output could not be written.\n";

void printError(const QString& message) {
    const QByteArray text = "velmora: " + message.toUtf8() + "\n";
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

struct Writer {
    bool big5 = false;
    bool failed = false;

    void line(const QByteArray& big5Line) {
        QByteArray out = big5 ? big5Line + "\r\n" : fromBig5(big5Line).toUtf8() + "\n";
        if (std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout) !=
            static_cast<std::size_t>(out.size()))
            failed = true;
    }
    void lines(const QByteArrayList& all) {
        for (const QByteArray& l : all)
            line(l);
    }
    bool finish() { return std::fflush(stdout) == 0 && !failed; }
};

// The report of one character and code given as UTF-8; no value (and a message printed) for
// input the report refuses.
std::optional<QByteArrayList> reportFor(const QString& character, const QString& code,
                                        const QString& where) {
    const auto big5Character = toBig5(character);
    if (!big5Character) {
        printError(where + QStringLiteral("the character \"%1\" has no Big5 form").arg(character));
        return std::nullopt;
    }
    // The same limit as the window's character field: one Big5 character, two bytes at most.
    if (big5Character->size() > 2) {
        printError(where +
                   QStringLiteral("\"%1\" is more than one character; give exactly one character")
                       .arg(character));
        return std::nullopt;
    }
    const ReportResult report = btn3Click(*big5Character, code.toUtf8());
    if (!report.ok()) {
        printError(where + report.error);
        return std::nullopt;
    }
    return report.lines;
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
        const qsizetype split = line.lastIndexOf(QRegularExpression(QStringLiteral("\\s")));
        if (split < 0) {
            printError(where + QStringLiteral("expected \"CHARACTER CODE\", got \"%1\"").arg(line));
            return false;
        }
        const auto report =
            reportFor(line.left(split).trimmed(), line.mid(split + 1).trimmed(), where);
        if (!report)
            return false;
        out.lines(memoTransferLines(*report));
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

// The options of this mode; anything else (Qt's own options, the restart marker after an
// upgrade) belongs to the window.
bool isOurOption(const char* arg) {
    for (const char* option : {"--report", "--big5", "--help", "-h", "--version", "-v"})
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

int runCommandLine(int argc, char** argv) {
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
        std::fputs(kHelp, stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    }
    if (version) {
        std::fputs((versionLine() + QLatin1Char('\n')).toUtf8().constData(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    }
    if (args.isEmpty() || args.first() != QLatin1String("--report")) {
        printError(
            args.isEmpty()
                ? QStringLiteral("nothing to do; see velmora --help")
                : QStringLiteral("unknown argument \"%1\"; see velmora --help").arg(args.first()));
        return kExitBadInput;
    }
    args.removeFirst();
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
