#pragma once

#include <QString>

// The program's version, one value set in the build (year.month.day of the release). The window
// caption, `velmora --version`, the desktop metadata and the package all show it.
namespace velmora {

// "2006.6.12": the release as the build states it.
QString programVersion();

// "20060612": the release date as the window caption shows it, eight digits.
QString captionDate();

// "Velmora 2006.6.12": what `velmora --version` prints.
QString versionLine();

} // namespace velmora
