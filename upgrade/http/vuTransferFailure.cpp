#include "upgrade/http/vuTransferFailure.h"

#include <curl/curl.h>

#include <cerrno>

namespace vu {

namespace {

quint32 WholeSeconds(quint32 ms) {
    return (ms + 999) / 1000;
}

} // namespace

QByteArray TransferFailureText(const TvuTransferFailure& failure) {
    const QByteArray seconds = QByteArray::number(failure.Seconds);
    switch (failure.Cause) {
    case TvuFailureCause::None:
        return {};
    case TvuFailureCause::NameNotResolved:
        return "the name could not be resolved";
    case TvuFailureCause::ConnectionRefused:
        return "the connection was refused";
    case TvuFailureCause::NoAnswer:
        return "no data for " + seconds + " s";
    case TvuFailureCause::TooSlow:
        return "too slow for " + seconds + " s";
    case TvuFailureCause::TimeLimit:
        return "not done within " + seconds + " s";
    case TvuFailureCause::CertificateNotVerified:
        return "the certificate could not be verified: " + failure.Detail;
    case TvuFailureCause::Other:
        return failure.Detail.isEmpty() ? QByteArray("the connection failed") : failure.Detail;
    }
    return {};
}

TvuTransferFailure LimitFailure(TvuFailureCause cause, quint32 ms) {
    TvuTransferFailure failure;
    failure.Cause = cause;
    failure.Seconds = WholeSeconds(ms);
    return failure;
}

TvuTransferFailure CurlFailure(int result, long osError, const char* errorText,
                               quint32 connectTimeoutMs) {
    TvuTransferFailure failure;
    failure.Detail = QByteArray(errorText).trimmed();
    switch (static_cast<CURLcode>(result)) {
    case CURLE_OK:
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_WRITE_ERROR:
        failure.Detail.clear();
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        failure.Cause = TvuFailureCause::NameNotResolved;
        break;
    case CURLE_COULDNT_CONNECT:
        failure.Cause =
            osError == ECONNREFUSED ? TvuFailureCause::ConnectionRefused : TvuFailureCause::Other;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        // libcurl's own time-out covers resolving, connecting and the TLS handshake.
        failure.Cause = TvuFailureCause::NoAnswer;
        failure.Seconds = WholeSeconds(connectTimeoutMs);
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        failure.Cause = TvuFailureCause::CertificateNotVerified;
        break;
    default:
        failure.Cause = TvuFailureCause::Other;
        break;
    }
    return failure;
}

} // namespace vu
