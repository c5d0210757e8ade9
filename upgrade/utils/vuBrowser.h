// The desktop's browser and opening addresses in it.
#pragma once

#include <QString>

namespace vu {

// The program registered for files of an extension such as ".html": the desktop's default
// application for the extension's media type (mimeapps.list in the XDG configuration and data
// folders, then `xdg-mime query default`), the Exec line of that desktop entry, split with
// SplitCommandLine. Empty when none, for "" and for ".".
QString GetAssociatedProgram(const QString& extension);

// Opens a URL ("http://" is put in front when it has no "://"): with useBrowser, in the program
// found by GetAssociatedProgram(".html") with the URL as its one argument; otherwise (or when
// none is found or it cannot start) through `xdg-open URL`. Processes get an argument vector,
// never a shell command line, and are started through the environment (env::StartProcess).
void OpenURL(const QString& url, bool useBrowser);

} // namespace vu
