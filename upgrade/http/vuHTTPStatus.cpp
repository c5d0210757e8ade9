#include "upgrade/http/vuHTTPStatus.h"

namespace vu {

QByteArray HTTPStatusText(quint32 code) {
    switch (code) {
    case vuStatusResolvingName:
        return "Resolving name";
    case vuStatusNameResolved:
        return "Name resolved";
    case vuStatusConnectingToServer:
        return "Connecting to server";
    case vuStatusConnected:
        return "Connected";
    case vuStatusSendingRequest:
        return "Sending Request";
    case vuStatusRequestSent:
        return "Request sent";
    case vuStatusReceivingResponse:
        return "Receiving response";
    case vuStatusResponseReceived:
        return "Response received";
    case vuStatusCtlResponseReceived:
        return "CTL Response received";
    case vuStatusPrefetch:
        return "Prefetch";
    case vuStatusClosingConnection:
        return "Closing connection";
    case vuStatusConnectionClosed:
        return "Connection closed";
    case vuStatusHandleCreated:
        return "Handle created";
    case vuStatusHandleClosing:
        return "Handle closing";
    case vuStatusRequestComplete:
        return "Request complete";
    case vuStatusRedirect:
        return "Redirect";
    case vuStatusIntermediateResponse:
        return "Intermediate response";
    case vuStatusStateChange:
        return "State change";
    default:
        return "Unknown status";
    }
}

} // namespace vu
