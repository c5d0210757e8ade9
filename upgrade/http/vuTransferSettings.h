// The settings of a transfer: what the component's properties set, and what a transfer takes as
// a whole when it starts (a transfer never sees later changes).
#pragma once

#include "upgrade/http/vuTransferLimits.h"
#include "upgrade/utils/vuHTTPSettings.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace vu {

struct TvuTransferSettings {
    QByteArray URL;
    QByteArray UserAgent = "vuHTTP component (velmora.invalid)";
    QByteArray AcceptTypes = "text/html, */*";
    QByteArrayList ExtraHeaders; // extra request header lines
    QString OutputFile;          // empty: the body goes into memory
    bool HideOutputFile = false;
    bool ResumeOutput = false;
    TvuHTTPRange Range;
    TvuHTTPTimeouts Timeouts;
    TvuTransferLimits Limits;
    TvuBufferSize TransferBufferSize = 4096;
    TvuHTTPProxy Proxy;
    bool CacheAllowed = true;
    QString CertificateAuthorityFile; // empty: the system's certificates
    QByteArray ProxyUsername;
    QByteArray ProxyPassword;
};

} // namespace vu
