#pragma once

#include <QString>

#include <functional>
#include <stdexcept>
#include <string>

// Errors that escape a handler of the main window and the box that shows them.
namespace velmora {

// An error raised by a window handler; its message is UTF-8 text shown to the user.
class UiError : public std::runtime_error {
public:
    explicit UiError(const QString& message);
    QString message() const;
};

// The text of the unhandled-error box: the message, with a full stop appended when its last
// character sorts after "." (so "...", "!" and ")" endings get none).
QString errorBoxText(const QString& message);

// Shows the unhandled-error box (stop icon, the application's name as caption, OK only).
void showUnhandledError(const QString& message);

// Runs `handler`; an exception escaping it is shown in the unhandled-error box and swallowed, so
// the program goes on with the window as it was.
void runGuarded(const std::function<void()>& handler);

} // namespace velmora
