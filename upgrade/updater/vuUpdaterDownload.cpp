// The download stage of TvuUpdater: every listed file is downloaded beside the
// program as <name>.uTMP while the wizard shows the progress; after the last
// file the replacement helper is written out of the program's resources and
// started with the program's path and restart switch, and the program closes so
// that the helper can put the new files in place.
#include "upgrade/updater/vuUpdaterDownload.h"
#include "upgrade/updater/vuUpdater.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/dialogs/vuWizardProgress.h"
#include "upgrade/http/vuOutputWriter.h"
#include "vuReplacerImage.h"
#include "vuReplacerLaunch.h"

#include "vuReplaceTransaction.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vu {

namespace {

// Suffix of a downloaded file until the helper installs it.
const QString kPendingSuffix = QStringLiteral(".uTMP");

// The program's folder with a trailing "/".
QString ProgramFolder() {
    const QString path = UpgradeProgramPath();
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FromURL(const QByteArray& url) {
    return QString::fromLocal8Bit(url);
}

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
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

// Copies the helper's image out of the program's resources to path.
bool WriteHelper(const QString& path) {
    vuReplacerImageResourcePath(); // registers the embedded image
    QBuffer image;
    image.open(QIODevice::WriteOnly);
    return ResourceToStream(QLatin1String(kReplacerResourceName),
                            QLatin1String(kReplacerResourceType), &image) &&
           WriteReplacerHelperImage(path, image.data());
}

bool IsSuccessStatus(qint32 statusCode) {
    return statusCode >= 200 && statusCode < 300;
}

} // namespace

QString UpgradeProgramPath() {
    return env::ProgramPath();
}

QString UpgradeHelperPath() {
    static const QString path = GetTempDir() + QLatin1String(kReplacerFileName);
    return path;
}

// ---- Life cycle
// --------------------------------------------------------------------------------

void TvuUpdater::DeleteLeftoverHelper() {
    QFile::remove(UpgradeHelperPath());
}

void TvuUpdater::StartUpgrade() {
    // Leave information-file mode; the files may come from a cache when UseCache
    // allows it.
    checkingInfoFile_ = false;
    SetCacheAllowed(useCache_);
    Limits().MaxBodySize = 0;
    // A file whose download broke off can be continued where it stopped by another attempt
    // within this upgrade; an upgrade that ends without installing removes what it left.
    SetResumeOutput(true);
    fileIndex_ = 0;
    retry_.Reset();
    downloading_ = true;
    downloaded_.clear();
    QFile::remove(QString::fromStdString(replacer::ManifestPath(NativePath(UpgradeProgramPath()))));
    if (!OnTransferFailed)
        OnTransferFailed = [this](QObject*) { DownloadTransferFailed(); };
    if (wizard_->Enabled())
        ShowUpgradeWizard(this);
    NextFileStep(false);
}

void TvuUpdater::StopUpgrade() {
    ++outcomes_;
    const bool hadDownloads = downloading_ || !downloaded_.isEmpty();
    downloading_ = false;
    SignalEvent(waitEvent_.load());
    Abort();
    DestroyUpgradeWizard();
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
    DeletePendingFiles();
    QFile::remove(QString::fromStdString(replacer::ManifestPath(NativePath(UpgradeProgramPath()))));
    downloaded_.clear();
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

void TvuUpdater::ConfirmStart() {
    const std::string program = NativePath(UpgradeProgramPath());
    // Only a start that a helper is waiting for is confirmed.
    if (!QFile::exists(QString::fromStdString(replacer::JournalPath(program))))
        return;
    QFile confirmation(QString::fromStdString(replacer::ConfirmationPath(program)));
    if (confirmation.open(QIODevice::WriteOnly))
        confirmation.close();
}

void TvuUpdater::FinishInterruptedUpgrade() {
    const std::string program = NativePath(UpgradeProgramPath());
    replacer::RecoverAbandonedUpgrade(program);
    replacer::RemoveUnfinishedDownloads(program);
    const QString report = QString::fromStdString(replacer::RestoredReportPath(program));
    if (!QFile::exists(report))
        return;
    QFile::remove(report);
    if (OnPreviousVersionRestored)
        OnPreviousVersionRestored(this);
    if (ShowsMessage(mAskUpgrade))
        ShowMessageByIndex(vmPreviousVersionRestored, MB_OK | MB_ICONWARNING);
}

int TvuUpdater::InstallAndWait(const QByteArray& confirmParams) {
    const QString helper = UpgradeHelperPath();
    if (!WriteHelper(helper))
        return -1;
    const QString parameters =
        QString::fromLocal8Bit(confirmParams) +
        (method_ == umUseExternalSetup ? QStringLiteral("1") : QStringLiteral("0"));
    QStringList arguments =
        ReplacerArguments(helper, ReplacerCommandLine(helper, UpgradeProgramPath(), parameters));
    arguments.prepend(QStringLiteral("--attached"));
    QProcess process;
    process.setProgram(helper);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    int status = -1;
    if (process.waitForStarted(-1) && process.waitForFinished(-1) &&
        process.exitStatus() == QProcess::NormalExit)
        status = process.exitCode();
    QFile::remove(helper);
    // The caller reports a restored version itself.
    if (status == 15)
        QFile::remove(
            QString::fromStdString(replacer::RestoredReportPath(NativePath(UpgradeProgramPath()))));
    return status;
}

// ---- Files
// -------------------------------------------------------------------------------------

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
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowFileStart(FromURL(url), fileIndex_ + 1, int(files_.size()));
    tempPath_ = ProgramFolder() + URLToFileName(FromURL(url)) + kPendingSuffix;
    fileTime_ = 0;
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
    // An error answer is no file: the lost-file step follows.
    if (!IsSuccessStatus(statusCode))
        return;
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowFileSize(contentLength);

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
    if (!downloading_)
        return;
    const int count = int(files_.size());
    const quint8 total = WizardTotalPercent(percentsDone, fileIndex_, count);
    if (OnProgress)
        OnProgress(this, files_.at(fileIndex_), qint32(contentLength), qint32(bytesRead),
                   elapsedTime, estimatedTimeLeft, percentsDone, total, transferRate);
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowProgress(percentsDone, fileIndex_, count, transferRate, estimatedTimeLeft);
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
    bool continueUpgrade = false;
    if (OnLostFile)
        OnLostFile(this, url, statusCode, continueUpgrade);
    if (ShowsMessage(mLostFile)) {
        const QString text = FormatMessageText(vmLostFile, {URLToFileName(FromURL(url))});
        const QString caption =
            LoadMessageText(vmError) + QStringLiteral(" #") + QString::number(statusCode);
        continueUpgrade = vuMessageBox(text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
    }
    if (continueUpgrade)
        QueueNextFileStep();
    else
        AbortWith(uoLostFile);
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
    const int index = fileIndex_;
    const int seen = outcomes_;
    if (retry_.Next(this, [this, index, seen] {
            if (downloading_ && fileIndex_ == index && outcomes_ == seen)
                NextFileStep(false);
        }))
        return;
    // The upgrade ends here, before the message box opens its own event loop: nothing of
    // it may go on meanwhile.
    downloading_ = false;
    if (OnConnLost)
        OnConnLost(this);
    if (ShowsMessage(mConnLost))
        ShowMessageByIndex(vmConnectionLost, MB_OK | MB_ICONERROR);
    StopUpgrade();
    DeleteDownloads();
    EndWith(uoConnectionLost);
}

// ---- Completion and restart
// --------------------------------------------------------------------

void TvuUpdater::CompleteUpgrade() {
    // The downloads of this upgrade, for the helper: it installs these and nothing else.
    std::vector<std::string> names;
    for (const QString& name : downloaded_)
        names.push_back(NativePath(name));
    if (!replacer::WriteManifest(replacer::ManifestPath(NativePath(UpgradeProgramPath())), names)) {
        if (ShowsMessage(mLostFile))
            ShowMessageText(FormatMessageText(vmFileNotStored,
                                              {QFileInfo(UpgradeProgramPath()).fileName() +
                                               QString::fromLatin1(replacer::kManifestSuffix)}),
                            MB_OK | MB_ICONERROR);
        AbortWith(uoNotStored);
        return;
    }
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm()) {
        form->ShowWizardCompleted();
        // The wizard's close handler signals the event: OK, the close box, or the
        // abort question (which cancels the upgrade before the wait returns).
        WaitWithMessages(waitEvent_, 0, true);
        if (aborted_)
            return;
    }
    bool restartImmediately = true;
    if (OnEndUpgrade)
        OnEndUpgrade(this, restartImmediately);
    EndWith(uoDownloaded);
    if (restartImmediately)
        RestartWithHelper();
}

void TvuUpdater::RestartWithHelper() {
    const QString helper = UpgradeHelperPath();
    const QString parameters =
        QString::fromLocal8Bit(restartParams_) +
        (method_ == umUseExternalSetup ? QStringLiteral("1") : QStringLiteral("0"));
    const QString commandLine = ReplacerCommandLine(helper, UpgradeProgramPath(), parameters);
    // Only a helper written just now is started; without it the program keeps
    // running with its old files, and the downloads stay for the next attempt.
    if (!WriteHelper(helper) || !StartReplacer(helper, ReplacerArguments(helper, commandLine))) {
        QFile::remove(helper);
        DeleteDownloads();
        vuMessageBox(QStringLiteral("The upgrade could not be finished: the helper program %1 "
                                    "could not be written or started.")
                         .arg(helper),
                     LoadMessageText(vmError), MB_OK | MB_ICONERROR);
        return;
    }
    if (OnDoOwnCloseAppMethod)
        OnDoOwnCloseAppMethod(this);
    else
        CloseApplication();
}

} // namespace vu
