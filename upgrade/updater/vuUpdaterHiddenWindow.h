// The upgrade component's hidden window: the timer of the automatic check and the answer to the
// question whether the desktop session may end. Lives on the GUI thread with its component.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace vu {

class TvuUpdaterHiddenWindow : public QObject {
    Q_OBJECT
public:
    // `onTimer` runs on every timer message; an exception it throws is shown by the application's
    // standard error box and does not stop the program.
    explicit TvuUpdaterHiddenWindow(std::function<void()> onTimer, QObject* parent = nullptr);
    ~TvuUpdaterHiddenWindow() override;

    // Timer 1: started with an interval in milliseconds, repeating until killed.
    void SetTimer(int intervalMs);
    void KillTimer();
    bool TimerActive() const { return timer_.isActive(); }
    int TimerInterval() const { return timer_.interval(); }

    // The answer to the question "may the session end?" asked before the user logs off or the
    // machine shuts down: always agree. Returns true for "agree". Agreeing leaves the session
    // manager alone (only refusing would answer it), so nothing listens to it.
    bool QueryEndSession();

private:
    void TimerMessage();

    QTimer timer_;
    std::function<void()> onTimer_;
};

} // namespace vu
