#pragma once
// What a check asked for from the menu tells the user. The window's component keeps its stored
// message set, which leaves a failed check and "no newer version" silent. That silence suits only
// the placeholder address "http://", which names no server: a build that names a real
// information file answers every check from the menu, in the user's language.

#include "upgrade/updater/vuUpdaterTypes.h"

#include <QByteArray>

namespace velmora {

// Whether `url` names an information file (a server or a path), rather than being the bare
// scheme prefix.
bool namesInformationFile(const QByteArray& url);

// The message set for a check from the menu: `stored`, plus "host unreachable", "information file
// missing" and "no newer version" when `url` names an information file.
vu::TvuUpdaterShowMessages menuCheckMessages(const QByteArray& url,
                                             vu::TvuUpdaterShowMessages stored);

} // namespace velmora
