#pragma once
// The upgrader as the dialogs see it, with every answer set by the test and every request counted.

#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/utils/vuUtils.h"

#include <QImage>
#include <QString>

#include <functional>

class FakeUpdater final : public vu::TvuUpdaterDialogHost {
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
    mutable vu::TvuEventHandle WaitEvent{0};
    int Aborts = 0;
    std::function<void()> OnAbort;
    QString RemoteFileName = QStringLiteral("setup.exe");
    QString Username = QStringLiteral("olduser");
    QString Password = QStringLiteral("oldpass");
    int CredentialsSet = 0;
};
