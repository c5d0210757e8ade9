#pragma once

#include <QValidator>

#include <functional>

// The rule of the character input: at most a given number of Big5 bytes, and only characters
// that have a Big5 form. Text that breaks the rule is refused as a whole (typed or pasted),
// never shortened or replaced.
namespace velmora {

class Big5InputValidator : public QValidator {
    Q_OBJECT
public:
    explicit Big5InputValidator(int maxBytes, QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;

    // Why `text` is refused, or an empty text when it is accepted.
    QString refusalReason(const QString& text) const;

    // Called with the reason each time an input is refused.
    std::function<void(const QString&)> onRefused;

private:
    int maxBytes_;
};

} // namespace velmora
