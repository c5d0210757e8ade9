#pragma once
// What the upgrade component shows while it checks and downloads, behind a replaceable
// presenter: the upgrade question, the password prompt, the progress wizard and the closing of
// the program. A program with the dialogs (upgrade/dialogs) presents them on the screen; without
// them nothing is shown, questions are answered Later, and the front end follows the
// component's events instead (the headless upgrade). Message boxes go their own way, through
// TvuUserPresenter (vuMessageBox.h).

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vu {

class TvuUpdater;

// How the upgrade question is asked.
struct TvuUpgradeQuestion {
    bool Critical = false;  // the release fixes something serious: its own wording, Yes only
    bool OfferSkip = false; // a Skip this version button beside Yes and Later
};

// The answer: Later also stands for Esc and the close box.
enum TvuUpgradeAnswer { uaLater, uaYes, uaSkip };

class TvuUpgradePresenter {
public:
    virtual ~TvuUpgradePresenter() = default;

    // A check of `updater` starts: what it asks belongs to the window that owns it.
    virtual void CheckStarted(TvuUpdater& updater);
    // The question for an offered release with the information file's `message`.
    virtual TvuUpgradeAnswer AskUpgrade(TvuUpdater& updater, const QString& message,
                                        TvuUpgradeQuestion question);
    // Credentials for the current address of `updater`, stored into it; false when none were
    // given.
    virtual bool AskPassword(TvuUpdater& updater);

    // The progress of the downloads of `updater` (shown when its wizard is enabled), and its
    // end without a word after a failure or an abort.
    virtual void ShowProgress(TvuUpdater& updater);
    virtual void CloseProgress();
    // A second check while the upgrade runs: its progress comes to the front.
    virtual void BringProgressToFront();
    // A file's transfer starts: its address and its 1-based position among `count`.
    virtual void FileStarted(const QString& url, int position, int count);
    // The announced length of the current file in bytes (0 when none).
    virtual void FileSizeKnown(qint64 bytes);
    // A progress report: the file's percentage, the 0-based index of the file among `count`,
    // the rate in kilobytes per second and the estimated seconds left.
    virtual void FileProgress(int filePercent, int index, int count, double rate,
                              qint64 secondsLeft);
    // The server does not have the file `name`.
    virtual void FileMissing(const QString& name);
    // A broken transfer is tried again: `text` says which file, when and why (RetryStatusText).
    virtual void FileRetry(const QString& text);
    // Every file is downloaded: true when the completion page is shown, and the upgrade goes on
    // once the user has closed it (TvuUpdater::DialogWizardClosed); false: it goes on at once.
    virtual bool ShowCompleted(const QStringList& installed);

    // The program closes so that the replacement helper can put the new files in place.
    virtual void CloseProgram();
    // `updater` goes away: nothing shown may call it any more.
    virtual void UpdaterDestroyed(TvuUpdater& updater);
};

// Installs `presenter` (not owned) for every later check and download; nullptr restores the
// default one. Returns the presenter installed before (nullptr for the default one).
TvuUpgradePresenter* SetUpgradePresenter(TvuUpgradePresenter* presenter);
TvuUpgradePresenter& UpgradePresenter();
// The presenter that stands in when none is installed (not owned); the dialogs name theirs at
// program start. nullptr: the one that shows nothing.
void SetDefaultUpgradePresenter(TvuUpgradePresenter* presenter);

} // namespace vu
