// Shared pieces of the upgrade component's tests: a presenter that answers and records the message
// boxes and dialogs, an event recorder, and bounded waits on the GUI thread's event loop.
#pragma once

#include "upgrade/dialogs/vuMessageBox.h"
#include "upgrade/updater/vuUpdater.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace vutest {

struct ShownBox {
    QString Text, Caption;
    unsigned Flags = 0;
};

// Answers every message box with `BoxAnswer` and every dialog with `DialogResult`, recording what
// was shown.
class RecordingPresenter : public TvuUserPresenter {
public:
    RecordingPresenter() { previous_ = SetUserPresenter(this); }
    ~RecordingPresenter() override { SetUserPresenter(previous_); }

    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        Boxes.push_back({text, caption, flags});
        return BoxAnswer;
    }
    int ExecDialog(QDialog& dialog) override {
        Dialogs.push_back(dialog.metaObject()->className());
        if (OnDialog)
            OnDialog(dialog);
        return DialogResult;
    }

    int BoxAnswer = IDOK;
    int DialogResult = QDialog::Rejected;
    std::function<void(QDialog&)> OnDialog;
    std::vector<ShownBox> Boxes;
    std::vector<std::string> Dialogs;

private:
    TvuUserPresenter* previous_ = nullptr;
};

// Records the names of the events an updater raises, in order.
struct EventLog {
    std::vector<std::string> Names;
    QByteArray UnreachableURL, UnreachableHost, Realm, BeginMessage;
    QByteArrayList BeginFiles;
    TvuUpgradeMethod BeginMethod = umSelfUpgrade;

    void Attach(TvuUpdater& u) {
        u.OnBeginUpgrade = [this](TvuUpdater*, const QByteArray& msg, TvuUpgradeMethod method,
                                  QByteArrayList& files, bool&) {
            Names.push_back("BeginUpgrade");
            BeginMessage = msg;
            BeginMethod = method;
            BeginFiles = files;
        };
        u.OnLaterUpgrade = [this](TvuUpdater*) { Names.push_back("LaterUpgrade"); };
        u.OnNoUpdateAvailable = [this](TvuUpdater*) { Names.push_back("NoUpdateAvailable"); };
        u.OnNoInfoFile = [this](TvuUpdater*) { Names.push_back("NoInfoFile"); };
        u.OnHostUnreachable = [this](TvuUpdater*, const QByteArray& url, const QByteArray& host) {
            Names.push_back("HostUnreachable");
            UnreachableURL = url;
            UnreachableHost = host;
        };
        u.OnConnLost = [this](TvuUpdater*) { Names.push_back("ConnLost"); };
        u.OnPasswordRequest = [this](QObject*, const QByteArray& realm, bool&) {
            Names.push_back("PasswordRequest");
            Realm = realm;
        };
        u.OnAborted = [this](TvuUpdater*) { Names.push_back("Aborted"); };
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& s : Names)
            n += s == name;
        return n;
    }
};

// Runs the event loop until `done` holds or `timeoutMs` has passed; returns `done()`.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer heartbeat; // wakes the wait below even when nothing else happens
    heartbeat.start(10);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

} // namespace vutest
