#include "upgrade/updater/vuUpdaterHiddenWindow.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <exception>

namespace vu {

TvuUpdaterHiddenWindow::TvuUpdaterHiddenWindow(std::function<void()> onTimer, QObject* parent)
    : QObject(parent), onTimer_(std::move(onTimer)) {
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, &TvuUpdaterHiddenWindow::TimerMessage);
#ifndef QT_NO_SESSIONMANAGER
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this,
                &TvuUpdaterHiddenWindow::CommitDataRequest, Qt::DirectConnection);
#endif
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

void TvuUpdaterHiddenWindow::CommitDataRequest(QSessionManager& manager) {
    // Agreeing means leaving the shutdown alone: only cancel() would refuse it.
    if (!QueryEndSession())
        manager.cancel();
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
