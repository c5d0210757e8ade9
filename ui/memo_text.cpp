#include "ui/memo_text.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace velmora {

QString memoText(const QPlainTextEdit* memo) {
    // The raw text keeps no-break spaces and other characters as typed; paragraph and line
    // separators are the memo's line breaks.
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString memoTextCrLf(const QPlainTextEdit* memo) {
    QString text = memoText(memo);
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QStringList memoLines(const QString& text) {
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    return lines;
}

QString memoAppendText(const QString& current, const QStringList& lines) {
    QString added;
    if (lines.isEmpty())
        return added;
    if (!current.isEmpty() && !current.endsWith(QLatin1Char('\n')))
        added += QLatin1Char('\n');
    for (const QString& line : lines) {
        added += line;
        added += QLatin1Char('\n');
    }
    return added;
}

void appendMemoLines(QPlainTextEdit* memo, const QStringList& lines) {
    const QString added = memoAppendText(memoText(memo), lines);
    if (added.isEmpty())
        return;
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(added);
}

} // namespace velmora
