// Files: the private temporary folder, file names of URLs, file sizes and times, and embedded
// resources.
#pragma once

#include "upgrade/utils/vuDateTime.h"

#include <QString>

class QIODevice;

namespace vu {

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

} // namespace vu
