#include "upgrade/utils/vuApplicationState.h"

#include <QCoreApplication>

#include <atomic>

namespace vu {

namespace {

std::atomic<bool> g_closeRequested{false};
std::atomic<TvuMainWindowProbe> g_mainWindowProbe{nullptr};

} // namespace

void SetApplicationCloseRequested() {
    g_closeRequested.store(true);
}

bool ApplicationCloseRequested() {
    return g_closeRequested.load();
}

bool ApplicationTerminating() {
    return g_closeRequested.load() || !QCoreApplication::instance() ||
           QCoreApplication::closingDown();
}

bool ApplicationHasMainWindow() {
    const TvuMainWindowProbe probe = g_mainWindowProbe.load();
    return probe && probe();
}

void SetMainWindowProbe(TvuMainWindowProbe probe) {
    g_mainWindowProbe.store(probe);
}

} // namespace vu
