// Starts the program's window as the program does, and quits once it has been shown: the
// session bus test runs it with and without a bus address.
#include "ui/window_app.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    return velmora::runWindow(argc, argv, [](QWidget&) {
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });
}
