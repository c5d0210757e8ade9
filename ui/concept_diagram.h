#pragma once

#include <QStringList>

// The static diagram of the concept taxonomy shown above the character input: the two
// standpoints, the four phenomena, the eight cognitions and, read downwards in sixteen columns,
// the thirty-two names of the fourth level. Text only; the program never reads it.
namespace velmora {

// The diagram's 13 lines.
QStringList conceptDiagramLines();

} // namespace velmora
