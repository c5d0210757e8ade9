// Builds the program's Cangjie table from the public-domain Cangjie 5 source table and writes it
// as a C++ source file of 8-byte rows. See README.md beside this file for the source, the rules
// and how to run it.

#include "big5/big5.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Row {
    QByteArray code; // six bytes, blank-padded
    QByteArray big5; // two bytes
};

// Variants folded onto the forms the program's table carries.
const QHash<QString, QString>& foldedVariants() {
    static const QHash<QString, QString> folds = {
        {QStringLiteral("时"), QStringLiteral("時")}, {QStringLiteral("襃"), QStringLiteral("褒")},
        {QStringLiteral("褎"), QStringLiteral("褒")}, {QStringLiteral("羣"), QStringLiteral("群")},
        {QStringLiteral("峯"), QStringLiteral("峰")}, {QStringLiteral("戅"), QStringLiteral("戇")},
        {QStringLiteral("艹"), QStringLiteral("廾")}, {QStringLiteral("胄"), QStringLiteral("冑")},
    };
    return folds;
}

// Characters kept at the user-defined positions that the Hong Kong extension gives them.
const QHash<QString, QByteArray>& userDefinedPositions() {
    static const QHash<QString, QByteArray> positions = {
        {QString::fromUtf8("𠕇"), QByteArray::fromHex("fa40")},
        {QString::fromUtf8("鋛"), QByteArray::fromHex("fa41")},
        {QString::fromUtf8("𠗟"), QByteArray::fromHex("fa42")},
        {QString::fromUtf8("𣿅"), QByteArray::fromHex("fa43")},
        {QString::fromUtf8("蕌"), QByteArray::fromHex("fa44")},
        {QString::fromUtf8("䊵"), QByteArray::fromHex("fa45")},
        {QString::fromUtf8("𥂝"), QByteArray::fromHex("fece")},
    };
    return positions;
}

bool isPrivateUse(const QString& text) {
    for (const char32_t c : text.toUcs4())
        if ((c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000)
            return true;
    return false;
}

bool isSingleCodePoint(const QString& text) {
    return text.toUcs4().size() == 1;
}

// Big5 bytes of a source character, or empty when the program's table leaves it out.
QByteArray tableBytes(const QString& character) {
    const auto special = userDefinedPositions().constFind(character);
    if (special != userDefinedPositions().constEnd())
        return *special;
    const auto big5 = velmora::toBig5(character);
    if (!big5 || big5->size() != 2)
        return {};
    if (*big5 == QByteArray::fromHex("a143")) // "。" has no code in the program's table
        return {};
    const auto lead = static_cast<unsigned char>((*big5)[0]);
    const auto trail = static_cast<unsigned char>((*big5)[1]);
    if (velmora::isEtenBlock(lead, trail))
        return *big5;
    if (isPrivateUse(velmora::fromBig5(*big5)))
        return {};
    return *big5;
}

QByteArray padded(const QByteArray& letters) {
    return letters.leftJustified(6, ' ');
}

// The user-defined characters 8140..81E5 under "ZZA" + two letters A..U counting the slot.
std::vector<Row> userDefinedRows() {
    std::vector<Row> rows;
    auto add = [&](int trail) {
        const int slot = trail <= 0x7E ? trail - 0x40 : trail - 0xA1 + 64;
        QByteArray code = "ZZA";
        code += char('A' + slot / 21);
        code += char('A' + slot % 21);
        QByteArray bytes;
        bytes += char(0x81);
        bytes += char(trail);
        rows.push_back({padded(code), bytes});
    };
    for (int t = 0x40; t <= 0x7E; ++t)
        add(t);
    for (int t = 0xA1; t <= 0xE5; ++t)
        add(t);
    return rows;
}

// Rows for characters that would otherwise have no code of their own: 胄 and 褎, which the folds
// above put under 冑 and 褒 (those rows stay as they are), and the two compatibility forms of code
// page 950, C94A and DDFC, under every code of their unified characters 兀 (A461) and 嗀 (DCD1).
// They are added after the rows read from the source, so the stable sort puts each after the
// rows of equal code and no character's first row changes.
void addUnfoldedRows(std::vector<Row>& rows) {
    const std::pair<const char*, const char*> ownCodes[] = {{"LWB", "胄"}, {"YHDV", "褎"}};
    const std::pair<QByteArray, QByteArray> compatibilityForms[] = {
        {QByteArray::fromHex("c94a"), QByteArray::fromHex("a461")},
        {QByteArray::fromHex("ddfc"), QByteArray::fromHex("dcd1")}};
    std::vector<Row> added;
    for (const auto& [code, character] : ownCodes)
        added.push_back({padded(code), velmora::toBig5(character).value()});
    for (const auto& [form, unified] : compatibilityForms)
        for (const Row& r : rows)
            if (r.big5 == unified)
                added.push_back({r.code, form});
    rows.insert(rows.end(), added.begin(), added.end());
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

// A comment that shows the row's character: itself, or its Big5 code for user-defined ones.
QString shownCharacter(const QByteArray& big5) {
    const QString text = velmora::fromBig5(big5);
    if (isPrivateUse(text))
        return QStringLiteral("user-defined ") + hex(big5);
    return text;
}

void printStatistics(const std::vector<Row>& rows) {
    QTextStream out(stderr);
    out << "rows: " << rows.size() << "\n";
    QMap<int, int> byLength;
    for (const Row& r : rows)
        byLength[r.code.trimmed().size()]++;
    for (auto it = byLength.cbegin(); it != byLength.cend(); ++it)
        out << "  codes of " << it.key() << " letters: " << it.value() << "\n";

    struct Range {
        const char* name;
        unsigned from, to;
        int count = 0;
    };
    std::vector<Range> ranges = {
        {"symbols A140-A3BF", 0xA140, 0xA3BF},     {"frequent A440-C67E", 0xA440, 0xC67E},
        {"additions C6A1-C8FE", 0xC6A1, 0xC8FE},   {"less frequent C940-F9D5", 0xC940, 0xF9D5},
        {"extension F9D6-F9FE", 0xF9D6, 0xF9FE},   {"user-defined FA40-FEFE", 0xFA40, 0xFEFE},
        {"user-defined 8140-A0FE", 0x8140, 0xA0FE}};
    for (const Row& r : rows) {
        const unsigned code =
            (static_cast<unsigned char>(r.big5[0]) << 8) | static_cast<unsigned char>(r.big5[1]);
        for (Range& range : ranges)
            if (code >= range.from && code <= range.to)
                range.count++;
    }
    for (const Range& range : ranges)
        out << "  " << range.name << ": " << range.count << "\n";

    auto family = [&](const char* prefix) {
        int first = -1, last = -1, count = 0;
        for (int i = 0; i < int(rows.size()); ++i)
            if (rows[i].code.startsWith(prefix)) {
                if (first < 0)
                    first = i;
                last = i;
                count++;
            }
        out << "  family " << prefix << ": " << count << " rows, " << first << " to " << last
            << "\n";
    };
    family("X");
    family("YYY");
    family("ZZ");

    QHash<QByteArray, int> perCharacter, perCode;
    for (const Row& r : rows) {
        perCharacter[r.big5]++;
        perCode[r.code]++;
    }
    int multiCharacters = 0, maxCodes = 0, multiCodes = 0, maxCharacters = 0;
    for (const int n : perCharacter) {
        multiCharacters += n > 1;
        maxCodes = std::max(maxCodes, n);
    }
    for (const int n : perCode) {
        multiCodes += n > 1;
        maxCharacters = std::max(maxCharacters, n);
    }
    out << "  distinct characters: " << perCharacter.size()
        << ", distinct codes: " << perCode.size() << "\n";
    out << "  characters under more than one code: " << multiCharacters << " (at most " << maxCodes
        << ")\n";
    out << "  codes with more than one character: " << multiCodes << " (at most " << maxCharacters
        << ")\n";
    out << "  rows repeated, identical and adjacent:";
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].code == rows[i - 1].code && rows[i].big5 == rows[i - 1].big5)
            out << " \"" << QString::fromLatin1(rows[i].code) << shownCharacter(rows[i].big5)
                << "\"";
    out << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_TABLE OUTPUT_CPP\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    std::vector<Row> rows;
    bool inData = false;
    int sourceLines = 0;
    while (!source.atEnd()) {
        const QString line = QString::fromUtf8(source.readLine()).trimmed();
        if (!inData) {
            inData = line == QStringLiteral("[数据]");
            continue;
        }
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank <= 0)
            continue;
        ++sourceLines;
        const QByteArray code = line.left(blank).toLatin1().toUpper();
        QString character = line.mid(blank + 1).trimmed();
        if (code.size() < 1 || code.size() > 5 || code.startsWith('Z'))
            continue;
        if (!std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            continue;
        if (!isSingleCodePoint(character))
            continue;
        character = foldedVariants().value(character, character);
        const QByteArray bytes = tableBytes(character);
        if (bytes.isEmpty())
            continue;
        rows.push_back({padded(code), bytes});
    }
    if (!inData) {
        std::fprintf(stderr, "%s has no data section\n", argv[1]);
        return 1;
    }
    addUnfoldedRows(rows);
    const std::vector<Row> user = userDefinedRows();
    rows.insert(rows.end(), user.begin(), user.end());
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::lexicographical_compare(
            a.code.begin(), a.code.end(), b.code.begin(), b.code.end(),
            [](char x, char y) { return (unsigned char)x < (unsigned char)y; });
    });

    QFile output(QString::fromLocal8Bit(argv[2]));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    QTextStream out(&output);
    out << "// Generated by tools/cangjie/generate_cangjie_table from the Cangjie 5 source table;\n"
           "// do not edit by hand. Each line is one row: the code in six bytes, then the\n"
           "// character's two Big5 bytes.\n"
           "#include \"concepts/cangjie_table.h\"\n\n"
           "namespace velmora {\n\n"
           "// clang-format off\n"
           "const char CangjieTable[] =\n";
    for (const Row& r : rows) {
        out << "    \"" << QString::fromLatin1(r.code);
        for (const char b : r.big5)
            out << "\\x" << QString::number(static_cast<unsigned char>(b), 16).toUpper();
        out << "\" // " << shownCharacter(r.big5) << "\n";
    }
    out << "    ;\n// clang-format on\n\n"
        << "const int CangjieRowCount = " << rows.size() << ";\n\n"
        << "} // namespace velmora\n";
    out.flush();
    if (output.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "writing %s failed\n", argv[2]);
        return 1;
    }
    std::fprintf(stderr, "source rows: %d\n", sourceLines);
    printStatistics(rows);
    return 0;
}
