#include "upgrade/updater/vuUpdater.h"

#include "big5/big5.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/http/vuURLParts.h"
#include "upgrade/replacer/vuUpgradeLock.h"
#include "upgrade/signing/vuBuiltInKeys.h"
#include "upgrade/updater/vuUpdaterDownload.h"
#include "upgrade/updater/vuUpdaterHiddenWindow.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"
#include "upgrade/updater/vuUpgradePresenter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

namespace vu {

namespace {

QString FromBytes(const QByteArray& bytes) {
    return velmora::fromBig5(bytes);
}

QByteArray ToBytes(const QString& text) {
    if (auto big5 = velmora::toBig5(text))
        return *big5;
    return text.toUtf8();
}

// The largest information file accepted; anything longer counts as no information file.
constexpr quint64 kMaxInfoFileSize = 1024 * 1024;

} // namespace

// ---- Life cycle ------------------------------------------------------------------------------

TvuUpdater::TvuUpdater(QObject* owner) : TvuCustomHTTP(owner) {
    OnHeaderInfo = [this](QObject*, qint32 statusCode, const QByteArray&, const QByteArray&,
                          const QByteArray&, const QByteArray&, const QByteArray&,
                          quint32 contentLength, TDateTime, TDateTime lastModified, TDateTime,
                          bool& continueTransfer) {
        HandleHeaderInfo(statusCode, contentLength, lastModified, continueTransfer);
    };
    OnDone = [this](QObject*, const QByteArray&, quint32, QIODevice* data) { HandleDone(data); };
    OnCancelled = [this](QObject*) { HandleCancelled(); };
    OnTransferProgress = [this](QObject*, const QByteArray&, quint32 contentLength,
                                quint32 bytesRead, qint32 elapsedTime, qint32 estimatedTimeLeft,
                                quint8 percentsDone, float transferRate, QIODevice*) {
        HandleProgress(contentLength, bytesRead, elapsedTime, estimatedTimeLeft, percentsDone,
                       transferRate);
    };
    OnConnectionLost = [this](QObject*, const QByteArray&, quint32, quint32, QIODevice*) {
        HandleConnectionLost();
    };
    OnServerUnreachable = [this](QObject*) { HandleServerUnreachable(); };
    OnHTTPError = [this](QObject*, qint32 statusCode, QIODevice*) { HandleHTTPError(statusCode); };
    OnAuthorizationRequest = [this](QObject*, const QByteArray& realm, bool& tryAgain) {
        HandleAuthorizationRequest(realm, tryAgain);
    };
    SetHideOutputFile(true);
    lock_ = std::make_unique<replacer::UpgradeLock>();
    DeleteLeftoverHelper();
    SetThreadPriority(tpNormal);
    SetTransferBufferSize(4096);
    versionDate_ = QByteArray::fromStdString(vu::FormatVersionDate(QDate::currentDate()));
    updateKeys_ = vu::BuiltInUpdateKeys();
    product_ = VU_PRODUCT_ID;
    updateChannel_ = VU_UPDATE_CHANNEL;
    userSettingsFile_ = DefaultUserSettingsFile();
    infoFile_ = std::make_unique<TvuUpdaterInfo>();
    wizard_ = std::make_unique<TvuUpdaterWizard>();
    hiddenWindow_ = new TvuUpdaterHiddenWindow([this] { AutoCheckTimer(); }, this);
}

TvuUpdater::~TvuUpdater() {
    // Nothing on the screen may call back into the component from here on.
    UpgradePresenter().UpdaterDestroyed(*this);
    BeginDestroy();
    SetAutoCheck(false);
    delete hiddenWindow_;
    hiddenWindow_ = nullptr;
}

void TvuUpdater::Loaded() {
    TvuCustomHTTP::Loaded();
    if (env::FirstArgument() != restartParams_)
        return;
    // The replacement helper keeps the new files only once the new version got this far.
    ConfirmStart();
    if (OnAfterRestart)
        OnAfterRestart(this);
}

// ---- Settings --------------------------------------------------------------------------------

void TvuUpdater::SetAutoCheck(bool value) {
    autoCheck_ = value;
    ReevaluateTimer();
}

void TvuUpdater::SetRestartParams(const QByteArray& value) {
    restartParams_ = value.isEmpty() ? QByteArray(" ") : value;
}

void TvuUpdater::SetVersionDateAutoSet(bool value) {
    // Switching it on sets VersionDate only while the window is being designed; a running program
    // keeps the stored date.
    versionDateAutoSet_ = value;
}

bool TvuUpdater::AutoCheckTimerActive() const {
    return hiddenWindow_ && hiddenWindow_->TimerActive();
}

int TvuUpdater::AutoCheckTimerInterval() const {
    return hiddenWindow_ ? hiddenWindow_->TimerInterval() : 0;
}

// ---- The check -------------------------------------------------------------------------------

void TvuUpdater::CheckForUpdate() {
    // Questions and messages of this check belong to the window that owns the component.
    UpgradePresenter().CheckStarted(*this);
    // From the question until its end an upgrade owns the channel, also while it looks idle
    // between two files or on the completion page. Its wizard comes to the front instead.
    if (upgrading_) {
        UpgradePresenter().BringProgressToFront();
        return;
    }
    aborted_ = false;
    automaticCheck_ = false;
    if (Busy())
        return;
    ended_ = false;
    if (RefusedBeforeCheck())
        return;
    // Information-file mode: always fetched from the server, never from or into a cache.
    checkingInfoFile_ = true;
    SetCacheAllowed(false);
    // An information file is small: a larger answer is not one.
    fileClock_.start();
    SetFileLimits(kMaxInfoFileSize);
    SetResumeOutput(false);
    SetURL(infoFileURL_);
    SetOutputFile(QString());
    Read();
}

bool TvuUpdater::IsNewerVersion(const QByteArray& fileVersion, const QByteArray& fileDate) const {
    if (versionControl_ == byNumber)
        return CompareVersions(fileVersion, versionNumber_) > 0;
    const QDate today = env::Today();
    return vu::ReadInfoDate(versionDate_.toStdString(), today) <
           vu::ReadInfoDate(fileDate.toStdString(), today);
}

void TvuUpdater::InfoFileDone(const QByteArray& text) {
    files_.clear();
    expectations_.clear();
    decision_ = {};
    std::string readable;
    std::vector<vu::InfoFileEntry> entries;
    if (!AcceptInfoFile(text, readable, entries))
        return;
    const vu::TvuInfoFileReader reader(std::move(readable));
    decision_ = vu::DecideRelease(reader, Installation(reader));
    if (decision_.Verdict == vu::ReleaseVerdict::Refused) {
        RefuseInfoFile(decision_.Refusal);
        return;
    }
    for (const vu::InfoFileEntry& entry : entries)
        files_.append(QByteArray::fromStdString(entry.Url));

    if (vu::IsOffered(decision_.Verdict)) {
        upgrading_ = true;
        canUpgrade_ = true;
        const QByteArray message = QByteArray::fromStdString(reader.Message());
        // Below the minimum version the release is not installed in place: its page opens.
        const bool pageOnly = decision_.Verdict == vu::ReleaseVerdict::ReleasePageOnly;
        method_ = pageOnly ? umRedirectToURL : static_cast<TvuUpgradeMethod>(reader.Method());
        if (OnBeginUpgrade)
            OnBeginUpgrade(this, message, method_, files_, canUpgrade_);
        if (canUpgrade_ && method_ != umRedirectToURL && !ExpectPendingFiles(entries)) {
            // Refused: its message has been shown and the check has ended.
        } else if (canUpgrade_ && method_ != umRedirectToURL && !CanWriteTargets()) {
            // Asking would only lead to an upgrade that cannot be installed.
            const QString folder = QFileInfo(UpgradeProgramPath()).absolutePath();
            if (OnFolderNotWritable)
                OnFolderNotWritable(this, folder);
            if (ShowsMessage(mAskUpgrade))
                ShowMessageText(FormatMessageText(vmFolderNotWritable, {folder}),
                                MB_OK | MB_ICONERROR);
            EndWith(uoFolderNotWritable);
        } else if (!canUpgrade_ || (ShowsMessage(mAskUpgrade) && !AskToUpgrade(message))) {
            if (OnLaterUpgrade)
                OnLaterUpgrade(this);
            EndWith(uoDeclined);
        } else if (method_ == umRedirectToURL) {
            if (pageOnly && ShowsMessage(mAskUpgrade))
                ShowMessageText(FormatMessageText(vmBelowMinimumVersion, {ApplicationTitle()}),
                                MB_OK | MB_ICONINFORMATION);
            // The handler may have emptied the list: then there is nothing to open.
            if (!files_.isEmpty())
                OpenURL(FromBytes(files_.first()), true);
            EndWith(uoRedirected);
        } else {
            StartUpgrade();
        }
    } else {
        if (OnNoUpdateAvailable)
            OnNoUpdateAvailable(this);
        if (!automaticCheck_ && ShowsMessage(mNoUpdateAvailable))
            ShowMessageByIndex(vmNoNewerVersion, MB_OK | MB_ICONINFORMATION);
        EndWith(uoNoUpdate);
    }
}

vu::TvuInstallation TvuUpdater::Installation(const vu::TvuInfoFileReader& reader) {
    vu::TvuInstallation installation;
    installation.ByNumber = versionControl_ == byNumber;
    installation.VersionNumber = versionNumber_.toStdString();
    installation.VersionDate = versionDate_.toStdString();
    installation.Product = product_.toStdString();
    installation.Channel = updateChannel_.toStdString();
    installation.Signed = !updateKeys_.Keys.empty() || updateKeys_.Unusable;
    installation.Today = env::Today();
    installation.Now = env::Now();
    // Staged rollouts and skipped releases hold back automatic checks only: a check the user
    // asked for always offers the release.
    installation.Automatic = automaticCheck_;
    if (automaticCheck_) {
        // Drawn the first time a staged rollout asks for it.
        if (!reader.Value("rollout").empty())
            installation.Draw = RolloutDraw();
        QByteArray skipped;
        if (const auto stored =
                ReadUserSetting(userSettingsFile_, UserSettingName("SkippedRelease")))
            stored->ToString(skipped);
        installation.Skipped = skipped.toStdString();
    }
    return installation;
}

QByteArray TvuUpdater::UserSettingName(const char* name) const {
    const QString component = objectName().isEmpty() ? QStringLiteral("vuUpdater") : objectName();
    return component.toLatin1() + '.' + name;
}

int TvuUpdater::RolloutDraw() {
    const QByteArray name = UserSettingName("RolloutDraw");
    qint64 draw = 0;
    if (const auto stored = ReadUserSetting(userSettingsFile_, name);
        stored && stored->ToInteger(draw) && draw >= 1 && draw <= 100)
        return static_cast<int>(draw);
    draw = QRandomGenerator::system()->bounded(1, 101);
    // Kept for the next checks; when it cannot be stored this check still uses it.
    WriteUserSetting(userSettingsFile_, name, TvuStoredValue(TvuStoredValue::svInteger, {}, draw));
    return static_cast<int>(draw);
}

bool TvuUpdater::AskToUpgrade(const QByteArray& message) {
    // A critical release offers neither Later nor Skip.
    const TvuUpgradeAnswer answer = UpgradePresenter().AskUpgrade(
        *this, FromBytes(message), {decision_.Critical, !decision_.Critical});
    if (answer == uaSkip)
        WriteUserSetting(
            userSettingsFile_, UserSettingName("SkippedRelease"),
            TvuStoredValue(TvuStoredValue::svString, QByteArray::fromStdString(decision_.Release)));
    return answer == uaYes;
}

// ---- Transfer outcomes -----------------------------------------------------------------------

void TvuUpdater::HandleHeaderInfo(qint32 statusCode, quint32 contentLength, TDateTime lastModified,
                                  bool& continueTransfer) {
    if (checkingInfoFile_)
        return;
    DownloadHeaderInfo(statusCode, contentLength, lastModified, continueTransfer);
}

void TvuUpdater::HandleDone(QIODevice* data) {
    if (!checkingInfoFile_) {
        DownloadDone();
        return;
    }
    QByteArray text;
    if (data) {
        data->seek(0);
        text = data->readAll();
    }
    InfoFileDone(text);
}

void TvuUpdater::HandleCancelled() {
    if (!checkingInfoFile_)
        DownloadCancelled();
}

void TvuUpdater::HandleProgress(quint32 contentLength, quint32 bytesRead, qint32 elapsedTime,
                                qint32 estimatedTimeLeft, quint8 percentsDone, float transferRate) {
    if (!checkingInfoFile_)
        DownloadProgress(contentLength, bytesRead, elapsedTime, estimatedTimeLeft, percentsDone,
                         transferRate);
}

void TvuUpdater::HandleConnectionLost() {
    if (!checkingInfoFile_) {
        DownloadConnectionLost();
        return;
    }
    if (OnConnLost)
        OnConnLost(this);
    if (ShowsMessage(mConnLost))
        ShowMessageText(ConnectionLostText(), MB_OK | MB_ICONERROR);
    StopUpgrade();
    EndWith(uoConnectionLost);
}

void TvuUpdater::HandleServerUnreachable() {
    const QByteArray url = URL();
    const QByteArray host = URLHostName();
    if (checkingInfoFile_ && host.isEmpty()) {
        // No address to ask (the default "http://"): there is no information file, and no host
        // was ever tried.
        HandleHTTPError(-1);
        return;
    }
    if (OnHostUnreachable)
        OnHostUnreachable(this, url, host);
    if (!automaticCheck_ && ShowsMessage(mHostUnreachable))
        ShowMessageText(HostUnreachableText(), MB_OK | MB_ICONERROR);
    if (automaticCheck_) {
        // Try again after another delay, as often as needed.
        automaticCheckDone_ = false;
        ReevaluateTimer();
    }
    StopUpgrade();
    EndWith(uoHostUnreachable);
}

void TvuUpdater::HandleHTTPError(qint32 statusCode) {
    if (statusCode == 407) {
        HandleProxyRefused();
        return;
    }
    if (!checkingInfoFile_ && BodyTooLarge()) {
        HandleTooLargeDownload();
        return;
    }
    if (!checkingInfoFile_) {
        DownloadLostFile(statusCode);
        return;
    }
    if (OnNoInfoFile)
        OnNoInfoFile(this);
    if (ShowsMessage(mNoInfoFile))
        ShowMessageByIndex(vmNoInfoFile, MB_OK | MB_ICONERROR);
    EndWith(uoNoInfoFile);
}

void TvuUpdater::HandleAuthorizationRequest(const QByteArray& realm, bool& tryAgain) {
    tryAgain = false;
    if (OnPasswordRequest)
        OnPasswordRequest(this, realm, tryAgain);
    if (!tryAgain && ShowsMessage(mPasswordRequest))
        tryAgain = UpgradePresenter().AskPassword(*this);
    if (!tryAgain)
        AbortWith(uoPasswordRefused);
}

void TvuUpdater::HandleProxyRefused() {
    // Credentials for the proxy were asked for (OnProxyAuthenticationRequest) or could not be:
    // the answer stands, and it is no answer of the server's.
    if (ShowsMessage(mPasswordRequest))
        ShowMessageText(ProxyRefusedText(), MB_OK | MB_ICONERROR);
    // Like a lost connection: the upgrade stops, and what it downloaded goes with it.
    StopUpgrade();
    EndWith(uoProxyRefused);
}

void TvuUpdater::SetFileLimits(quint64 maxBodySize) {
    Limits().MaxBodySize = maxBodySize;
    if (fileTimeLimit_ <= 0) {
        Limits().TotalLimit = 0;
        return;
    }
    // At least a millisecond: 0 would mean no limit at all.
    const qint64 left = qint64(fileTimeLimit_) * 1000 - fileClock_.elapsed();
    Limits().TotalLimit = quint32(std::max<qint64>(left, 1));
}

void TvuUpdater::EndWith(TvuUpgradeOutcome outcome) {
    if (ended_)
        return;
    ended_ = true;
    upgrading_ = false;
    // Downloads handed to a helper keep the lock until it has finished; nothing else does.
    if (outcome != uoDownloaded)
        lock_->Release();
    if (OnUpgradeEnded)
        OnUpgradeEnded(this, outcome);
}

// ---- Automatic check -------------------------------------------------------------------------

void TvuUpdater::ReevaluateTimer() {
    if (!hiddenWindow_)
        return;
    hiddenWindow_->KillTimer();
    if (autoCheck_ && !automaticCheckDone_ && autoCheckDelay_ > 0)
        hiddenWindow_->SetTimer(autoCheckDelay_);
}

void TvuUpdater::AutoCheckTimer() {
    if (!env::Online() || !autoCheck_)
        return;
    automaticCheckDone_ = true;
    ReevaluateTimer();
    checkByTimer_ = true;
    CheckForUpdate();
    checkByTimer_ = false;
    automaticCheck_ = true;
}

// ---- Dialog host -----------------------------------------------------------------------------

void TvuUpdater::DialogWizardClosed() {
    if (!awaitingWizard_)
        return;
    // A confirmed abort question follows right after the close: the upgrade goes on only when
    // nothing cancelled it by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!awaitingWizard_)
                return;
            awaitingWizard_ = false;
            if (!aborted_)
                FinishUpgrade();
        },
        Qt::QueuedConnection);
}

void TvuUpdater::DialogAbortUpgrade() {
    AbortUpgrade();
}

QString TvuUpdater::DialogRemoteFileName() const {
    return URLToFileName(FromBytes(URL()));
}

QString TvuUpdater::DialogUsername() const {
    return FromBytes(HTTPUsername());
}

void TvuUpdater::DialogSetCredentials(const QString& username, const QString& password) {
    SetHTTPUsername(ToBytes(username));
    SetHTTPPassword(ToBytes(password));
}

} // namespace vu
