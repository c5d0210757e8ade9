// Limits that hold for every transfer, so that no server can keep the transfer channel busy for
// ever. A transfer that crosses one ends like any broken transfer: as a lost connection once an
// answer came, as an unreachable server before.
#pragma once

#include <QtGlobal>

namespace vu {

struct TvuTransferLimits {
    // Milliseconds for resolving, connecting and the TLS handshake, when the stored connect
    // time-out is 0.
    quint32 ConnectLimit = 30000;
    // Milliseconds without a byte received once connected, when the stored receive and send
    // time-outs are 0.
    quint32 StallLimit = 60000;
    // Fewer than MinimumSpeed bytes a second on average over MinimumSpeedTime milliseconds
    // count as a stall (a drip that would otherwise never end). 0 turns the check off.
    quint32 MinimumSpeed = 100;
    quint32 MinimumSpeedTime = 60000;
    // Milliseconds for the whole transfer, however steady; crossing it ends the transfer like a
    // stall. 0 = no limit.
    quint32 TotalLimit = 0;
    // The most body bytes a transfer accepts; a longer body (or a longer announced length) ends
    // the transfer as an HTTP error of its status, with no data. 0 = no limit.
    quint64 MaxBodySize = 0;
};

} // namespace vu
