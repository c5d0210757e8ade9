#pragma once

#include <QByteArray>

namespace vu {

// libcurl is not linked to the program: the functions of <curl/curl.h> that the transfer code
// calls are defined in vuCurlLibrary.cpp and load the library (and with it the TLS, Kerberos,
// LDAP and SSH libraries it depends on) on their first call. A window that never transfers
// anything starts without them. If the library cannot be loaded, every call fails the way
// libcurl reports a failed set-up: null handles and CURLE_FAILED_INIT.

// The library file that is loaded.
inline constexpr const char* CurlLibraryFile = "libcurl.so.4";

// True once libcurl is in this process, whoever loaded it. Does not load it.
bool CurlLibraryLoaded();

// Why loading libcurl failed; empty when it succeeded or has not been tried.
QByteArray CurlLibraryError();

// Loads the given file instead of CurlLibraryFile. Only before the first curl call; for tests
// of a missing library.
void SetCurlLibraryFileForTesting(const char* file);

} // namespace vu
