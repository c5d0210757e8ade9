#pragma once
// What the upgrade dialogs need from the upgrader that calls them. The upgrader implements this
// interface and passes itself to ShowUpgradeWizard and AskPassword; when it is destroyed, the
// dialogs forget it (and the wizard window goes away with it).

#include <QImage>
#include <QString>

namespace vu {

class TvuUpdaterDialogHost {
public:
    virtual ~TvuUpdaterDialogHost();

    // The upgrader's wizard settings (Wizard.StayOnTop, .HideFileLocation, .Pic118x218).
    virtual bool DialogStayOnTop() const = 0;
    virtual bool DialogHideFileLocation() const = 0;
    virtual QImage DialogSidePicture() const = 0;
    // The wizard window closed by the user (OK, or a confirmed abort question, which follows
    // with DialogAbortUpgrade right after). Not called when the upgrader ends the wizard itself.
    virtual void DialogWizardClosed() = 0;
    // Called after the user confirmed the wizard's abort question and the window has closed.
    virtual void DialogAbortUpgrade() = 0;

    // For the password prompt: the remote file name of the current address, and the
    // credentials as text.
    virtual QString DialogRemoteFileName() const = 0;
    virtual QString DialogUsername() const = 0;
    virtual void DialogSetCredentials(const QString& username, const QString& password) = 0;
};

} // namespace vu
