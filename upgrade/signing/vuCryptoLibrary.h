#pragma once

#include <string>

namespace vu {

// libcrypto is not linked to the program: the OpenSSL functions that signatures and digests call
// are defined in vuCryptoLibrary.cpp and load the library on their first call, so a window that
// never checks an upgrade starts without it. If the library cannot be loaded every call fails
// (null objects, 0 or -1), so nothing is ever verified without it.

// The library file that is loaded.
inline constexpr const char* CryptoLibraryFile = "libcrypto.so.3";

// True once libcrypto is in this process, whoever loaded it. Does not load it.
bool CryptoLibraryLoaded();

// Why loading libcrypto failed; empty when it succeeded or has not been tried.
std::string CryptoLibraryError();

// Loads the given file instead of CryptoLibraryFile. Only before the first call; for tests of a
// missing library.
void SetCryptoLibraryFileForTesting(const char* file);

} // namespace vu
