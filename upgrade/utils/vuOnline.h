// Whether the machine looks connected to a network.
#pragma once

#include <QByteArray>

namespace vu {

// True when the machine looks connected. Linux keeps no dial-up state, so this is
// HasNetworkAddress().
bool IsOnline();
// Resolves the host's own name (IPv4 and IPv6) and keeps the last address of the list; true when
// that address is a network address (see IsNetworkAddress).
bool HasNetworkAddress();
// True for the text of an IPv4 or IPv6 address that is not a loopback address. Loopback is all of
// 127.0.0.0/8 (Debian names the host 127.0.1.1), ::1 and IPv4 loopback mapped into IPv6; empty
// text and text that is no address give false.
bool IsNetworkAddress(const QByteArray& address);

} // namespace vu
