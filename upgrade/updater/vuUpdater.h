// TvuUpdater: the non-visual upgrade component. It fetches the upgrade information file through
// its HTTP transfer channel, decides by date or version number whether a newer version exists,
// asks the user, and hands a positive answer over to the download stage (downloading the listed
// files, replacing the program's files and restarting).
//
// Everything here runs on the GUI thread; the transfers run on the channel's worker thread and
// report back through the base class's events. It needs Qt Core only: what it shows goes through
// the presenters (vuUpgradePresenter.h, vuMessageBox.h), which the dialogs implement.
#pragma once

#include "upgrade/http/vuHTTP.h"
#include "upgrade/signing/vuBuiltInKeys.h"
#include "upgrade/signing/vuEd25519.h"
#include "upgrade/signing/vuFileDigest.h"
#include "upgrade/updater/vuDownloadRetry.h"
#include "upgrade/updater/vuReleaseDecision.h"
#include "upgrade/updater/vuUpdaterSettings.h"
#include "upgrade/updater/vuUpdaterTypes.h"
#include "upgrade/utils/vuUtils.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;
class QIODevice;

namespace vu {

class TvuUpdaterHiddenWindow;
namespace replacer {
class UpgradeLock;
}
struct InfoFileEntry;
enum class InfoFileRefusal;

class TvuUpdater : public TvuCustomHTTP {
    Q_OBJECT
public:
    explicit TvuUpdater(QObject* owner = nullptr);
    ~TvuUpdater() override;

    // Starts a check: returns at once, the outcome arrives through the events. Does nothing while
    // the transfer channel is busy, and from the upgrade question on until that upgrade has
    // ended (also between two files and on the completion page). A copy that a package installed
    // (uoPackageManaged) and a folder that another copy is upgrading (uoAlreadyRunning) end the
    // check before anything is fetched.
    void CheckForUpdate();
    // True from the upgrade question until the upgrade has ended.
    bool Upgrading() const { return upgrading_; }

    // Start-up step of the program: settles an upgrade whose replacement helper died half-way
    // (its journal is finished or undone), removes downloads that no upgrade will install, and
    // reports what the last helper found: a restored previous version (OnPreviousVersionRestored,
    // then a message box when mAskUpgrade is in ShowMessages), a download changed after its
    // verification (OnFileVerificationFailed and its message) or a journal it could not write,
    // so that nothing was installed (OnFolderNotWritable and its message). While another copy of
    // the program is upgrading the folder, its files are left alone. Call it once the settings are
    // loaded.
    void FinishInterruptedUpgrade();

    // For front ends that do not close the program: runs the replacement helper on the files
    // of the upgrade that just ended with uoDownloaded, waits for it and returns what happened,
    // as one of the TvuInstallResult values. The new program is started with `confirmParams` and
    // must confirm its start through its own component. A helper that dies is followed at once
    // by the recovery of the next start, and its result is what that recovery found.
    int InstallAndWait(const QByteArray& confirmParams);
    // Why the helper could not be run (after uoHelperNotStarted or irHelperNotStarted).
    const QString& HelperFailure() const { return helperFailure_; }
    // The file found changed after its verification (after irVerificationFailed).
    const QString& ChangedDownload() const { return changedDownload_; }

    // Whether a listed file that the server does not deliver may be left out of the upgrade:
    // never the program file (named like the program, ending in "exe", or listed first when no
    // file is named like the program), and no file of an upgrade that records hashes.
    bool LostFileSkippable(int index) const;

    // Cancels a running upgrade: stops it, deletes the temporary files and raises OnAborted.
    // (Defined with the download stage.)
    void AbortUpgrade();

    // ---- Published settings ---------------------------------------------------------------------
    // (Proxy, ThreadPriority, TransferBufferSize, HTTPUsername, HTTPPassword and
    // OnProxyAuthenticationRequest come from the transfer component.)

    bool AutoCheck() const { return autoCheck_; }
    // Re-evaluates the automatic-check timer.
    void SetAutoCheck(bool value);
    // Milliseconds; 0 or less switches the timer off. Read only when the timer is set.
    int AutoCheckDelay() const { return autoCheckDelay_; }
    void SetAutoCheckDelay(int value) { autoCheckDelay_ = value; }
    // The description of an upgrade kept with the component; the check never reads it.
    TvuUpdaterInfo* InfoFile() const { return infoFile_.get(); }
    const QByteArray& InfoFileURL() const { return infoFileURL_; }
    void SetInfoFileURL(const QByteArray& value) { infoFileURL_ = value; }
    // The switch that marks a start after an upgrade; an empty value is kept as a single blank.
    const QByteArray& RestartParams() const { return restartParams_; }
    void SetRestartParams(const QByteArray& value);
    TvuMiscFilesUpgradeBehavior MiscFilesUpgrade() const { return miscFilesUpgrade_; }
    void SetMiscFilesUpgrade(TvuMiscFilesUpgradeBehavior value) { miscFilesUpgrade_ = value; }
    TvuUpdaterVersionControl VersionControl() const { return versionControl_; }
    void SetVersionControl(TvuUpdaterVersionControl value) { versionControl_ = value; }
    // Release date of the running version, MM/DD/YYYY.
    const QByteArray& VersionDate() const { return versionDate_; }
    void SetVersionDate(const QByteArray& value) { versionDate_ = value; }
    // Only acts while the window is being designed, which never happens at run time.
    bool VersionDateAutoSet() const { return versionDateAutoSet_; }
    void SetVersionDateAutoSet(bool value);
    const QByteArray& VersionNumber() const { return versionNumber_; }
    void SetVersionNumber(const QByteArray& value) { versionNumber_ = value; }
    TvuUpdaterShowMessages ShowMessages() const { return showMessages_; }
    void SetShowMessages(TvuUpdaterShowMessages value) {
        showMessages_ = value & vuAllShowMessages;
    }
    bool UseCache() const { return useCache_; }
    void SetUseCache(bool value) { useCache_ = value; }
    TvuUpdaterWizard* Wizard() const { return wizard_.get(); }

    // ---- Events ---------------------------------------------------------------------------------
    TvuBeginUpgradeEvent OnBeginUpgrade;
    TvuNotifyEvent OnLaterUpgrade;
    TvuNotifyEvent OnNoUpdateAvailable;
    TvuNotifyEvent OnNoInfoFile;
    TvuHostUnreachableEvent OnHostUnreachable;
    TvuNotifyEvent OnConnLost;
    TvuHTTPPasswordRequestEvent OnPasswordRequest; // Sender is the component
    TvuNotifyEvent OnAborted;
    TvuFileStartEvent OnFileStart;
    TvuFileDoneEvent OnFileDone;
    TvuProgressEvent OnProgress;
    TvuLostFileEvent OnLostFile;
    TvuEndUpgradeEvent OnEndUpgrade;
    TvuNotifyEvent OnDoOwnCloseAppMethod;
    TvuNotifyEvent OnAfterRestart;
    // Every end of a check or an upgrade, after the outcome's own event and message.
    TvuUpgradeEndedEvent OnUpgradeEnded;
    // The program's folder (or a file the upgrade replaces) cannot be written; nothing is
    // downloaded. Also raised at start-up when the last helper could not write its journal.
    TvuFolderNotWritableEvent OnFolderNotWritable;
    // At start-up: the last upgrade failed to install and the previous version was restored.
    TvuNotifyEvent OnPreviousVersionRestored;
    // The information file failed its checks (see UpdateKeys); nothing is asked or downloaded.
    TvuInfoFileRefusedEvent OnInfoFileRefused;
    // A downloaded file does not match the hash or size recorded for it (or more bytes arrive
    // than its recorded size); the upgrade stops and none of its downloads is kept.
    TvuFileVerificationFailedEvent OnFileVerificationFailed;
    // A broken transfer of a listed file is tried again (see TvuDownloadRetry).
    TvuRetryEvent OnRetry;

    // ---- Limits ---------------------------------------------------------------------------------
    // Seconds one file (the information file, or a listed file with all its retries) may take
    // in all, however steadily its data comes; 0 = no limit. Default 1800.
    int FileTimeLimit() const { return fileTimeLimit_; }
    void SetFileTimeLimit(int seconds) { fileTimeLimit_ = seconds < 0 ? 0 : seconds; }

    // ---- Texts of the outcomes, for front ends that show them themselves ---------------------
    // The server of the current address as the messages name it: 'https://host' (with the port
    // when it is not the scheme's own).
    QString ServerName() const;
    // The message for a server that gave no answer: why, as far as the transfer can tell (its
    // certificate, silence, a refused connection, a name that does not resolve), else the
    // general host-unreachable text.
    QString HostUnreachableText() const;
    // The message for a transfer that broke off: the silence that ended it, else the general
    // connection-lost text.
    QString ConnectionLostText() const;
    // The message for a proxy that wants credentials nobody gave (uoProxyRefused).
    QString ProxyRefusedText() const;

    // ---- Verified upgrades ------------------------------------------------------------------
    // The public keys an information file must be signed with: the keys built into the program
    // unless changed. With at least one, an unsigned or otherwise signed information file is
    // refused, only its signed part is read, and every file of an upgrade needs a recorded
    // SHA-256. With none, information files are read unsigned. Recorded hashes and sizes are
    // checked after each download either way.
    // Keys that were configured but cannot be used (Unusable) refuse every information file:
    // without them nothing can be checked, and nothing may then be read unsigned.
    const std::vector<vu::Ed25519PublicKey>& UpdateKeys() const { return updateKeys_.Keys; }
    void SetUpdateKeys(vu::TvuUpdateKeys keys) { updateKeys_ = std::move(keys); }
    // What was recorded for each of PendingFiles(), in the same order.
    const std::vector<vu::FileExpectation>& PendingExpectations() const { return expectations_; }

    // ---- Release management -------------------------------------------------------------------
    // The application id an information file must name ("#product="); the build's by default.
    const QByteArray& Product() const { return product_; }
    void SetProduct(const QByteArray& value) { product_ = value; }
    // The channel this build follows ("#channel=", "stable" when a file names none); the
    // build's by default.
    const QByteArray& UpdateChannel() const { return updateChannel_; }
    void SetUpdateChannel(const QByteArray& value) { updateChannel_ = value; }
    // The user's file that keeps this installation's rollout number and the release the user
    // skipped (vuUserSettings.h), under the names <objectName>.RolloutDraw and
    // <objectName>.SkippedRelease.
    const QString& UserSettingsFile() const { return userSettingsFile_; }
    void SetUserSettingsFile(const QString& value) { userSettingsFile_ = value; }
    // What the last information file read decided for this installation, and why.
    const vu::ReleaseDecision& LastDecision() const { return decision_; }

    // ---- Stored settings and loading ------------------------------------------------------------
    // When the first command-line argument equals RestartParams exactly, confirms the start to
    // the replacement helper that is waiting for it, then raises OnAfterRestart when assigned.
    void Loaded() override;
    void WriteProperties(TvuSettingsWriter& writer) const override;
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& value) override;

    // ---- Run-time state, read-only ------------------------------------------------------------
    // The files of the pending upgrade, as read from the last information file (and changed by
    // OnBeginUpgrade).
    const QByteArrayList& PendingFiles() const { return files_; }
    TvuUpgradeMethod PendingMethod() const { return method_; }
    bool CheckingInfoFile() const { return checkingInfoFile_; }
    bool AutomaticCheck() const { return automaticCheck_; }
    bool AutomaticCheckDone() const { return automaticCheckDone_; }
    bool Aborted() const { return aborted_; }
    // Whether the automatic-check timer is set, and its interval.
    bool AutoCheckTimerActive() const;
    int AutoCheckTimerInterval() const;

    // The decision "newer" for the information file's text with the current settings.
    bool IsNewerVersion(const QByteArray& fileVersion, const QByteArray& fileDate) const;

    // ---- What the dialogs ask of the upgrader -----------------------------------------------
    // The wizard window closed by the user (OK, or a confirmed abort question, which follows
    // with DialogAbortUpgrade right after).
    void DialogWizardClosed();
    // The user confirmed the wizard's abort question.
    void DialogAbortUpgrade();
    // For the password prompt: the remote file name of the current address, and the
    // credentials as text.
    QString DialogRemoteFileName() const;
    QString DialogUsername() const;
    void DialogSetCredentials(const QString& username, const QString& password);

protected:
    // ======== download stage (begin) ========
    // Members of the download stage, defined in vuUpdaterDownload.cpp together with AbortUpgrade.
    //
    // Called by the check after the user agreed (method 0 or 1): downloads PendingFiles().
    void StartUpgrade();
    // Stops a running upgrade: aborts the transfer, destroys the wizard.
    void StopUpgrade();
    // Constructor step: deletes the replacement helper left by an earlier upgrade.
    void DeleteLeftoverHelper();
    // Transfer outcomes while a listed file (not the information file) is transferred.
    void DownloadHeaderInfo(qint32 statusCode, quint32 contentLength, TDateTime lastModified,
                            bool& continueTransfer);
    void DownloadProgress(quint32 contentLength, quint32 bytesRead, qint32 elapsedTime,
                          qint32 estimatedTimeLeft, quint8 percentsDone, float transferRate);
    void DownloadDone();
    void DownloadCancelled();
    void DownloadLostFile(qint32 statusCode);
    // The completion page is shown; the upgrade goes on when the user closes the wizard.
    bool awaitingWizard_ = false;
    // Steps of a running upgrade.
    // The file at the current index (advanced by one first), or completion after the last one.
    void NextFileStep(bool advance);
    // The same, from the event loop once the transfer that just ended has finished.
    void QueueNextFileStep();
    // The completion page (the upgrade goes on in FinishUpgrade once the wizard is closed), or
    // FinishUpgrade at once without a wizard.
    void CompleteUpgrade();
    // OnEndUpgrade, then the restart.
    void FinishUpgrade();
    // Writes and starts the replacement helper, handing it the upgrade's lock; false (with the
    // reason in HelperFailure) when it could not be started anywhere.
    bool RestartWithHelper();
    // Writes the helper to the first place where it can be started and starts it there; the
    // process id, or -1 with the reasons in helperFailure_. `helperPath` is where it runs.
    qint64 LaunchHelper(const QString& parameters, bool attached, QString& helperPath);
    // The helper could not be run: its message, the downloads go, the upgrade ends.
    void HelperNotStarted();
    // Outcomes decided before anything is fetched: another copy's upgrade, a packaged copy.
    bool RefusedBeforeCheck();
    // A transfer failed. A body that could not be stored ends the upgrade here; every other
    // failure is followed by its own outcome.
    void DownloadTransferFailed();
    // The one place where a broken transfer of a listed file is decided: it is tried again up to
    // three times (TvuDownloadRetry), going on from the partial file; then its message, the
    // upgrade stops and its downloads are deleted.
    void DownloadConnectionLost();
    // Whether the program's folder and every target of the pending files can be written.
    bool CanWriteTargets() const;
    // Ends the upgrade (or check) with an outcome, once: clears Upgrading and raises
    // OnUpgradeEnded.
    void EndWith(TvuUpgradeOutcome outcome);
    // Cancels the upgrade (see AbortUpgrade) and ends it with the outcome.
    void AbortWith(TvuUpgradeOutcome outcome);
    bool ended_ = true; // the current check or upgrade has reported its outcome
    // Checks of a verified upgrade (vuUpdaterVerification.cpp). Each refusal raises its event,
    // shows its message and ends the check or upgrade; the functions then return false.
    // The signature and the listed files; fills the text to read and the listed entries.
    bool AcceptInfoFile(const QByteArray& text, std::string& readable,
                        std::vector<vu::InfoFileEntry>& entries);
    // Pairs PendingFiles() with what `entries` recorded for each address.
    bool ExpectPendingFiles(const std::vector<vu::InfoFileEntry>& entries);
    void RefuseInfoFile(vu::InfoFileRefusal refusal);
    // The current download against its recorded hash and size.
    bool VerifyDownloadedFile();
    // Ends the upgrade for a file that failed its check: nothing of it is kept.
    void FailVerification(vu::FileCheck check);
    vu::TvuUpdateKeys updateKeys_;
    std::vector<vu::FileExpectation> expectations_;
    // Tells a waiting replacement helper that this start of the new version succeeded.
    void ConfirmStart();
    // Deletes the downloads of the running upgrade and its manifest (never while another copy
    // of the program holds the upgrade's lock).
    void DeleteDownloads();
    // Whether another process holds the upgrade's lock.
    bool UpgradeRunningElsewhere() const;
    std::unique_ptr<replacer::UpgradeLock> lock_; // held from the first download until the
                                                  // helper has finished (or has taken it over)
    QString helperFailure_;
    QString changedDownload_;
    bool checkByTimer_ = false; // the check being started is the automatic one
    QStringList downloaded_;    // names of the downloads of this upgrade, in order
    bool upgrading_ = false;    // from the question until the upgrade has ended
    int fileIndex_ = 0;         // the current file of PendingFiles()
    QString tempPath_;          // where the current file is being written
    TDateTime fileTime_ = 0;    // Last-Modified of the current file, 0 when none
    bool fileFound_ = false;    // the server answered the current file with a success status
    bool downloading_ = false;  // between StartUpgrade and the end of the last file or a stop
    int outcomes_ = 0;          // outcomes of listed files so far
    TvuDownloadRetry retry_;    // retries of the current file after a broken transfer
    QElapsedTimer fileClock_;   // since the current file's first attempt
    // ======== download stage (end) ========

    // Outcome handlers installed on the transfer's events at construction.
    void HandleHeaderInfo(qint32 statusCode, quint32 contentLength, TDateTime lastModified,
                          bool& continueTransfer);
    void HandleDone(QIODevice* data);
    void HandleCancelled();
    void HandleProgress(quint32 contentLength, quint32 bytesRead, qint32 elapsedTime,
                        qint32 estimatedTimeLeft, quint8 percentsDone, float transferRate);
    void HandleConnectionLost();
    void HandleServerUnreachable();
    void HandleHTTPError(qint32 statusCode);
    void HandleAuthorizationRequest(const QByteArray& realm, bool& tryAgain);
    // A 407 answer that stands: the proxy's credentials were not given or not accepted.
    void HandleProxyRefused();
    // A listed file whose body is longer than its recorded size.
    void HandleTooLargeDownload();
    // Limits of the next transfer: the size a listed file recorded, and what is left of
    // FileTimeLimit for the current file.
    void SetFileLimits(quint64 maxBodySize);

    // Reads the information file and acts on it.
    void InfoFileDone(const QByteArray& text);
    // This installation as the release decision sees it.
    vu::TvuInstallation Installation(const vu::TvuInfoFileReader& reader);
    // The number 1 to 100 that places this installation in staged rollouts: drawn once and kept
    // in the user's settings.
    int RolloutDraw();
    QByteArray UserSettingName(const char* name) const;
    // Asks the question for the offered release; records a skipped release.
    bool AskToUpgrade(const QByteArray& message);
    // The timer message of the hidden window.
    void AutoCheckTimer();
    // Kills the timer, then sets it when AutoCheck is on, the automatic check has not run and
    // AutoCheckDelay is positive.
    void ReevaluateTimer();

    bool ShowsMessage(TvuUpdaterShowMessage message) const {
        return (showMessages_ & message) != 0;
    }

    friend class TvuUpdaterHiddenWindow;

    // Settings.
    bool autoCheck_ = false;
    int autoCheckDelay_ = 10000;
    std::unique_ptr<TvuUpdaterInfo> infoFile_;
    QByteArray infoFileURL_ = "http://";
    QByteArray restartParams_ = "/afterupgrade";
    TvuMiscFilesUpgradeBehavior miscFilesUpgrade_ = mfuAlwaysDownload;
    TvuUpdaterVersionControl versionControl_ = byDate;
    QByteArray versionDate_;
    bool versionDateAutoSet_ = true;
    QByteArray versionNumber_;
    TvuUpdaterShowMessages showMessages_ = vuDefaultShowMessages;
    bool useCache_ = true;
    QByteArray product_;
    QByteArray updateChannel_;
    QString userSettingsFile_;
    int fileTimeLimit_ = 1800;
    std::unique_ptr<TvuUpdaterWizard> wizard_;

    // Run-time state.
    TvuUpdaterHiddenWindow* hiddenWindow_ = nullptr;
    QByteArrayList files_;
    TvuUpgradeMethod method_ = umSelfUpgrade;
    vu::ReleaseDecision decision_;
    bool checkingInfoFile_ = false;
    bool automaticCheck_ = false;
    bool automaticCheckDone_ = false;
    bool canUpgrade_ = false;
    bool aborted_ = false;
};

} // namespace vu
