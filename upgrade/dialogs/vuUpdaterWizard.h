#pragma once
// The progress wizard shown while the files of a new version are downloaded. It is not modal:
// the download goes on and the main window stays usable while it is open. Closing it by any
// way other than its finish button asks whether to abort the upgrade.

#include <QDialog>
#include <QString>
#include <QStringList>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vu {

class TvuUpdaterDialogHost;

class TvuUpdaterWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TvuUpdaterWizardForm(QWidget* parent = nullptr);
    ~TvuUpdaterWizardForm() override;

    QFrame* Panel1;
    QLabel* Image1;
    QFrame* Bevel1;
    QLabel* WizardTitle;
    QGroupBox* LCurrentFile;
    QGroupBox* LAllFiles;
    QLabel* LDownloadingFileFrom;
    QLabel* LEstimatedTime;
    QLabel* LTransferRate;
    QProgressBar* ProgressCurrentFile;
    QProgressBar* ProgressAllFiles;
    QPushButton* FinishBtn;
    QPushButton* CancelBtn;
    QLabel* AllDownloading;
    QLabel* AboutShadow;
    QLabel* AboutLabel;
    QLineEdit* FileURL;
    QLabel* AfterNote;
    QLabel* LFileSize;

    // The upgrader this wizard reports to (nullptr once it is gone).
    TvuUpdaterDialogHost* Updater() const { return updater_; }
    void SetUpdater(TvuUpdaterDialogHost* updater) { updater_ = updater; }

    // Puts the window in its downloading state with the upgrader's settings and the texts of
    // the current language.
    void Prepare();

    // Progress display, as the download stage reports it.
    // A file's transfer starts: its address and "Downloading <position> of <count>" (1-based);
    // the figures of the previous file go.
    void ShowFileStart(const QString& url, int position, int count);
    // The server does not have the file `name`: a line saying so, no size, no rate, no time, an
    // empty bar.
    void ShowFileMissing(const QString& name);
    // The response headers arrived with the announced length in bytes (0 when none).
    void ShowFileSize(qint64 bytes);
    // A progress report: the file's percentage, the 0-based index of the file among `count`,
    // the rate in kilobytes per second and the estimated seconds left.
    void ShowProgress(int filePercent, int index, int count, double rate, qint64 secondsLeft);

    // A broken transfer is tried again: `text` (RetryStatusText) on the status line, where the
    // next progress report replaces it; the rate of the broken transfer goes.
    void ShowRetry(const QString& text);

    // Switches to the completed state: title, note with the names of the `installed` files,
    // frames hidden, OK enabled and focused. While the abort question is open the switch waits
    // for its answer (No shows the page, Yes ends the upgrade).
    void ShowWizardCompleted(const QStringList& installed = {});
    bool Completed() const { return completed_; }
    // Raises the wizard and its open question above the other windows (a second check while
    // the upgrade runs).
    void BringToFront();

    // With or without the file address and its label (HideFileLocation); the frame closes up.
    void ApplyFileLocationLayout(bool hide);

public slots:
    void FinishBtnClick();
    // Asks for the window to be closed by the system command, so that Cancel, Enter, Esc, the
    // close box and the window menu all take the same path through the abort question.
    void CancelBtnClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Esc: the cancel button when it is enabled; nothing otherwise.
    void reject() override;

private:
    // Every close: the reference goes and the window is freed.
    void FormClose();
    // A label's new text, and the window grown when the text needs more room.
    void SetAutoSizedText(QLabel& label, const QString& text);
    // Grows the window (never below its designed size) until every text has its room.
    void FitToTexts();
    // The etched "Updater" label on the line above the buttons.
    void PlaceAboutLabel();
    // The abort question; true when the user answered Yes.
    bool AskAbort();

    friend void DestroyUpgradeWizard();
    friend void DetachWizardHost(TvuUpdaterDialogHost* updater);

    TvuUpdaterDialogHost* updater_ = nullptr;
    bool closePermitted_ = false;
    bool closed_ = false;
    bool completed_ = false;
    bool asking_ = false;            // the abort question is open
    bool completionPending_ = false; // the download ended while it was open
    QStringList pendingInstalled_;
};

// The live wizard window, or nullptr. Every progress update checks it first.
TvuUpdaterWizardForm* vuUpdaterWizardForm();

// Creates the wizard if none exists, ties it to `updater`, fills it and shows it without
// waiting.
void ShowUpgradeWizard(TvuUpdaterDialogHost* updater);

// The upgrader's own end of the wizard after a failure or an abort: the window goes away
// without signalling anything, and the reference is cleared at once.
void DestroyUpgradeWizard();

// Ends the wizard of `updater`, if there is one; called when the upgrader goes away.
void DetachWizardHost(TvuUpdaterDialogHost* updater);

} // namespace vu
