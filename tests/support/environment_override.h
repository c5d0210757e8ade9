// Replaces inputs of the upgrade component's environment (network, command line, date, program
// file, process starts, timers) for its lifetime, and restores the environment it found.
#pragma once

#include "upgrade/utils/vuEnvironment.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace vutest {

class EnvironmentOverride {
public:
    EnvironmentOverride() : previous_(vu::InstalledEnvironment()) {}
    ~EnvironmentOverride() { vu::SetEnvironment(std::move(previous_)); }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

    // Replaces one input at once, the others stay:
    //   environment.Set(&vu::TvuEnvironment::Today, [] { return QDate(2026, 12, 8); });
    // An empty function returns that input to the real one.
    template <typename Input>
    void Set(Input vu::TvuEnvironment::*input, std::type_identity_t<Input> value) {
        vu::TvuEnvironment changed = vu::InstalledEnvironment();
        changed.*input = std::move(value);
        vu::SetEnvironment(std::move(changed));
    }

    // Records every process start instead of making it (the program, then its arguments) and
    // reports it as started.
    const std::vector<QStringList>& RecordProcessStarts() {
        Set(&vu::TvuEnvironment::StartProcess,
            [this](const QString& program, const QStringList& args) {
                started_.push_back(QStringList{program} + args);
                return true;
            });
        return started_;
    }

    // Moves the program into an empty folder of its own, removed with this object, and returns
    // the program's path there. What an upgrade keeps beside the program (the folder's upgrade
    // lock, downloads) is then never shared with another test process, as it is in the folder
    // of the test executable: there, an upgrade started by a test running beside this one holds
    // the lock, and this test's check is refused as "already running".
    QString PrivateProgramFolder() {
        folder_ = std::make_unique<QTemporaryDir>();
        const QString program = folder_->filePath(QStringLiteral("velmora"));
        Set(&vu::TvuEnvironment::ProgramPath, [program] { return program; });
        return program;
    }

private:
    std::unique_ptr<QTemporaryDir> folder_;
    vu::TvuEnvironment previous_;
    std::vector<QStringList> started_;
};

} // namespace vutest
