// Seams of the upgrade component's download stage, for tests that run an
// upgrade inside the test process.
#pragma once

#include <QString>

#include <functional>

namespace vu {

// The running program's executable, whose folder receives the downloads and
// which the replacement helper replaces and restarts
// (QCoreApplication::applicationFilePath by default; an empty function restores
// it).
void SetUpgradeProgramPathSource(std::function<QString()> source);
QString UpgradeProgramPath();

// The replacement helper's path: the private temporary folder +
// "Daderevi3.exe", computed once.
QString UpgradeHelperPath();

} // namespace vu
