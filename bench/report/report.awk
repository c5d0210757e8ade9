# The concept report from two tables, as `velmora --report -` prints it (UTF-8), for comparison
# in the report benchmark:
#
#   mawk -f report.awk cangjie.tsv concepts.txt - < pairs.txt
#
# cangjie.tsv: "CHARACTER<TAB>CODE FIELD" rows in table order (the first row of a character
# counts); concepts.txt: `velmora --concepts`, "CODE ROW". Input: "CHARACTER CODE" lines.
FILENAME == ARGV[1] {
    split($0, field, "\t")
    if (!(field[1] in cangjie))
        cangjie[field[1]] = field[2]
    next
}
FILENAME == ARGV[2] {
    concept[substr($0, 1, 8)] = substr($0, 10)
    next
}
{
    sub(/\r$/, "")
    if (NF == 0)
        next
    character = NF > 1 ? $1 : ""
    code = $NF
    if (code !~ /^[01][01][01][01][01][01][01][01]$/) {
        printf "line %d: the concept code must be eight binary digits\n", FNR > "/dev/stderr"
        exit 2
    }
    value = 0
    for (i = 1; i <= 8; i++)
        value = value * 2 + substr(code, i, 1)
    printf "\n『%s』\n十進制代碼=%d\n二進制代碼=%s\n十六進制代碼=%02X\n", character, value, code, value
    if (character in cangjie)
        printf "倉頡編碼=%s\n", cangjie[character]
    printf "【概念分類】\n%s\n", concept[code]
}
