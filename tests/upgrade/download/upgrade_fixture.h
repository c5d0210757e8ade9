// Test support for whole upgrades inside the test process: a local server publishing an
// upgrade, a program folder with a stand-in program, and a presenter that answers the component's
// questions.
#pragma once

#include "tests/support/environment_override.h"
#include "tests/support/helper_process.h"
#include "tests/support/recording_presenter.h"
#include "tests/upgrade/http/server/local_http_server.h"
#include "upgrade/updater/vuUpdater.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace download_test {

using namespace std::chrono_literals;

// What the component reported during one upgrade.
struct Record {
    std::vector<QByteArray> Started; // OnFileStart addresses
    std::vector<qint32> StartSizes;  // their announced sizes
    std::vector<vu::TDateTime> StartTimes;
    std::vector<QByteArray> Done; // OnFileDone file names
    std::vector<quint8> Totals;   // TotalPercentsDone of every progress report
    std::vector<std::pair<QByteArray, qint32>> Lost;
    int EndUpgrade = 0;
    int Closed = 0; // OnDoOwnCloseAppMethod
    int Aborted = 0;
    int ConnLost = 0;
    std::vector<vu::TvuUpgradeOutcome> Outcomes; // OnUpgradeEnded
};

// A published upgrade: the information file at /info.txt lists the given paths of the server.
class UpgradeScenario {
public:
    // The program folder gets prog.exe, the old stand-in program.
    explicit UpgradeScenario(const std::string& folder = "Program Files/My App");
    // The program folder is `root` itself (an existing folder, for example a small file system).
    struct InFolder {
        std::string root;
    };
    explicit UpgradeScenario(InFolder folder);
    ~UpgradeScenario();

    vutest::LocalHTTPServer Server;
    vutest::TempFolder Dir;
    std::string Root; // the program folder with a trailing "/"

    vutest::RecordingPresenter Presenter; // answers every box with Yes
    // Retries at once, the program path in Root; outlives the updater.
    vutest::EnvironmentOverride Environment;
    std::unique_ptr<vu::TvuUpdater> Updater;
    Record Events;

    std::string Program() const { return Root + "prog.exe"; }
    std::string operator/(const std::string& name) const { return Root + name; }
    // Publishes version 2.0 with these server paths, method 0 or 1.
    void Publish(const std::vector<std::string>& paths, int method = 0);
    // Starts the check and waits until the upgrade has ended one way or another.
    bool Run(std::chrono::milliseconds timeout = 60s);
    // The fake program's run.log, waiting for at least count lines.
    std::vector<std::string> Log(std::size_t count) const;
    // Names of the "*.uTMP" files in the program folder.
    std::vector<std::string> PendingFiles() const;
    // Every entry of the program folder besides the stand-in's log, with its content: what a
    // user would find installed.
    std::map<std::string, std::string> Installed() const;

private:
    void Setup();
};

// The folder given to the process as TMPDIR, where the component writes its helper.
const std::string& HelperFolder();

} // namespace download_test
