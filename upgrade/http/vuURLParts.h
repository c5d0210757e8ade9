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
// "scheme://host:port" of an address (the host in lower case), by which credentials are kept to
// the place they were given for; empty when it cannot be cracked.
QByteArray OriginOf(const QByteArray& url);
// The address a redirect from `current` to `location` leads to (relative locations resolved,
// fragment dropped); false unless it is http or https and leaves no secure connection for a
// plain one.
bool ResolveRedirect(const QByteArray& current, const QByteArray& location, QByteArray& target);

} // namespace vu
