#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// The result report for one character under one concept code, its confirmation text and its
// transfer to the result memo. All texts are Big5 bytes.
namespace velmora {

// True for exactly eight characters, each '0' or '1'.
bool isConceptCode(const QByteArray& code);

// The value of a code for the decimal and hexadecimal lines: with n the number of characters
// and d_i the i-th read as a decimal digit, the sum of d_i * 2^(n-i).
int conceptCodeValue(const QByteArray& code);

// The table row of a code: d1*128 + d2*64 + ... + d8 over the first eight characters.
int conceptRowIndex(const QByteArray& code);

// The report lines, or an error for a code that is not a concept code.
struct ReportResult {
    QByteArrayList lines; // six or seven lines, without line ends
    QString error;        // empty when the report was built
    bool ok() const { return error.isEmpty(); }
};

// The report the window shows for `character` (the whole text of the character edit, Big5,
// unchanged even if empty) under `code`: the lines
//   1 "『" character "』"
//   2 "十進制代碼=" decimal value (242)
//   3 "二進制代碼=" code unchanged
//   4 "十六進制代碼=" upper-case hexadecimal value, at least two digits (F2, 0A, 00)
//   5 "倉頡編碼=" six-byte Cangjie code field, only when the character is in the table
//   6 "【概念分類】"
//   7 the concept row of the code
// A code other than eight '0'/'1' characters gives no lines and an error message.
ReportResult buildReport(const QByteArray& character, const QByteArray& code);

// Caption of the confirmation box: "請確認".
QByteArray confirmationCaption();

// The confirmation box's text for the report buffer's lines: "您確定", a blank and a carriage
// return; every line followed by CR LF; two more carriage returns; "定義正確嗎 ?".
QByteArray confirmationText(const QByteArrayList& reportLines);

// What a confirmed report adds to the result memo, in order: one empty line, then every line
// of the report buffer.
QByteArrayList memoTransferLines(const QByteArrayList& reportLines);

// Appends memoTransferLines(reportLines) to the memo's lines.
void transferToMemo(QByteArrayList& memoLines, const QByteArrayList& reportLines);

} // namespace velmora
