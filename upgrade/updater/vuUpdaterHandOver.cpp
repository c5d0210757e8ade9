// The hand-over of a downloaded upgrade to the replacement helper: the helper is written out of
// the program's resources to the first place where it can run and started with the program's
// path and restart switch; the program then closes (or, without a window, waits for it). At the
// next start the component confirms the new version and reports what the last helper found.
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/replacer/image/vuReplacerImage.h"
#include "upgrade/replacer/image/vuReplacerLaunch.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuUpgradeLock.h"
#include "upgrade/updater/vuUpdater.h"
#include "upgrade/updater/vuUpdaterDownload.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>

namespace vu {

namespace {

// Where the helper may be written, in the order tried: the private temporary folder, the
// user's runtime folder, and a folder beside the program (for temporary folders on a file
// system that allows no programs).
QStringList HelperCandidates() {
    QStringList candidates{UpgradeHelperPath()};
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        candidates.append(QString::fromLocal8Bit(runtime) + QLatin1Char('/') +
                          QLatin1String(kReplacerFileName));
    candidates.append(UpgradeProgramPath() + QStringLiteral(".uHLP/") +
                      QLatin1String(kReplacerFileName));
    return candidates;
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

// The file the last helper found changed since its verification (the name it is installed
// under), read once: the report goes with it. Empty when there is none.
QString TakeVerificationReport(const std::string& program) {
    QFile report(QString::fromStdString(replacer::VerificationReportPath(program)));
    if (!report.open(QIODevice::ReadOnly))
        return {};
    QString name = QFile::decodeName(report.readLine().trimmed());
    report.close();
    report.remove();
    if (name.endsWith(kPendingSuffix))
        name.chop(kPendingSuffix.size());
    return name;
}

// Whether the last helper left the note at `path`; the note goes with the answer.
bool TakeReport(const std::string& path) {
    const QString report = QString::fromStdString(path);
    if (!QFile::exists(report))
        return false;
    QFile::remove(report);
    return true;
}

} // namespace

void TvuUpdater::DeleteLeftoverHelper() {
    // A helper that still runs keeps running without its file.
    for (const QString& path : HelperCandidates())
        QFile::remove(path);
    QDir().rmdir(UpgradeProgramPath() + QStringLiteral(".uHLP"));
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
    // The files of an upgrade that another copy is running are its own.
    if (!UpgradeRunningElsewhere())
        replacer::SettleEarlierUpgrade(program);
    // What the last helper found is reported once.
    const QString target = TakeVerificationReport(program);
    if (!target.isEmpty()) {
        if (OnFileVerificationFailed)
            OnFileVerificationFailed(this, QFile::encodeName(target),
                                     "the file changed after it was verified");
        if (ShowsMessage(mAskUpgrade))
            ShowMessageText(FormatMessageText(vmFileVerificationFailed, {target}),
                            MB_OK | MB_ICONERROR);
    }
    if (TakeReport(replacer::NotWritableReportPath(program))) {
        // The helper could not write its journal: nothing was installed.
        const QString folder = QFileInfo(UpgradeProgramPath()).absolutePath();
        if (OnFolderNotWritable)
            OnFolderNotWritable(this, folder);
        if (ShowsMessage(mAskUpgrade))
            ShowMessageText(FormatMessageText(vmFolderNotWritable, {folder}), MB_OK | MB_ICONERROR);
    }
    if (!TakeReport(replacer::RestoredReportPath(program)))
        return;
    if (OnPreviousVersionRestored)
        OnPreviousVersionRestored(this);
    if (ShowsMessage(mAskUpgrade))
        ShowMessageByIndex(vmPreviousVersionRestored, MB_OK | MB_ICONWARNING);
}

qint64 TvuUpdater::LaunchHelper(const QString& parameters, bool attached, QString& helperPath) {
    helperFailure_.clear();
    QStringList reasons;
    for (const QString& helper : HelperCandidates()) {
        const QString folder = QFileInfo(helper).absolutePath();
        if (!QFileInfo(folder).isDir() &&
            ::mkdir(QFile::encodeName(folder).constData(), 0700) != 0) {
            reasons.append(
                QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            continue;
        }
        if (!WriteHelper(helper)) {
            reasons.append(
                QStringLiteral("%1: %2").arg(helper, QString::fromLocal8Bit(std::strerror(errno))));
            continue;
        }
        QStringList arguments = ReplacerArguments(
            helper, ReplacerCommandLine(helper, UpgradeProgramPath(), parameters));
        if (attached)
            arguments.prepend(QStringLiteral("--attached"));
        // A helper started by a program that closes takes the upgrade's lock over.
        QString error;
        const qint64 pid =
            SpawnReplacer(helper, arguments, attached ? -1 : lock_->Descriptor(), &error);
        if (pid > 0) {
            helperPath = helper;
            return pid;
        }
        QFile::remove(helper);
        reasons.append(QStringLiteral("%1: %2").arg(helper, error));
    }
    helperFailure_ = reasons.join(QStringLiteral("; "));
    return -1;
}

void TvuUpdater::HelperNotStarted() {
    DeleteDownloads();
    lock_->Release();
    // Shown like the other failures of the download stage.
    if (ShowsMessage(mLostFile))
        ShowMessageText(FormatMessageText(vmHelperNotStarted, {helperFailure_}),
                        MB_OK | MB_ICONERROR);
}

int TvuUpdater::InstallAndWait(const QByteArray& confirmParams) {
    changedDownload_.clear();
    const std::string program = NativePath(UpgradeProgramPath());
    const QString parameters =
        QString::fromLocal8Bit(confirmParams) +
        (method_ == umUseExternalSetup ? QStringLiteral("1") : QStringLiteral("0"));
    QString helper;
    const qint64 pid = LaunchHelper(parameters, true, helper);
    if (pid < 0) {
        HelperNotStarted();
        return irHelperNotStarted;
    }
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
    QFile::remove(helper);
    QDir().rmdir(UpgradeProgramPath() + QStringLiteral(".uHLP"));
    int result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result < 0) {
        // The helper died: what it left is settled now, as the next start would.
        const bool journal = QFile::exists(QString::fromStdString(replacer::JournalPath(program)));
        if (replacer::RecoverAbandonedUpgrade(program)) {
            result = irRestored;
        } else if (journal) {
            result = irInstalled; // the new version had confirmed: the journal was committed
        } else {
            helperFailure_ = QStringLiteral("%1 ended by signal %2 before installing anything")
                                 .arg(helper)
                                 .arg(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            result = irHelperNotStarted;
            DeleteDownloads();
        }
    }
    // Reported here, not at the next start.
    if (result == irRestored)
        TakeReport(replacer::RestoredReportPath(program));
    if (result == irNotWritable)
        TakeReport(replacer::NotWritableReportPath(program));
    changedDownload_ = TakeVerificationReport(program);
    lock_->Release();
    return result;
}

bool TvuUpdater::RestartWithHelper() {
    const QString parameters =
        QString::fromLocal8Bit(restartParams_) +
        (method_ == umUseExternalSetup ? QStringLiteral("1") : QStringLiteral("0"));
    QString helper;
    if (LaunchHelper(parameters, false, helper) < 0)
        return false;
    // The helper holds the lock now, through the descriptor it inherited.
    lock_->Forget();
    return true;
}

} // namespace vu
