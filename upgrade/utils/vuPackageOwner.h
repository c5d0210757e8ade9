// Which installed package owns a file, as the system's package database records it. A copy of
// the program that a package installed is upgraded by the package manager, never by itself.
#pragma once

#include <QString>

namespace vu {

// The name of the installed package whose file list holds path (or the same file reached
// through a linked folder, as /bin and /usr/bin), read from dpkg's database: the lists
// info/*.list in $DPKG_ADMINDIR, /var/lib/dpkg without it. Empty when no package owns it or
// there is no database.
QString DpkgPackageOwning(const QString& path);

} // namespace vu
