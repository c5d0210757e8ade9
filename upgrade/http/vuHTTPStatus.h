// Status notifications of an HTTP transfer: the codes a transfer reports while it resolves,
// connects, sends, receives, follows a redirect and closes, and their texts.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vu {

enum TvuHTTPStatusCode : quint32 {
    vuStatusResolvingName = 10,
    vuStatusNameResolved = 11,
    vuStatusConnectingToServer = 20,
    vuStatusConnected = 21,
    vuStatusSendingRequest = 30,
    vuStatusRequestSent = 31,
    vuStatusReceivingResponse = 40,
    vuStatusResponseReceived = 41,
    vuStatusCtlResponseReceived = 42,
    vuStatusPrefetch = 43,
    vuStatusClosingConnection = 50,
    vuStatusConnectionClosed = 51,
    vuStatusHandleCreated = 60,
    vuStatusHandleClosing = 70,
    vuStatusRequestComplete = 100,
    vuStatusRedirect = 110,
    vuStatusIntermediateResponse = 120,
    vuStatusStateChange = 200,
};

// The text of a status code ("Resolving name", ...); "Unknown status" for any other code.
QByteArray HTTPStatusText(quint32 code);

} // namespace vu
