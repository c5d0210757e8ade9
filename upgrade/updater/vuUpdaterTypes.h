// Enumerations, message flags and event types of the upgrade component.
#pragma once

#include "upgrade/utils/vuDateTime.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace vu {

class TvuUpdater;

// How a new version is installed; the "method" digit of the information file in this order.
enum TvuUpgradeMethod : quint8 { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

// Whether listed files of the same size as the installed ones are skipped.
enum TvuMiscFilesUpgradeBehavior : quint8 { mfuAlwaysDownload, mfuOnlyIfSizeDifferent };

// Which key of the information file decides "newer".
enum TvuUpdaterVersionControl : quint8 { byDate, byNumber };

// The built-in dialogs and message boxes, as bits of TvuUpdaterShowMessages.
enum TvuUpdaterShowMessage : quint8 {
    mAskUpgrade = 1,
    mConnLost = 2,
    mHostUnreachable = 4,
    mLostFile = 8,
    mNoInfoFile = 16,
    mNoUpdateAvailable = 32,
    mPasswordRequest = 64,
};
// A set of TvuUpdaterShowMessage bits.
using TvuUpdaterShowMessages = quint8;
inline constexpr TvuUpdaterShowMessages vuAllShowMessages = 127;
inline constexpr TvuUpdaterShowMessages vuDefaultShowMessages =
    mAskUpgrade | mConnLost | mLostFile | mPasswordRequest; // 75

// Events. Sender is the component; an empty function is not raised. Reference parameters carry
// the handler's answer back.
using TvuNotifyEvent = std::function<void(TvuUpdater* Sender)>;
using TvuBeginUpgradeEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& UpgradeMsg,
                       TvuUpgradeMethod UpgradeMethod, QByteArrayList& Files, bool& CanUpgrade)>;
using TvuHostUnreachableEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& URL, const QByteArray& Hostname)>;
using TvuFileStartEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& FileURL, qint32 FileSize,
                       TDateTime FileTime, bool& CanUpgrade)>;
using TvuProgressEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& FileURL, qint32 FileSize,
                       qint32 BytesRead, qint32 ElapsedTime, qint32 EstimatedTimeLeft,
                       quint8 PercentsDone, quint8 TotalPercentsDone, float TransferRate)>;
using TvuFileDoneEvent = std::function<void(TvuUpdater* Sender, const QByteArray& FileName)>;
using TvuLostFileEvent = std::function<void(TvuUpdater* Sender, const QByteArray& FileURL,
                                            qint32 ErrorCode, bool& ContinueUpgrade)>;
using TvuEndUpgradeEvent = std::function<void(TvuUpdater* Sender, bool& RestartImediately)>;

// How an upgrade (or the check before it) ended, as reported by OnUpgradeEnded.
enum TvuUpgradeOutcome : quint8 {
    uoNoUpdate,           // no newer version (or no files listed)
    uoNoInfoFile,         // the information file was answered with an error status
    uoHostUnreachable,    // no answer at all
    uoConnectionLost,     // a transfer broke off
    uoPasswordRefused,    // credentials were wanted and none were given
    uoDeclined,           // the upgrade question was answered No, or OnBeginUpgrade declined
    uoLostFile,           // a listed file was missing and the upgrade was not continued
    uoNotStored,          // a downloaded file could not be saved
    uoFolderNotWritable,  // the program's folder or a target cannot be written
    uoCancelled,          // the wizard's abort question was confirmed
    uoRedirected,         // the release was opened in the browser
    uoDownloaded,         // every file is downloaded and listed for the replacement helper
    uoInfoFileRefused,    // the information file failed its checks: nothing was asked or fetched
    uoVerificationFailed, // a downloaded file did not match its recorded hash or size
    uoInfoFileExpired,    // the information file is past its expiry: nothing was asked or fetched
    uoAlreadyRunning,     // another copy of the program is upgrading the same folder: nothing
                          // was fetched or touched
    uoPackageManaged,     // the program belongs to an installed package: nothing was fetched
    uoNothingToInstall,   // every listed file was skipped: nothing was installed
    uoHelperNotStarted,   // the replacement helper could not be written or started anywhere:
                          // nothing was installed and the downloads were removed
    uoProxyRefused,       // a proxy wanted a user name and password that nobody gave
};
// What TvuUpdater::InstallAndWait found; the values are the replacement helper's exit statuses.
enum TvuInstallResult : int {
    irInstalled = 0,           // installed, and the new version confirmed its start
    irNothingToInstall = 1,    // none of the upgrade's downloads was there
    irVerificationFailed = 14, // a download changed after its verification: nothing installed
    irRestored = 15,           // installed, then undone: the previous version is back
    irNotWritable = 16,        // the journal could not be written: nothing was changed
    irAlreadyRunning = 17,     // another copy's upgrade holds the lock: nothing was touched
    irHelperNotStarted = 18,   // the helper could not be run, or died before changing anything
};

// Reason: a short English description of the failed check.
using TvuInfoFileRefusedEvent = std::function<void(TvuUpdater* Sender, const QByteArray& Reason)>;
using TvuFileVerificationFailedEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& FileURL, const QByteArray& Reason)>;
using TvuUpgradeEndedEvent = std::function<void(TvuUpdater* Sender, TvuUpgradeOutcome Outcome)>;
using TvuFolderNotWritableEvent = std::function<void(TvuUpdater* Sender, const QString& Folder)>;
// A listed file's transfer broke off and is tried again: Retry of MaxRetries (from 1) after
// PauseSeconds; Reason says why in a few English words ("no data for 60 s").
using TvuRetryEvent =
    std::function<void(TvuUpdater* Sender, const QByteArray& FileURL, int Retry, int MaxRetries,
                       int PauseSeconds, const QByteArray& Reason)>;

} // namespace vu
