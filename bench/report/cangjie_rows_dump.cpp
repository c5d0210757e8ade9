// Writes the program's Cangjie table as UTF-8 text, one row a line in table order: the
// character, a tab and the six-byte code field (letters and their filling blanks). The report
// benchmark gives it to the awk script as one of its two tables.
#include "big5/big5.h"
#include "concepts/cangjie_table.h"

#include <cstdio>

int main() {
    for (int i = 0; i < velmora::CangjieRowCount; ++i) {
        const std::string_view row = velmora::cangjieRow(i);
        const QByteArray character =
            velmora::fromBig5(QByteArray(row.data() + velmora::kCangjieCodeBytes, 2)).toUtf8();
        std::printf("%s\t%.*s\n", character.constData(), velmora::kCangjieCodeBytes, row.data());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
