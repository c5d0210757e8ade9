#include "ui/window_app.h"

#include <QApplication>
#include <QWidget>

namespace velmora {

int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    return app.exec();
}

} // namespace velmora
