#pragma once

#include "startup_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

// Ends the application's event loop once the window has been painted for the first time, so a
// start-up can be measured from process start to a window on the screen and back out. Before
// quitting it records what the probe's environment variables ask for (see startup_probe.h).
class QuitWhenShown : public QObject {
public:
    explicit QuitWhenShown(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !quitting_) {
            quitting_ = true;
            // After this paint has been done and flushed.
            QTimer::singleShot(0, QCoreApplication::instance(), [this] {
                recordStartupProbes(window_);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& window_;
    bool quitting_ = false;
};
