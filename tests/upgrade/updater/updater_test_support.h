// Shared pieces of the upgrade component's tests: the recording presenter, the bounded wait, and
// a recorder of the events an updater raises.
#pragma once

#include "tests/support/environment_override.h"
#include "tests/support/event_loop_wait.h"
#include "tests/support/recording_presenter.h"
#include "upgrade/updater/vuUpdater.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace vutest {

// Records the names of the events an updater raises, in order.
struct EventLog {
    std::vector<std::string> Names;
    QByteArray UnreachableURL, UnreachableHost, Realm, BeginMessage;
    QByteArrayList BeginFiles;
    vu::TvuUpgradeMethod BeginMethod = vu::umSelfUpgrade;

    void Attach(vu::TvuUpdater& u) {
        u.OnBeginUpgrade = [this](vu::TvuUpdater*, const QByteArray& msg,
                                  vu::TvuUpgradeMethod method, QByteArrayList& files, bool&) {
            Names.push_back("BeginUpgrade");
            BeginMessage = msg;
            BeginMethod = method;
            BeginFiles = files;
        };
        u.OnLaterUpgrade = [this](vu::TvuUpdater*) { Names.push_back("LaterUpgrade"); };
        u.OnNoUpdateAvailable = [this](vu::TvuUpdater*) { Names.push_back("NoUpdateAvailable"); };
        u.OnNoInfoFile = [this](vu::TvuUpdater*) { Names.push_back("NoInfoFile"); };
        u.OnHostUnreachable = [this](vu::TvuUpdater*, const QByteArray& url,
                                     const QByteArray& host) {
            Names.push_back("HostUnreachable");
            UnreachableURL = url;
            UnreachableHost = host;
        };
        u.OnConnLost = [this](vu::TvuUpdater*) { Names.push_back("ConnLost"); };
        u.OnPasswordRequest = [this](QObject*, const QByteArray& realm, bool&) {
            Names.push_back("PasswordRequest");
            Realm = realm;
        };
        u.OnAborted = [this](vu::TvuUpdater*) { Names.push_back("Aborted"); };
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& s : Names)
            n += s == name;
        return n;
    }
};

} // namespace vutest
