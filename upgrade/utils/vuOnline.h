// Whether the machine looks connected to a network.
#pragma once

// True when the machine looks connected. Linux keeps no dial-up state, so this is
// HasNetworkAddress().
bool IsOnline();
// Resolves the host's own name (IPv4) and keeps the last address of the list as text; true when
// that text is neither empty nor "127.0.0.1".
bool HasNetworkAddress();
