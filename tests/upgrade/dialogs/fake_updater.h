#pragma once
// The upgrader as the dialogs see it, with every answer set by the test and every request counted.

#include "upgrade/dialogs/vuUpdaterDialogHost.h"

#include <QImage>
#include <QString>

#include <functional>

class FakeUpdater final : public vu::TvuUpdaterDialogHost {
public:
    bool DialogStayOnTop() const override { return StayOnTop; }
    bool DialogHideFileLocation() const override { return HideFileLocation; }
    QImage DialogSidePicture() const override { return Picture; }
    void DialogWizardClosed() override { ++Closes; }
    void DialogAbortUpgrade() override {
        // The close comes first.
        ClosedBeforeAbort = Closes > 0;
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
    int Closes = 0;
    int Aborts = 0;
    bool ClosedBeforeAbort = false;
    std::function<void()> OnAbort;
    QString RemoteFileName = QStringLiteral("setup.exe");
    QString Username = QStringLiteral("olduser");
    QString Password = QStringLiteral("oldpass");
    int CredentialsSet = 0;
};
