// Cracking an address into its parts, as a transfer needs them: scheme, host, port, credentials,
// path and query. "http://" is put in front of an address that has no "://".
#pragma once

#include <QByteArray>

namespace vu {

struct TvuURLParts {
    QByteArray Scheme;   // lower case: "http", "https", "file", ...
    QByteArray HostName; // without brackets for IPv6 literals
    int Port = 0;        // the scheme's default when the address names none
    bool HasUserName = false;
    bool HasPassword = false;
    QByteArray UserName;  // percent-decoded
    QByteArray Password;  // percent-decoded
    QByteArray URLPath;   // as written (percent-encoded); decoded for "file" addresses
    QByteArray ExtraInfo; // "?query", empty when there is none
    // The address without credentials and fragment, as it goes to the transfer library.
    QByteArray BareURL;
};

// "http://" + url when url lacks "://".
QByteArray CompleteURL(const QByteArray& url);
// False when the address cannot be cracked (no host for a network scheme, bad syntax).
bool CrackURL(const QByteArray& url, TvuURLParts& parts);

} // namespace vu
