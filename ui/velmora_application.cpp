#include "ui/velmora_application.h"

#include "ui/artwork.h"
#include "ui/error_box.h"
#include "ui/ui_fonts.h"

#include <QIcon>
#include <QPixmap>

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Velmora"));
    setDesktopFileName(QStringLiteral("velmora"));
    setWindowIcon(QIcon(QPixmap::fromImage(windowIconImage())));
    // Message boxes and dialogs use the window's font, so Chinese texts show everywhere.
    setFont(windowFont());
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace velmora
