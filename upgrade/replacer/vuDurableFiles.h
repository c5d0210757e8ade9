#pragma once

// The helper's file routines: what they write is synced before they report success, so that an
// install step either happened on the disk or did not.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vu {

namespace replacer {

// A file written in one step is written under its name + this suffix first.
inline constexpr const char* kWritingSuffix = ".new";

// Whether a name exists (a link counts as itself), and whether it is a regular file.
bool Exists(const std::string& path);
bool IsRegular(const std::string& path);

// An empty note: it needs no room on a disk that is full.
void WriteEmptyReport(const std::string& path);

// Adds an execute bit wherever a read bit is set, and always for the owner.
mode_t WithExecuteBits(mode_t mode);
mode_t CurrentUmask();

// Writes all of text, across short writes and interruptions.
bool WriteAll(int fd, const std::string& text);
// Reads to the end (or the first error).
std::string ReadAll(int fd);
std::vector<std::string> SplitLines(const std::string& text);

// Writes text to path through a synced temporary file renamed over it.
bool WriteFileAtomically(const std::string& path, const std::string& text);
// Copies a file's content and mode to a new file, synced.
bool CopyFileContent(const std::string& from, const std::string& to);
// Keeps the old content under the backup name while the target itself stays in place: a second
// name for the same file, or a copy where the file system has no hard links.
bool MakeBackup(const std::string& target, const std::string& backup);

} // namespace replacer

} // namespace vu
