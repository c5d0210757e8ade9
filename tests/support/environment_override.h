// Replaces inputs of the upgrade component's environment (network, command line, date, program
// file, process starts, timers) for its lifetime, and restores the environment it found.
#pragma once

#include "upgrade/utils/vuEnvironment.h"

#include <type_traits>
#include <utility>

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

private:
    vu::TvuEnvironment previous_;
};

} // namespace vutest
