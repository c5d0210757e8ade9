#include "ui/error_box.h"

#include "ui/dialog_seam.h"

#include <QApplication>

namespace velmora {

UiError::UiError(const QString& message) : std::runtime_error(message.toStdString()) {}

QString UiError::message() const {
    return QString::fromUtf8(what());
}

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showUnhandledError(const QString& message) {
    MessageBoxRequest request;
    request.caption = QCoreApplication::applicationName();
    request.text = errorBoxText(message);
    request.icon = QMessageBox::Critical;
    request.buttons = QMessageBox::Ok;
    dialogs().showMessage(QApplication::activeWindow(), request);
}

void runGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        showUnhandledError(QString::fromUtf8(error.what()));
    } catch (...) {
        showUnhandledError(QStringLiteral("Unknown error"));
    }
}

} // namespace velmora
