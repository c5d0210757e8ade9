// The checks of a verified upgrade inside TvuUpdater: the information file must pass its checks
// (signature, well-formed hashes, no local files from the network) before anything is asked, and
// each downloaded file must match its recorded hash and size before it may be installed.
#include "upgrade/updater/vuUpdater.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/http/vuOutputWriter.h"
#include "upgrade/signing/vuFileDigest.h"
#include "upgrade/updater/vuInfoFileChecks.h"

#include <QFile>
#include <QHash>

namespace vu {

namespace {

const char* FileCheckText(vu::FileCheck check) {
    switch (check) {
    case vu::FileCheck::Match:
        return "matches";
    case vu::FileCheck::SizeMismatch:
        return "the size differs from the recorded one";
    case vu::FileCheck::HashMismatch:
        return "the SHA-256 differs from the recorded one";
    case vu::FileCheck::Unreadable:
        return "the downloaded file cannot be read";
    case vu::FileCheck::BadExpectation:
        return "the recorded hash or size is malformed";
    }
    return "does not match";
}

} // namespace

bool TvuUpdater::AcceptInfoFile(const QByteArray& text, std::string& readable,
                                std::vector<vu::InfoFileEntry>& entries) {
    vu::InfoFileRefusal refusal =
        updateKeys_.Unusable
            ? vu::InfoFileRefusal::KeysUnusable
            : vu::CheckInfoFileSignature(std::string_view(text.constData(), text.size()),
                                         updateKeys_.Keys, readable);
    if (refusal == vu::InfoFileRefusal::None) {
        entries = vu::TvuInfoFileReader(readable).Entries();
        refusal = vu::CheckInfoFileEntries(URL().toStdString(), entries);
    }
    if (refusal == vu::InfoFileRefusal::None)
        return true;
    RefuseInfoFile(refusal);
    return false;
}

bool TvuUpdater::ExpectPendingFiles(const std::vector<vu::InfoFileEntry>& entries) {
    // Each address keeps the hash and size the information file recorded for it, whatever order
    // or selection a handler of OnBeginUpgrade left in the list.
    QHash<QByteArray, vu::FileExpectation> recorded;
    for (const vu::InfoFileEntry& entry : entries)
        recorded.insert(QByteArray::fromStdString(entry.Url), {entry.Sha256, entry.Size});
    expectations_.clear();
    for (const QByteArray& url : files_)
        expectations_.push_back(recorded.value(url));
    const vu::InfoFileRefusal refusal =
        vu::CheckUpgradeFiles(expectations_, !updateKeys_.Keys.empty());
    if (refusal == vu::InfoFileRefusal::None)
        return true;
    RefuseInfoFile(refusal);
    return false;
}

void TvuUpdater::RefuseInfoFile(vu::InfoFileRefusal refusal) {
    if (OnInfoFileRefused)
        OnInfoFileRefused(this, QByteArray(vu::InfoFileRefusalText(refusal)));
    // The message takes the place of the upgrade question.
    const bool expired = refusal == vu::InfoFileRefusal::Expired;
    if (ShowsMessage(mAskUpgrade))
        ShowMessageText(expired ? LoadMessageText(vmInfoFileExpired)
                                : FormatMessageText(vmInfoFileRefused, {ApplicationTitle()}),
                        MB_OK | MB_ICONERROR);
    EndWith(expired ? uoInfoFileExpired : uoInfoFileRefused);
}

bool TvuUpdater::VerifyDownloadedFile() {
    const vu::FileExpectation expected =
        fileIndex_ < int(expectations_.size()) ? expectations_[fileIndex_] : vu::FileExpectation{};
    const vu::FileCheck check = vu::CheckFile(QFile::encodeName(tempPath_).toStdString(), expected);
    if (check == vu::FileCheck::Match)
        return true;
    FailVerification(check);
    return false;
}

void TvuUpdater::FailVerification(vu::FileCheck check) {
    // Nothing of this upgrade may be installed: the file and every other download go.
    const QByteArray url = files_.at(fileIndex_);
    TvuOutputWriter::Remove(tempPath_); // its data is freed off the GUI thread
    aborted_ = true;
    StopUpgrade();
    DeleteDownloads();
    if (OnFileVerificationFailed)
        OnFileVerificationFailed(this, url, QByteArray(FileCheckText(check)));
    // Shown like the other failures of a listed file.
    if (ShowsMessage(mLostFile))
        ShowMessageText(FormatMessageText(vmFileVerificationFailed,
                                          {URLToFileName(QString::fromLocal8Bit(url))}),
                        MB_OK | MB_ICONERROR);
    EndWith(uoVerificationFailed);
}

} // namespace vu
