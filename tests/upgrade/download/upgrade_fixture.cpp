#include "upgrade_fixture.h"

#include "tests/support/event_loop_wait.h"
#include "upgrade/updater/vuUpdaterDownload.h"

#include <QTimer>

using namespace vu;

namespace download_test {

UpgradeScenario::UpgradeScenario(const std::string& folder) : Dir(folder), Root(Dir.path()) {
    Setup();
}

UpgradeScenario::UpgradeScenario(InFolder folder) : Root(folder.root) {
    if (Root.empty() || Root.back() != '/')
        Root += '/';
    Setup();
}

void UpgradeScenario::Setup() {
    Presenter.BoxAnswer = IDYES;
    // Retries after a dropped connection follow at once instead of after seconds.
    Environment.Set(&TvuEnvironment::Schedule,
                    [](QObject* context, int, std::function<void()> retry) {
                        QTimer::singleShot(0, context, std::move(retry));
                    });
    vutest::CopyFile(VU_TEST_FAKE_V1, Program(), 0755);
    Environment.Set(&TvuEnvironment::ProgramPath,
                    [path = QString::fromStdString(Program())] { return path; });
    Updater = std::make_unique<TvuUpdater>();
    TvuUpdater& u = *Updater;
    u.SetInfoFileURL(QByteArray::fromStdString(Server.url("/info.txt")));
    u.SetVersionControl(byNumber);
    u.SetVersionNumber("1.0");
    u.SetShowMessages(mLostFile | mConnLost);
    u.Wizard()->SetEnabled(false);
    u.OnFileStart = [this](TvuUpdater*, const QByteArray& url, qint32 size, TDateTime time, bool&) {
        Events.Started.push_back(url);
        Events.StartSizes.push_back(size);
        Events.StartTimes.push_back(time);
    };
    u.OnFileDone = [this](TvuUpdater*, const QByteArray& name) { Events.Done.push_back(name); };
    u.OnProgress = [this](TvuUpdater*, const QByteArray&, qint32, qint32, qint32, qint32, quint8,
                          quint8 total, float) { Events.Totals.push_back(total); };
    u.OnLostFile = [this](TvuUpdater*, const QByteArray& url, qint32 code, bool&) {
        Events.Lost.emplace_back(url, code);
    };
    u.OnEndUpgrade = [this](TvuUpdater*, bool&) { ++Events.EndUpgrade; };
    u.OnDoOwnCloseAppMethod = [this](TvuUpdater*) { ++Events.Closed; };
    u.OnAborted = [this](TvuUpdater*) { ++Events.Aborted; };
    u.OnConnLost = [this](TvuUpdater*) { ++Events.ConnLost; };
    u.OnUpgradeEnded = [this](TvuUpdater*, TvuUpgradeOutcome outcome) {
        Events.Outcomes.push_back(outcome);
    };
}

UpgradeScenario::~UpgradeScenario() {
    Updater.reset();
}

void UpgradeScenario::Publish(const std::vector<std::string>& paths, int method) {
    std::string info = "#version=2.0\r\n#method=" + std::to_string(method) + "\r\n";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string key = i == 0 ? "url" : "url" + std::to_string(i + 1);
        info += "#" + key + "=" + Server.url(paths[i]) + "\r\n";
    }
    Server.serve("/info.txt", info, "text/plain");
}

bool UpgradeScenario::Run(std::chrono::milliseconds timeout) {
    Updater->CheckForUpdate();
    return vutest::WaitFor(
        [this] {
            return Events.Closed > 0 || Events.Aborted > 0 || Events.ConnLost > 0 ||
                   (Events.EndUpgrade > 0 && !Updater->Busy()) ||
                   (!Events.Outcomes.empty() && Events.Outcomes.back() != uoDownloaded);
        },
        timeout);
}

std::vector<std::string> UpgradeScenario::Log(std::size_t count) const {
    return vutest::WaitForLogLines(Root, count, 30s);
}

std::map<std::string, std::string> UpgradeScenario::Installed() const {
    std::map<std::string, std::string> files;
    for (const std::string& name : vutest::FolderEntries(Root))
        if (name != "run.log" && name != "lost+found")
            files[name] = vutest::ReadFile(Root + name).value_or("<unreadable>");
    return files;
}

std::vector<std::string> UpgradeScenario::PendingFiles() const {
    std::vector<std::string> names;
    for (const std::string& name : vutest::FolderEntries(Root)) {
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".uTMP") == 0)
            names.push_back(name);
    }
    return names;
}

const std::string& HelperFolder() {
    static const std::string folder = [] {
        const QByteArray env = qgetenv("TMPDIR");
        std::string path = env.toStdString();
        if (!path.empty() && path.back() != '/')
            path += '/';
        return path;
    }();
    return folder;
}

} // namespace download_test
