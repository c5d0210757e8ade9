#pragma once

#include <QByteArray>

#include <array>

// The 256 concept description rows of the five-level taxonomy, one per value of a concept code.
//
// Row v describes the path whose eight digits are the binary form of v: two ideographic spaces,
// the level names with their digits, the level-4 group description, v as two full-width
// hexadecimal digits, the level-5 name and its facets. Rows are Big5 bytes.
namespace velmora {

constexpr int kConceptRowCount = 256;

// The program-wide table. Empty until fillConceptTable() has run; read-only afterwards.
extern std::array<QByteArray, kConceptRowCount> ConceptTable;

// Assigns rows 0 to 255 in index order, one stored text per row. Takes no input and cannot
// fail; calling it again assigns the same texts. The main window calls it when it is created;
// the command line calls it before its first report.
void fillConceptTable();

// Row v (0..255) of the table as stored; fills the table first if nobody has yet.
const QByteArray& conceptRow(int v);

} // namespace velmora
