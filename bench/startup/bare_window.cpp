// The anchor of the start-up benchmark: a bare Qt window of the main window's size, shown and
// closed again.
#include "quit_when_shown.h"
#include "ui/form_layout.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(velmora::kClientWidth, velmora::kClientHeight);
    new QuitWhenShown(window);
    window.show();
    return app.exec();
}
