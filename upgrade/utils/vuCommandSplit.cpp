#include "upgrade/utils/vuCommandSplit.h"

#include "upgrade/utils/vuByteText.h"

namespace vu {

namespace {

// File-name parts by the rules of the registered commands: folders end with '\' or ':'.
int LastDelimiter(const QByteArray& delimiters, const QByteArray& s) {
    for (int i = s.size() - 1; i >= 0; --i) {
        if (delimiters.contains(s[i]))
            return i;
    }
    return -1;
}

QByteArray ExtractFileExt(const QByteArray& s) {
    const int i = LastDelimiter(".\\:", s);
    return i >= 0 && s[i] == '.' ? s.mid(i) : QByteArray();
}

QByteArray ExtractFilePath(const QByteArray& s) {
    return s.left(LastDelimiter("\\:", s) + 1);
}

QByteArray ExtractFileName(const QByteArray& s) {
    return s.mid(LastDelimiter("\\:", s) + 1);
}

} // namespace

void SplitAt(const QByteArray& separator, const QByteArray& text, QByteArray& left, int flags,
             bool whenMissing, QByteArray& right) {
    const int at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0) {
        if (whenMissing) {
            left.clear();
            right = text;
        } else {
            left = text;
            right.clear();
        }
        return;
    }
    QByteArray l = text.left(at);
    QByteArray r = text.mid(at + separator.size());
    if (flags & vuSplitSepToLeft)
        l += separator;
    if (flags & vuSplitSepToRight)
        r = separator + r;
    left = l;
    right = r;
}

void SplitCommandLine(QByteArray& command, QByteArray& parameters) {
    QByteArray cmd = Trim(command);
    command = cmd;
    if (cmd.isEmpty())
        return;
    QByteArray params;
    const int first = cmd.indexOf('"');
    int second = -1;
    if (first >= 0) {
        cmd.remove(first, 1);
        second = cmd.indexOf('"', first);
    }
    QByteArray kept;
    if (second >= 0) {
        cmd.remove(second, 1);
        if (first == 0) {
            params = Trim(cmd.mid(second + 1));
            cmd = cmd.left(second);
            const int q1 = params.indexOf('"');
            if (q1 >= 0) {
                params.remove(q1, 1);
                const int q2 = params.indexOf('"', q1);
                if (q2 >= 0)
                    params.remove(q2, 1);
            }
        } else {
            params = cmd.mid(first);
            cmd = cmd.left(first > 0 ? first - 1 : 0);
        }
    } else {
        kept = cmd;
        struct Try {
            const char* separator;
            int flags;
        };
        static const Try tries[] = {{" -", vuSplitSepToRight},
                                    {" /", vuSplitSepToRight},
                                    {" \\", vuSplitSepToRight},
                                    {",", 0},
                                    {" %", vuSplitSepToRight}};
        QByteArray left, right;
        for (int i = 0; i < 5; ++i) {
            if (i > 0 && !right.isEmpty())
                break;
            SplitAt(tries[i].separator, cmd, left, tries[i].flags, false, right);
            if (!ExtractFileExt(cmd).isEmpty() && ExtractFileExt(left).isEmpty()) {
                // The cut went through the program's own path: undo it.
                left = cmd;
                right = params;
            } else {
                cmd = left;
                params = right;
            }
        }
        if (ExtractFileExt(cmd).toUpper() == ".DLL" && cmd.toUpper().contains("RUNDLL")) {
            QByteArray word, rest;
            SplitAt(" ", ExtractFileName(kept), word, 0, false, rest);
            cmd = ExtractFilePath(kept) + word;
            params = rest;
        }
    }
    command = Trim(cmd);
    parameters = Trim(params);
}

} // namespace vu
