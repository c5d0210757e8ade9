// Which installed package owns a file, as the system's package manager records it. A copy of
// the program that a package installed is upgraded by the package manager, never by itself.
#pragma once

#include <QString>

namespace vu {

// The name of the installed package that put the file at `path` there, as "dpkg-query -S"
// reports it (with --admindir $DPKG_ADMINDIR when that is set). A package that lists the same
// file through a linked folder (as /bin and /usr/bin) counts too. Diversions are followed: a
// path that a package diverted holds that package's own file (the other packages' file of that
// name lies at the diverted name), and a path the administrator diverted holds no package's
// file. Empty when no package owns it, when dpkg-query is missing or when it fails.
QString DpkgPackageOwning(const QString& path);

} // namespace vu
