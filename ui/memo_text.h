#pragma once

#include <QString>
#include <QStringList>

class QPlainTextEdit;

// The text of a multi-line memo as lines. In memory a line break is "\n"; the memo's text as a
// file holds it as CR LF. Adding a line ends it with a line break, so a memo that received
// lines ends with one.
namespace velmora {

// The memo's whole text with "\n" between lines (no character replaced, nothing trimmed).
QString memoText(const QPlainTextEdit* memo);

// The same text with CR LF line breaks, as it is saved.
QString memoTextCrLf(const QPlainTextEdit* memo);

// The lines of a text: split at "\n"; a final line break ends the last line and starts none.
QStringList memoLines(const QString& text);

// What adding `lines` appends to `current`: a line break first when `current` has a last
// line without one, then each line followed by a line break.
QString memoAppendText(const QString& current, const QStringList& lines);

// Appends `lines` at the end of the memo, as memoAppendText says.
void appendMemoLines(QPlainTextEdit* memo, const QStringList& lines);

} // namespace velmora
