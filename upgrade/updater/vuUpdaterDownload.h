// The files of the upgrade component's download stage: the program it replaces and the
// replacement helper.
#pragma once

#include <QString>

#include <string>

namespace vu {

// Suffix of a downloaded file until the helper installs it.
inline const QString kPendingSuffix = QStringLiteral(".uTMP");

// A path as the file system spells it.
std::string NativePath(const QString& path);

// The running program's executable, whose folder receives the downloads and which the
// replacement helper replaces and restarts: the environment's program path (env::ProgramPath).
QString UpgradeProgramPath();

// The replacement helper's path: the private temporary folder + "Daderevi3.exe", computed once.
QString UpgradeHelperPath();

} // namespace vu
