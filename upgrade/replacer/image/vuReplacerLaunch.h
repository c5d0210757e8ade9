// Writing the replacement helper out of the program's resources and starting it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vu {

// The helper's file name, the same on every platform.
inline constexpr const char* kReplacerFileName = "Daderevi3.exe";

// Writes the embedded helper image to path as a fresh file of mode 0700: whatever is at path is
// removed first and the new file is created exclusively, without following a symbolic link, so a
// true result means path holds exactly the image just written. On failure nothing is left.
bool WriteReplacerHelper(const QString& path);
// The same with an image already read from the resources.
bool WriteReplacerHelperImage(const QString& path, const QByteArray& image);

// helper path + " " + program path + " +" + parameters, without quotes.
QString ReplacerCommandLine(const QString& helperPath, const QString& programPath,
                            const QString& parameters);

// The helper's arguments for a command line of ReplacerCommandLine: the text after the helper
// path, split at every blank (empty pieces are kept, so the helper's rejoining restores runs of
// blanks in the program path).
QStringList ReplacerArguments(const QString& helperPath, const QString& commandLine);

// Starts the helper with an argument vector and no shell; it outlives the program. A descriptor
// handedFd >= 0 stays open in the helper (whatever its close-on-exec flag). Returns the process
// id, or -1 with the reason (the system's error text) in `error`: for example a temporary folder
// on a file system that allows no programs.
qint64 SpawnReplacer(const QString& helperPath, const QStringList& arguments, int handedFd,
                     QString* error = nullptr);
// The same without a descriptor; true when the process started.
bool StartReplacer(const QString& helperPath, const QStringList& arguments);

} // namespace vu
