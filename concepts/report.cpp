#include "concepts/report.h"

#include "big5/big5.h"
#include "concepts/cangjie_table.h"
#include "concepts/concept_table.h"

#include <algorithm>

namespace velmora {
namespace {

// The report's fixed texts in Big5, converted once.
struct FixedTexts {
    QByteArray openBracket = toBig5("『").value();
    QByteArray closeBracket = toBig5("』").value();
    QByteArray decimal = toBig5("十進制代碼=").value();
    QByteArray binary = toBig5("二進制代碼=").value();
    QByteArray hexadecimal = toBig5("十六進制代碼=").value();
    QByteArray cangjie = toBig5("倉頡編碼=").value();
    QByteArray heading = toBig5("【概念分類】").value();
    QByteArray caption = toBig5("請確認").value();
    QByteArray askPrefix = toBig5("您確定").value();
    QByteArray askQuestion = toBig5("定義正確嗎 ?").value();
};

const FixedTexts& fixed() {
    static const FixedTexts texts;
    return texts;
}

int digitAt(const QByteArray& code, qsizetype i) {
    return code[i] - '0';
}

} // namespace

bool isConceptCode(const QByteArray& code) {
    return code.size() == 8 &&
           std::all_of(code.begin(), code.end(), [](char c) { return c == '0' || c == '1'; });
}

int conceptCodeValue(const QByteArray& code) {
    int value = 0;
    for (qsizetype i = 0; i < code.size(); ++i)
        value = value * 2 + digitAt(code, i);
    return value;
}

int conceptRowIndex(const QByteArray& code) {
    static constexpr int kWeights[8] = {128, 64, 32, 16, 8, 4, 2, 1};
    int v = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(code.size(), 8); ++i)
        v += digitAt(code, i) * kWeights[i];
    return v;
}

ReportResult buildReport(const QByteArray& character, const QByteArray& code) {
    ReportResult result;
    if (!isConceptCode(code)) {
        result.error = QStringLiteral("the concept code must be eight binary digits (0 or 1), "
                                      "got \"%1\"")
                           .arg(fromBig5(code));
        return result;
    }
    const FixedTexts& t = fixed();
    const int value = conceptCodeValue(code);
    QByteArrayList& lines = result.lines;
    lines.append(t.openBracket + character + t.closeBracket);
    lines.append(t.decimal + QByteArray::number(value));
    lines.append(t.binary + code);
    lines.append(t.hexadecimal + QByteArray::number(value, 16).toUpper().rightJustified(2, '0'));
    if (const auto cangjie = cangjieLookup(character))
        lines.append(t.cangjie + *cangjie);
    lines.append(t.heading);
    lines.append(conceptRow(conceptRowIndex(code)));
    return result;
}

QByteArray confirmationCaption() {
    return fixed().caption;
}

QByteArray confirmationText(const QByteArrayList& reportLines) {
    QByteArray message = fixed().askPrefix + " \r";
    for (const QByteArray& line : reportLines)
        message += line + "\r\n";
    message += "\r\r";
    message += fixed().askQuestion;
    return message;
}

QByteArrayList memoTransferLines(const QByteArrayList& reportLines) {
    QByteArrayList lines;
    lines.reserve(reportLines.size() + 1);
    lines.append(QByteArray());
    lines.append(reportLines);
    return lines;
}

void transferToMemo(QByteArrayList& memoLines, const QByteArrayList& reportLines) {
    memoLines.append(memoTransferLines(reportLines));
}

} // namespace velmora
