// The download stage of TvuUpdater: every listed file is downloaded beside the program as
// <name>.uTMP while the presenter shows the progress; after the last file the upgrade is handed
// over to the replacement helper (vuUpdaterHandOver.cpp).
#include "upgrade/updater/vuUpdaterDownload.h"
#include "upgrade/updater/vuUpdater.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuWizardProgress.h"
#include "upgrade/http/vuOutputWriter.h"
#include "upgrade/updater/vuUpgradePresenter.h"

#include "upgrade/replacer/image/vuReplacerLaunch.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuUpgradeLock.h"
#include "upgrade/signing/vuFileDigest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace {

// The program's folder with a trailing "/".
QString ProgramFolder() {
    const QString path = UpgradeProgramPath();
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FromURL(const QByteArray& url) {
    return QString::fromLocal8Bit(url);
}

// Whether a file can be created and removed in the folder.
bool CanCreateIn(const QString& folder) {
    const QByteArray probe = QFile::encodeName(
        folder + QStringLiteral(".write-probe-%1.uTMP").arg(QCoreApplication::applicationPid()));
    const int fd =
        ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return ::unlink(probe.constData()) == 0;
}

// Whether an existing file may be replaced by this user. A running program cannot be opened
// for writing but can be replaced all the same.
bool CanReplace(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir())
        return false;
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0 || errno == ETXTBSY;
}

// Deletes every "*.uTMP" file of the program's folder; failures are ignored. A download loses
// its name at once; the freeing of a large one's data is left to a helper thread, so that the
// GUI thread does not wait for it.
void DeletePendingFiles() {
    const QString folder = ProgramFolder();
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        // A download and the record that would let its transfer go on where it broke off.
        if (name.endsWith(kPendingSuffix, Qt::CaseSensitive))
            TvuOutputWriter::Remove(dir.filePath(name));
        else if (name.endsWith(kPendingSuffix + QStringLiteral(".resume"), Qt::CaseSensitive))
            QFile::remove(dir.filePath(name));
    }
}

bool IsSuccessStatus(qint32 statusCode) {
    return statusCode >= 200 && statusCode < 300;
}

} // namespace

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString UpgradeProgramPath() {
    return env::ProgramPath();
}

QString UpgradeHelperPath() {
    static const QString path = GetTempDir() + QLatin1String(kReplacerFileName);
    return path;
}

// ---- Life cycle -------------------------------------------------------------------------------

bool TvuUpdater::UpgradeRunningElsewhere() const {
    return !lock_->Held() && replacer::UpgradeRunningElsewhere(NativePath(UpgradeProgramPath()));
}

bool TvuUpdater::RefusedBeforeCheck() {
    const bool shown = !checkByTimer_ && ShowsMessage(mAskUpgrade);
    const QString package = env::PackageOwner(UpgradeProgramPath());
    if (!package.isEmpty()) {
        if (shown)
            ShowMessageText(FormatMessageText(vmPackageManaged, {ApplicationTitle(), package}),
                            MB_OK | MB_ICONINFORMATION);
        EndWith(uoPackageManaged);
        return true;
    }
    if (UpgradeRunningElsewhere()) {
        if (shown)
            ShowMessageByIndex(vmUpgradeAlreadyRunning, MB_OK | MB_ICONINFORMATION);
        EndWith(uoAlreadyRunning);
        return true;
    }
    return false;
}

bool TvuUpdater::LostFileSkippable(int index) const {
    if (index < 0 || index >= files_.size())
        return false;
    for (const vu::FileExpectation& expected : expectations_)
        if (!expected.Sha256.empty())
            return false;
    const QString programName = QFileInfo(UpgradeProgramPath()).fileName();
    bool listed = false;
    for (const QByteArray& url : files_)
        listed =
            listed || URLToFileName(FromURL(url)).compare(programName, Qt::CaseInsensitive) == 0;
    const QString name = URLToFileName(FromURL(files_.at(index)));
    // The helper installs the first executable as the program (or runs it as the setup).
    if (name.compare(programName, Qt::CaseInsensitive) == 0 ||
        name.endsWith(QLatin1String("exe"), Qt::CaseSensitive))
        return false;
    return listed || index != 0;
}

void TvuUpdater::StartUpgrade() {
    // Leave information-file mode; the files may come from a cache when UseCache
    // allows it.
    checkingInfoFile_ = false;
    SetCacheAllowed(useCache_);
    // A file whose download broke off can be continued where it stopped by another attempt
    // within this upgrade; an upgrade that ends without installing removes what it left.
    SetResumeOutput(true);
    // One upgrade at a time per program folder, from the first download on.
    switch (lock_->TryTake(NativePath(UpgradeProgramPath()))) {
    case replacer::UpgradeLock::Result::Taken:
        break;
    case replacer::UpgradeLock::Result::HeldElsewhere:
        if (ShowsMessage(mAskUpgrade))
            ShowMessageByIndex(vmUpgradeAlreadyRunning, MB_OK | MB_ICONINFORMATION);
        EndWith(uoAlreadyRunning);
        return;
    case replacer::UpgradeLock::Result::Unavailable:
        if (ShowsMessage(mAskUpgrade))
            ShowMessageText(FormatMessageText(vmFolderNotWritable,
                                              {QFileInfo(UpgradeProgramPath()).absolutePath()}),
                            MB_OK | MB_ICONERROR);
        EndWith(uoFolderNotWritable);
        return;
    }
    fileIndex_ = 0;
    retry_.Reset();
    downloading_ = true;
    downloaded_.clear();
    QFile::remove(QString::fromStdString(replacer::ManifestPath(NativePath(UpgradeProgramPath()))));
    if (!OnTransferFailed)
        OnTransferFailed = [this](QObject*) { DownloadTransferFailed(); };
    if (wizard_->Enabled())
        UpgradePresenter().ShowProgress(*this);
    NextFileStep(false);
}

void TvuUpdater::StopUpgrade() {
    ++outcomes_;
    const bool hadDownloads = downloading_ || !downloaded_.isEmpty();
    downloading_ = false;
    awaitingWizard_ = false;
    Abort();
    UpgradePresenter().CloseProgress();
    // A stopped upgrade is never installed: its downloads go.
    if (hadDownloads)
        DeleteDownloads();
}

void TvuUpdater::AbortUpgrade() {
    AbortWith(uoCancelled);
}

void TvuUpdater::AbortWith(TvuUpgradeOutcome outcome) {
    aborted_ = true;
    StopUpgrade();
    DeleteDownloads();
    if (OnAborted)
        OnAborted(this);
    EndWith(outcome);
}

void TvuUpdater::DeleteDownloads() {
    downloaded_.clear();
    if (UpgradeRunningElsewhere())
        return;
    DeletePendingFiles();
    QFile::remove(QString::fromStdString(replacer::ManifestPath(NativePath(UpgradeProgramPath()))));
}

bool TvuUpdater::CanWriteTargets() const {
    const QString folder = ProgramFolder();
    if (!CanCreateIn(folder) || !CanReplace(UpgradeProgramPath()))
        return false;
    for (const QByteArray& url : files_)
        if (!CanReplace(folder + URLToFileName(FromURL(url))))
            return false;
    return true;
}

// ---- Files ------------------------------------------------------------------------------------

void TvuUpdater::NextFileStep(bool advance) {
    if (!downloading_)
        return;
    if (advance) {
        ++fileIndex_;
        retry_.Reset();
    }
    if (fileIndex_ >= files_.size()) {
        downloading_ = false;
        CompleteUpgrade();
        return;
    }
    const QByteArray& url = files_.at(fileIndex_);
    // A retry goes on with the same file: the retry's line stays until its progress comes.
    if (retry_.Used() == 0)
        UpgradePresenter().FileStarted(FromURL(url), fileIndex_ + 1, int(files_.size()));
    tempPath_ = ProgramFolder() + URLToFileName(FromURL(url)) + kPendingSuffix;
    fileTime_ = 0;
    fileFound_ = false;
    // A file's time runs from its first attempt, through its retries. No more than its recorded
    // size is received: a body that goes on is stopped at once.
    if (retry_.Used() == 0)
        fileClock_.start();
    const std::optional<std::uint64_t> recordedSize =
        fileIndex_ < int(expectations_.size()) ? vu::RecordedSize(expectations_[fileIndex_])
                                               : std::nullopt;
    // A limit of 0 would mean none: a recorded size of 0 is held to one byte, and the check after
    // the download refuses even that.
    SetFileLimits(recordedSize ? std::max<std::uint64_t>(*recordedSize, 1) : 0);
    SetURL(url);
    SetOutputFile(tempPath_);
    ReleaseData();
    Read();
}

void TvuUpdater::QueueNextFileStep() {
    // The transfer is still finishing when its outcome arrives; the next one
    // starts once it has.
    QMetaObject::invokeMethod(
        this, [this] { NextFileStep(true); }, Qt::QueuedConnection);
}

void TvuUpdater::DownloadHeaderInfo(qint32 statusCode, quint32 contentLength,
                                    TDateTime lastModified, bool& continueTransfer) {
    if (!downloading_)
        return;
    fileTime_ = lastModified;
    // An error answer is no file: the lost-file step follows, and its body is no progress.
    fileFound_ = IsSuccessStatus(statusCode);
    if (!fileFound_)
        return;
    UpgradePresenter().FileSizeKnown(contentLength);

    // Files that already have the announced size are skipped, never the program
    // itself.
    if (miscFilesUpgrade_ == mfuOnlyIfSizeDifferent && contentLength != 0 && files_.size() > 1) {
        const QString installed = tempPath_.left(tempPath_.size() - kPendingSuffix.size());
        const QString programName = QFileInfo(UpgradeProgramPath()).fileName();
        if (QFileInfo(installed).fileName().compare(programName, Qt::CaseInsensitive) != 0 &&
            QFileInfo::exists(installed))
            continueTransfer = qint64(contentLength) != FileSize64(installed);
    }
    if (OnFileStart)
        OnFileStart(this, files_.at(fileIndex_), qint32(contentLength), fileTime_,
                    continueTransfer);
}

void TvuUpdater::DownloadProgress(quint32 contentLength, quint32 bytesRead, qint32 elapsedTime,
                                  qint32 estimatedTimeLeft, quint8 percentsDone,
                                  float transferRate) {
    if (!downloading_ || !fileFound_)
        return;
    const int count = int(files_.size());
    const quint8 total = WizardTotalPercent(percentsDone, fileIndex_, count);
    if (OnProgress)
        OnProgress(this, files_.at(fileIndex_), qint32(contentLength), qint32(bytesRead),
                   elapsedTime, estimatedTimeLeft, percentsDone, total, transferRate);
    UpgradePresenter().FileProgress(percentsDone, fileIndex_, count, transferRate,
                                    estimatedTimeLeft);
}

void TvuUpdater::DownloadDone() {
    if (!downloading_)
        return;
    ++outcomes_;
    if (!VerifyDownloadedFile())
        return;
    // Linux keeps no creation time: only the last-write time takes the server's
    // date.
    if (fileTime_ != 0)
        SetFileTimes(tempPath_, fileTime_, fileTime_, -1);
    const QString name = QFileInfo(tempPath_).fileName();
    if (!downloaded_.contains(name))
        downloaded_.append(name);
    if (OnFileDone)
        OnFileDone(this, tempPath_.toLocal8Bit());
    QueueNextFileStep();
}

void TvuUpdater::DownloadCancelled() {
    // The header step declined the file: no temporary file was written for it.
    ++outcomes_;
    if (downloading_)
        QueueNextFileStep();
}

void TvuUpdater::DownloadLostFile(qint32 statusCode) {
    if (!downloading_)
        return;
    ++outcomes_;
    const QByteArray url = files_.at(fileIndex_);
    const bool skippable = LostFileSkippable(fileIndex_);
    UpgradePresenter().FileMissing(URLToFileName(FromURL(url)));
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(this, url, statusCode, continueUpgrade);
    if (ShowsMessage(mLostFile)) {
        QString text = FormatMessageText(vmLostFile, {URLToFileName(FromURL(url))});
        const QString caption =
            LoadMessageText(vmError) + QStringLiteral(" #") + QString::number(statusCode);
        if (skippable) {
            continueUpgrade = vuMessageBox(text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
        } else {
            // Without it the upgrade would be partial: only the statement, without the offer to
            // skip the file that follows it.
            text = text.left(text.indexOf(QLatin1String("\r\r")));
            vuMessageBox(text, caption, MB_OK | MB_ICONERROR);
        }
    }
    continueUpgrade = continueUpgrade && skippable;
    if (continueUpgrade)
        QueueNextFileStep();
    else
        AbortWith(uoLostFile);
}

void TvuUpdater::HandleTooLargeDownload() {
    if (!downloading_)
        return;
    ++outcomes_;
    FailVerification(vu::FileCheck::SizeMismatch);
}

void TvuUpdater::DownloadTransferFailed() {
    // Every failure but a body that could not be stored is followed by its own
    // outcome within the same completion.
    if (!downloading_ || checkingInfoFile_ || !StorageFailed())
        return;
    downloading_ = false;
    ++outcomes_;
    if (ShowsMessage(mLostFile))
        ShowMessageText(
            FormatMessageText(vmFileNotStored, {URLToFileName(FromURL(files_.at(fileIndex_)))}),
            MB_OK | MB_ICONERROR);
    AbortWith(uoNotStored);
}

void TvuUpdater::DownloadConnectionLost() {
    if (!downloading_)
        return;
    // A dropped connection is tried again after a pause, from where the partial file ends,
    // before the user hears of it. The retry belongs to this file of this upgrade only.
    // A file out of time is not tried again.
    const int index = fileIndex_;
    const int seen = outcomes_;
    const vu::TvuTransferFailure failure = Failure();
    const int pause = TvuDownloadRetry::PauseMs(retry_.Used());
    const bool inTime =
        fileTimeLimit_ <= 0 || fileClock_.elapsed() + pause < qint64(fileTimeLimit_) * 1000;
    if (failure.Cause != vu::TvuFailureCause::TimeLimit && inTime &&
        retry_.Next(this, [this, index, seen] {
            if (downloading_ && fileIndex_ == index && outcomes_ == seen)
                NextFileStep(false);
        })) {
        QByteArray reason = vu::TransferFailureText(failure);
        if (reason.isEmpty())
            reason = "the connection broke off after " + QByteArray::number(BytesRead()) + " bytes";
        const QByteArray url = files_.at(fileIndex_);
        if (OnRetry)
            OnRetry(this, url, retry_.Used(), TvuDownloadRetry::kMaxRetries, pause / 1000, reason);
        UpgradePresenter().FileRetry(RetryStatusText(URLToFileName(FromURL(url)), retry_.Used(),
                                                     TvuDownloadRetry::kMaxRetries, pause / 1000,
                                                     QString::fromUtf8(reason)));
        return;
    }
    // The upgrade ends here, before the message box opens its own event loop: nothing of
    // it may go on meanwhile.
    downloading_ = false;
    if (OnConnLost)
        OnConnLost(this);
    if (ShowsMessage(mConnLost))
        ShowMessageText(ConnectionLostText(), MB_OK | MB_ICONERROR);
    StopUpgrade();
    DeleteDownloads();
    EndWith(uoConnectionLost);
}

// ---- Completion -------------------------------------------------------------------------------

void TvuUpdater::CompleteUpgrade() {
    if (downloaded_.isEmpty()) {
        // Every file was skipped: there is nothing for a helper to install.
        StopUpgrade();
        EndWith(uoNothingToInstall);
        return;
    }
    // The downloads of this upgrade, for the helper: it installs these and nothing else, and
    // each only while it still holds what was verified here.
    std::vector<replacer::ManifestEntry> entries;
    for (const QString& name : downloaded_) {
        const std::optional<vu::FileDigest> digest =
            vu::DigestFile(NativePath(ProgramFolder() + name));
        if (!digest) {
            entries.clear();
            break;
        }
        entries.push_back({NativePath(name), digest->Sha256, digest->Size, true});
    }
    if (entries.empty() || !replacer::WriteManifest(
                               replacer::ManifestPath(NativePath(UpgradeProgramPath())), entries)) {
        if (ShowsMessage(mLostFile))
            ShowMessageText(FormatMessageText(vmFileNotStored,
                                              {QFileInfo(UpgradeProgramPath()).fileName() +
                                               QString::fromLatin1(replacer::kManifestSuffix)}),
                            MB_OK | MB_ICONERROR);
        AbortWith(uoNotStored);
        return;
    }
    // With a completion page the upgrade goes on when the user closes it: OK, or the close box
    // and the abort question, which cancels it (DialogWizardClosed).
    QStringList installed;
    for (const QString& name : downloaded_)
        installed.append(name.left(name.size() - kPendingSuffix.size()));
    awaitingWizard_ = true;
    if (UpgradePresenter().ShowCompleted(installed))
        return;
    awaitingWizard_ = false;
    FinishUpgrade();
}

void TvuUpdater::FinishUpgrade() {
    bool restartImmediately = true;
    if (OnEndUpgrade)
        OnEndUpgrade(this, restartImmediately);
    if (!restartImmediately) {
        // The downloads wait, under this copy's lock, for a later upgrade or cancel.
        EndWith(uoDownloaded);
        return;
    }
    if (!RestartWithHelper()) {
        HelperNotStarted();
        EndWith(uoHelperNotStarted);
        return;
    }
    EndWith(uoDownloaded);
    if (OnDoOwnCloseAppMethod)
        OnDoOwnCloseAppMethod(this);
    else
        UpgradePresenter().CloseProgram();
}

} // namespace vu
