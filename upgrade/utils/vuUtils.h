// Free routines at the bottom of the upgrade component: online test, browser look-up and URL
// opening, the private temporary folder, file sizes and times, embedded resources, closing the
// application, dotted version comparison, HTTP date parsing, percentages, and an event pair that
// lets the GUI thread wait without freezing its windows.
//
// Texts that the routines parse are byte strings (QByteArray): positions are bytes, comparisons
// byte-wise and case-sensitive unless a routine says otherwise. File names, folders and URLs that
// go to the operating system are QString. No routine throws: failures are folded into the
// results (false, empty, -1, 0).
#pragma once

#include "upgrade/utils/vuDateTime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

class QIODevice;

// ---- Online test -------------------------------------------------------------------------------

// True when the machine looks connected. Linux keeps no dial-up state, so this is
// HasNetworkAddress().
bool IsOnline();
// Resolves the host's own name (IPv4) and keeps the last address of the list as text; true when
// that text is neither empty nor "127.0.0.1".
bool HasNetworkAddress();

// ---- Percentage --------------------------------------------------------------------------------

// done * 100 / total rounded to the nearest whole number, ties to even; 0 when total is 0 or on
// any arithmetic fault (not finite, outside 0..255).
quint8 PercentOf(double total, double done);

// ---- Browser look-up and opening URLs ---------------------------------------------------------

// The program registered for files of an extension such as ".html": the desktop's default
// application for the extension's media type (mimeapps.list in the XDG configuration and data
// folders, then `xdg-mime query default`), the Exec line of that desktop entry, split with
// SplitCommandLine. Empty when none, for "" and for ".".
QString GetAssociatedProgram(const QString& extension);

// Splits a registered open command into the program (left in `command`) and its parameters.
// A quoted program path loses its quotes; unquoted commands are cut at the first of " -", " /",
// " \", ",", " %" that leaves the program's file extension intact; a library launched through
// RUNDLL keeps the launcher as the program. Both results are trimmed. An empty command leaves
// `parameters` unchanged.
void SplitCommandLine(QByteArray& command, QByteArray& parameters);

// Flag bits of SplitAt.
inline constexpr int vuSplitSepToLeft = 1;  // append the separator to the left part
inline constexpr int vuSplitSepToRight = 2; // put the separator in front of the right part

// Cuts `text` at the first `separator`. When it is missing: whenMissing true gives an empty left
// and the whole text as right, false the whole text as left and an empty right.
void SplitAt(const QByteArray& separator, const QByteArray& text, QByteArray& left, int flags,
             bool whenMissing, QByteArray& right);

// Opens a URL ("http://" is put in front when it has no "://"): with useBrowser, in the program
// found by GetAssociatedProgram(".html") with the URL as its one argument; otherwise (or when
// none is found or it cannot start) through `xdg-open URL`. Processes get an argument vector,
// never a shell command line.
void OpenURL(const QString& url, bool useBrowser);

// Starts a detached process; returns whether it started. OpenURL starts its programs through the
// current starter, which tests may replace (an empty function restores the default).
using TvuProcessStarter = std::function<bool(const QString& program, const QStringList& args)>;
void SetProcessStarter(TvuProcessStarter starter);

// ---- Files -------------------------------------------------------------------------------------

// A private per-user folder for temporary files, ending in "/": $TMPDIR when it names a folder;
// otherwise /tmp/velmora-<uid>, created with mode 0700 and accepted only when it is a real folder
// (not a symbolic link) owned by the user with no access for others; otherwise the folder of the
// running program.
QString GetTempDir();
// Makes `path` a private folder of the user: creates it with mode 0700 when missing; accepts it
// only when it is a real folder (not a symbolic link) owned by the user, removing any group or
// other access. False when it cannot be made so.
bool EnsurePrivateFolder(const QString& path);

// The part of a URL after its last "/", "\" or ":" (every "/" read as "\"). "a/dir/setup.exe"
// gives "setup.exe", a URL ending in "/" gives "".
QString URLToFileName(const QString& url);

// Sets a file's times; -1 leaves a time unchanged. Each time is packed with two-second resolution
// (the DOS date-time range, 1980 to 2107) and taken as UTC; a time that cannot be packed stays
// unchanged. Linux cannot set a creation time: `creation` is ignored. False when the file cannot
// be opened for writing or the times cannot be set.
bool SetFileTimes(const QString& fileName, TDateTime creation, TDateTime lastWrite,
                  TDateTime lastAccess);

// Size of a file in bytes; -1 when it does not exist or is a folder.
qint64 FileSize64(const QString& fileName);

// Writes an embedded resource at the stream's current position. A resource of a name and a type
// is the file ":/<type>/<name>" of the program's Qt resources. False when the stream is missing,
// the resource is missing or empty, or the write fails.
bool ResourceToStream(const QString& resourceName, const QString& resourceType, QIODevice* stream);

// Closes the application's main window when there is one, then asks the application to quit.
void CloseApplication();
// The main window: the one named by SetApplicationMainWindow while it exists, otherwise the first
// top-level QMainWindow; null when there is none. A named window counts until its QObject part is
// gone, so it is still the main window while its children are being destroyed.
class QWidget;
QWidget* ApplicationMainWindow();
// Names the application's main window (any top-level widget); nullptr forgets it.
void SetApplicationMainWindow(QWidget* window);
// True once CloseApplication has run or the application is shutting down.
bool ApplicationTerminating();

// ---- Versions ----------------------------------------------------------------------------------

// Four parts of a dotted version; missing parts are "0".
std::array<QByteArray, 4> SplitVersion(const QByteArray& version);
// -1, 0 or 1. Parts compare as numbers; when a part of either is not a decimal number, the result
// is the sign of a byte-wise comparison of the two whole strings.
int CompareVersions(const QByteArray& first, const QByteArray& second);

// ---- Time zone and HTTP dates ------------------------------------------------------------------

// UTC minus local time now, in days (positive west of Greenwich), daylight saving included.
TDateTime LocalTimeBias();
// value - LocalTimeBias().
TDateTime UTCToLocal(TDateTime value);

// The token before the first `separator` (the whole text when it is missing); with remove, the
// text becomes what follows the separator (empty when it is missing).
void CutToken(QByteArray& text, const QByteArray& separator, bool remove, QByteArray& token);
// 1..7 for "SUN".."SAT", 1..12 for "JAN".."DEC" (case-insensitive, exact), else 0.
int DayNameIndex(const QByteArray& name);
int MonthNameIndex(const QByteArray& name);
// "+hhmm" or "-hhmm" (first five characters of the trimmed text) as a signed day fraction; any
// other text gives 0.
TDateTime ParseGMTOffset(const QByteArray& text);
// An HTTP date header in any of its three forms (RFC 1123, RFC 850 with a two-digit year, asctime)
// with "GMT" or a numeric offset, returned in local time. Years below 80 get 2000 added, 80..99
// get 1900. An empty text gives exactly 0; text that fails to parse gives UTCToLocal(0).
TDateTime ParseHTTPDate(const QByteArray& text);

// ---- Waiting with a live event loop ------------------------------------------------------------

// An event handle held in a variable: 0 = never created, -1 = already closed by WaitWithMessages,
// anything else a live event that SignalEvent can set.
using TvuEventHandle = std::atomic<std::intptr_t>;

// Creates an event, stores its handle in `event` and runs the calling thread's event loop until
// the event is signalled, `timeoutMs` has passed (0 = no limit) or, with stopOnTerminate, the
// application is terminating. The event is then closed and `event` set to -1.
void WaitWithMessages(TvuEventHandle& event, quint32 timeoutMs, bool stopOnTerminate);
// Sets the event when the handle is neither 0 nor -1. Safe from any thread.
void SignalEvent(std::intptr_t event);
