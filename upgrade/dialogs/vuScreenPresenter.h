#pragma once
// The upgrade component's presenters that show real windows: message boxes, the upgrade
// question, the password prompt and the progress wizard, each in front of the window it belongs
// to. A program that links the component with its dialogs (vu_updater) has them as its default
// presenters from the start.

#include "upgrade/dialogs/vuMessageBox.h"
#include "upgrade/updater/vuUpgradePresenter.h"

#include <map>
#include <memory>

class QDialog;
class QWidget;

namespace vu {

class TvuUpdaterDialogHost;

// Application-modal message boxes and dialogs.
class TvuScreenPresenter final : public TvuUserPresenter {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    int ExecDialog(QDialog& dialog) override;
};

// The upgrade question, the password prompt and the wizard of the dialogs.
class TvuDialogPresenter final : public TvuUpgradePresenter {
public:
    TvuDialogPresenter();
    ~TvuDialogPresenter() override;

    void CheckStarted(TvuUpdater& updater) override;
    TvuUpgradeAnswer AskUpgrade(TvuUpdater& updater, const QString& message,
                                TvuUpgradeQuestion question) override;
    bool AskPassword(TvuUpdater& updater) override;
    void ShowProgress(TvuUpdater& updater) override;
    void CloseProgress() override;
    void BringProgressToFront() override;
    void FileStarted(const QString& url, int position, int count) override;
    void FileSizeKnown(qint64 bytes) override;
    void FileProgress(int filePercent, int index, int count, double rate,
                      qint64 secondsLeft) override;
    void FileMissing(const QString& name) override;
    void FileRetry(const QString& text) override;
    bool ShowCompleted(const QStringList& installed) override;
    void CloseProgram() override;
    void UpdaterDestroyed(TvuUpdater& updater) override;

private:
    // What the dialogs ask of `updater`, made on first use and kept until it goes.
    TvuUpdaterDialogHost& HostOf(TvuUpdater& updater);
    std::map<TvuUpdater*, std::unique_ptr<TvuUpdaterDialogHost>> hosts_;
};

// The process's presenters on the screen.
TvuScreenPresenter& ScreenPresenter();
TvuDialogPresenter& DialogPresenter();

// The window the component's questions, messages and dialogs belong to: they open in front of it,
// transient for it and modal. That is the wizard while it is shown, otherwise the window that owns
// the checking upgrader (usually the main window), otherwise none.
QWidget* DialogParent();
// The window that owns the upgrader (set at each check; nullptr for none).
void SetDialogOwnerWindow(QWidget* window);
// The wizard registers itself while it is shown, and nullptr when it goes.
void SetDialogFrontWindow(QWidget* window);
// Gives a question or message `parent` (see DialogParent) and makes it application-modal; when
// the parent stays on top of other windows, the question does too, so that it never opens
// behind it.
void PlaceInFrontOf(QDialog& dialog, QWidget* parent);

} // namespace vu
