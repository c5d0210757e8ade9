// Closing the application, and which of its windows is the main window. This unit links Qt
// Widgets; the rest of the utility routines need Qt Core only.
#pragma once

class QWidget;

namespace vu {

// Closes the application's main window when there is one, then asks the application to quit.
void CloseApplication();
// The main window: the one named by SetApplicationMainWindow while it exists, otherwise the first
// top-level QMainWindow; null when there is none. A named window counts until its QObject part is
// gone, so it is still the main window while its children are being destroyed.
QWidget* ApplicationMainWindow();
// Names the application's main window (any top-level widget); nullptr forgets it.
void SetApplicationMainWindow(QWidget* window);

} // namespace vu
