#pragma once
// The message table of the upgrade component and the routines that fetch, format and show its
// messages in the current language (MessageBase, see vuUpdaterLanguage.h).
//
// Identifiers: 40997 "<AppTitle>", 40998 the name of the design environment, 40999 "Updater";
// then block L (1 to 27) at 41000 + (L - 1) * 50 with the messages 0 to 49, and its second
// block at 43000 + (L - 1) * 50 with the messages 50 to vuMessageCount - 1 (message 50 + i at
// second start + i). MessageBase is the start of the first block; the second one lies
// vuSecondBlockDistance above it. The texts are compiled in from messages/<Language>.txt.

#include "language/vuUpdaterLanguage.h"
#include "upgrade/dialogs/vuMessageBox.h"
#include "upgrade/dialogs/vuMessageFormat.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace vu {

inline constexpr quint16 vuIdAppTitle = 40997;
inline constexpr quint16 vuIdDesignEnvironment = 40998;
inline constexpr quint16 vuIdUpdaterLabel = 40999;
inline constexpr int vuMessageCount = 53;
// Messages per block, and how far a language's second block lies above its first.
inline constexpr int vuMessageBlockSize = 50;
inline constexpr int vuSecondBlockDistance = 2000;
static_assert(vuMessageCount <= 2 * vuMessageBlockSize, "two blocks per language");

// Indices of the messages within a block.
enum TvuMessageIndex : int {
    vmCaption = 0,
    vmDownloadingFiles = 1,
    vmUpgradeCompleted = 2,
    vmCurrentFile = 3,
    vmAllFiles = 4,
    vmDownloadingFileFrom = 5,
    vmFileSize = 6,
    vmTransferRate = 7,
    vmEstimatedTimeLeft = 8,
    vmDownloadingNofM = 9,
    vmUpdateCompletedNote = 10,
    vmEnterPassword = 11,
    vmUserName = 12,
    vmPassword = 13,
    vmYes = 14,
    vmNo = 15,
    vmOK = 16,
    vmCancel = 17,
    vmNext = 18,
    vmLater = 19,
    vmWarning = 20,
    vmError = 21,
    vmPreparing = 22,
    vmNewerVersion = 23,
    vmNoNewerVersion = 24,
    vmNoInfoFile = 25,
    vmHostUnreachable = 26,
    vmAbortQuestion = 27,
    vmLostFile = 28,
    vmPasswordProtected = 29,
    vmConnectionLost = 30,
    vmFolderNotWritable = 31,       // %s: the folder an upgrade cannot write to
    vmPreviousVersionRestored = 32, // an upgrade failed to install and was undone
    vmFileNotStored = 33,           // %s: a downloaded file that could not be saved
    vmInfoFileRefused = 34,         // %s: the application title; the information file failed
                                    // its checks (signature, hashes, addresses)
    vmFileVerificationFailed = 35,  // %s: a downloaded file that does not match its hash or size
    vmInfoFileExpired = 36,         // the information file is past its expiry
    vmSkipThisVersion = 37,         // the question's button that skips a release
    vmCriticalRelease = 38,         // the question for a critical release (%s program, %s note)
    vmBelowMinimumVersion = 39,     // %s: the program; too old to upgrade in place
    vmUpgradeAlreadyRunning = 40,   // another copy of the program is upgrading the same folder
    vmHelperNotStarted = 41,        // %s: why the replacement helper could not be run
    vmPackageManaged = 42,          // %s: the application title, %s: the package that owns it
    vmFileMissingLine = 43,         // %s: a listed file the server does not have (wizard line)
    vmInstalledFiles = 44,          // %s: the files an upgrade installs (completion page)
    vmCertificateNotVerified = 45,  // %s: the server ('https://host'), %s: why, in libcurl's words
    vmNoAnswer = 46,                // %s: the server, %d: the seconds it was silent
    vmConnectionRefused = 47,       // %s: the server
    vmNameNotResolved = 48,         // %s: the server
    vmProxyCredentials = 49,        // %s: the proxy (host:port) that wants credentials
    // The second block.
    vmRetryStatus = 50,             // %s file, %d retry, %d of, %d seconds, %s why (English)
    vmNothingToInstallSkipped = 51, // every listed file was left out
    vmNothingToInstallGone = 52,    // the downloads were gone when the helper looked
};

// The identifier of message `index` of the language whose first block starts at `base`.
constexpr int MessageId(int base, int index) {
    return index < vuMessageBlockSize ? base + index
                                      : base + vuSecondBlockDistance + index - vuMessageBlockSize;
}

// The string with identifier `id`; empty when there is none.
QString LoadMessageString(int id);

// The string of message `index` in the current language (MessageId(MessageBase, index));
// empty before a language is chosen.
QString LoadMessageText(int index);

// That string used as a format with `args` (see FormatText).
QString FormatMessageText(int index, const TvuFormatArgs& args);

// Modal message box owned by the application: `text`, caption LoadMessageText(0), the given
// MB_ icon and button flags. Returns the ID answer.
int ShowMessageText(const QString& text, unsigned flags);
int ShowMessageByIndex(int index, unsigned flags);

// The application title, the program's name in the upgrade dialogs.
QString ApplicationTitle();

// One language file as read: the messages by index, and what is wrong with the file (empty
// when it follows the format of messages/README.md to the letter).
struct TvuMessageFile {
    QMap<int, QString> Messages;
    QStringList Problems;
};
TvuMessageFile ParseMessageFile(const QByteArray& content);

// The compiled-in file of `language` (empty when it is missing).
QByteArray MessageFileContent(TvuUpdaterLanguage language);

} // namespace vu
