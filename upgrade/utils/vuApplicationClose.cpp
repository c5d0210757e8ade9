#include "upgrade/utils/vuApplicationClose.h"

#include "upgrade/utils/vuApplicationState.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>

namespace vu {

namespace {

QPointer<QWidget> g_mainWindow;

// Answers the Core-only layer's question (ApplicationHasMainWindow) for as long as this unit is
// part of the program; every program that names or closes a main window links it.
const bool g_probeInstalled = [] {
    SetMainWindowProbe([] { return ApplicationMainWindow() != nullptr; });
    return true;
}();

} // namespace

void SetApplicationMainWindow(QWidget* window) {
    g_mainWindow = window;
}

QWidget* ApplicationMainWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (g_mainWindow)
        return g_mainWindow.data();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget))
            return widget;
    }
    return nullptr;
}

void CloseApplication() {
    if (QWidget* main = ApplicationMainWindow())
        main->close();
    SetApplicationCloseRequested();
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace vu
