#include "upgrade/updater/vuUpdaterHiddenWindow.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <exception>

namespace vu {

TvuUpdaterHiddenWindow::TvuUpdaterHiddenWindow(std::function<void()> onTimer, QObject* parent)
    : QObject(parent), onTimer_(std::move(onTimer)) {
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, &TvuUpdaterHiddenWindow::TimerMessage);
}

TvuUpdaterHiddenWindow::~TvuUpdaterHiddenWindow() {
    timer_.stop();
}

void TvuUpdaterHiddenWindow::SetTimer(int intervalMs) {
    timer_.start(intervalMs);
}

void TvuUpdaterHiddenWindow::KillTimer() {
    timer_.stop();
}

bool TvuUpdaterHiddenWindow::QueryEndSession() {
    return true;
}

void TvuUpdaterHiddenWindow::TimerMessage() {
    if (!onTimer_)
        return;
    try {
        onTimer_();
    } catch (const std::exception& e) {
        vuMessageBox(QString::fromLocal8Bit(e.what()), ApplicationTitle(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        vuMessageBox(QStringLiteral("Unknown error"), ApplicationTitle(), MB_OK | MB_ICONSTOP);
    }
}

} // namespace vu
