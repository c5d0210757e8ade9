#pragma once
// Shared pieces of the dialog tests: readable QString output, a presenter that records and
// answers, and an upgrader stand-in.

#include "upgrade/dialogs/vuMessageBox.h"
#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/utils/vuUtils.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}

// Records every message box and answers it; runs dialogs through a test's function instead of
// an event loop.
class RecordingPresenter : public TvuUserPresenter {
public:
    struct Box {
        QString Text;
        QString Caption;
        unsigned Flags;
    };

    RecordingPresenter() { FPrevious = SetUserPresenter(this); }
    ~RecordingPresenter() override { SetUserPresenter(FPrevious); }

    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        Boxes.push_back({text, caption, flags});
        return Answer;
    }
    int ExecDialog(QDialog& dialog) override {
        ++DialogsRun;
        return OnDialog ? OnDialog(dialog) : QDialog::Rejected;
    }

    std::vector<Box> Boxes;
    int Answer = IDNO;
    int DialogsRun = 0;
    std::function<int(QDialog&)> OnDialog;

private:
    TvuUserPresenter* FPrevious = nullptr;
};

class FakeUpdater final : public TvuUpdaterDialogHost {
public:
    bool DialogStayOnTop() const override { return StayOnTop; }
    bool DialogHideFileLocation() const override { return HideFileLocation; }
    QImage DialogSidePicture() const override { return Picture; }
    std::intptr_t DialogWaitEvent() const override { return WaitEvent.load(); }
    void DialogAbortUpgrade() override {
        ++Aborts;
        if (OnAbort)
            OnAbort();
    }
    QString DialogRemoteFileName() const override { return RemoteFileName; }
    QString DialogUsername() const override { return Username; }
    void DialogSetCredentials(const QString& username, const QString& password) override {
        Username = username;
        Password = password;
        ++CredentialsSet;
    }

    bool StayOnTop = true;
    bool HideFileLocation = false;
    QImage Picture;
    mutable TvuEventHandle WaitEvent{0};
    int Aborts = 0;
    std::function<void()> OnAbort;
    QString RemoteFileName = QStringLiteral("setup.exe");
    QString Username = QStringLiteral("olduser");
    QString Password = QStringLiteral("oldpass");
    int CredentialsSet = 0;
};
