// The texts of TvuUpdater's outcomes, for its message boxes and for front ends that show them
// themselves: the server as the messages name it and why it could not be reached.
#include "big5/big5.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/http/vuURLParts.h"
#include "upgrade/updater/vuUpdater.h"

namespace vu {

QString TvuUpdater::ServerName() const {
    TvuURLParts parts;
    if (!CrackURL(URL(), parts))
        return QStringLiteral("'%1'").arg(velmora::fromBig5(URL()));
    const bool ownPort = (parts.Scheme == "https" && parts.Port == 443) ||
                         (parts.Scheme == "http" && parts.Port == 80);
    QByteArray host = parts.HostName.contains(':') ? "[" + parts.HostName + "]" : parts.HostName;
    if (!ownPort)
        host += ":" + QByteArray::number(parts.Port);
    return QStringLiteral("'%1://%2'")
        .arg(velmora::fromBig5(parts.Scheme), velmora::fromBig5(host));
}

QString TvuUpdater::HostUnreachableText() const {
    const vu::TvuTransferFailure failure = Failure();
    switch (failure.Cause) {
    case vu::TvuFailureCause::CertificateNotVerified:
        return FormatMessageText(vmCertificateNotVerified,
                                 {ServerName(), QString::fromUtf8(failure.Detail)});
    case vu::TvuFailureCause::NoAnswer:
        return FormatMessageText(vmNoAnswer, {ServerName(), int(failure.Seconds)});
    case vu::TvuFailureCause::ConnectionRefused:
        return FormatMessageText(vmConnectionRefused, {ServerName()});
    case vu::TvuFailureCause::NameNotResolved:
        return FormatMessageText(vmNameNotResolved, {ServerName()});
    default:
        return FormatMessageText(vmHostUnreachable, {ServerName()});
    }
}

QString TvuUpdater::ConnectionLostText() const {
    const vu::TvuTransferFailure failure = Failure();
    if (failure.Cause == vu::TvuFailureCause::NoAnswer)
        return FormatMessageText(vmNoAnswer, {ServerName(), int(failure.Seconds)});
    return LoadMessageText(vmConnectionLost);
}

QString TvuUpdater::ProxyRefusedText() const {
    QByteArray proxy = ProxyName();
    if (proxy.isEmpty())
        proxy = URLHostName();
    return FormatMessageText(vmProxyCredentials, {velmora::fromBig5(proxy)});
}

} // namespace vu
