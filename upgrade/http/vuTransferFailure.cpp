#include "upgrade/http/vuTransferFailure.h"

namespace vu {

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

} // namespace vu
