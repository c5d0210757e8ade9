#include "ui/velmora_application.h"

#include "language/vuQtTranslations.h"
#include "ui/artwork.h"
#include "ui/error_box.h"
#include "ui/group_box_frame.h"
#include "ui/ui_fonts.h"

#include <QIcon>

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Velmora"));
    // The desktop entry's name, which Wayland compositors match the window to.
    setDesktopFileName(QString::fromLatin1(VELMORA_APP_ID));
    setWindowIcon(applicationIcon());
    // Message boxes and dialogs use the window's font, so Chinese texts show everywhere.
    setFont(windowFont());
    // The group boxes' frame picture, read without loading every image plugin.
    preloadGroupBoxFrame();
    // Standard buttons and dialogs in the user's language, the one the upgrade messages use.
    vu::InstallQtTranslations(vu::SystemLanguage());
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace velmora
