// Why a transfer got no answer or broke off, as far as the transfer can tell: the cause, the
// limit that ran out (in whole seconds) and libcurl's own words.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vu {

enum class TvuFailureCause : quint8 {
    None,                   // no failure of the connection (also an error status or a cut body)
    NameNotResolved,        // the server's or the proxy's name could not be resolved
    ConnectionRefused,      // nothing accepted the connection at that address
    NoAnswer,               // nothing arrived for Seconds (connecting, or waiting for data)
    TooSlow,                // fewer than the minimum bytes a second, over Seconds
    TimeLimit,              // the whole transfer took longer than its limit of Seconds
    CertificateNotVerified, // the server's certificate could not be verified; Detail says why
    Other,                  // any other failure of the connection; Detail says what
};

struct TvuTransferFailure {
    TvuFailureCause Cause = TvuFailureCause::None;
    quint32 Seconds = 0;
    QByteArray Detail; // libcurl's description, when it gave one
};

// A short English description: "no data for 60 s", "the certificate could not be verified:
// <detail>", the detail itself for Other; empty for None.
QByteArray TransferFailureText(const TvuTransferFailure& failure);

// A request ended by one of its own limits of `ms` milliseconds (rounded up to whole seconds).
TvuTransferFailure LimitFailure(TvuFailureCause cause, quint32 ms);
// A request ended by libcurl with result code `result` (a CURLcode), the system's error number
// and libcurl's error text; a connect time-out counts `connectTimeoutMs`.
TvuTransferFailure CurlFailure(int result, long osError, const char* errorText,
                               quint32 connectTimeoutMs);

} // namespace vu
