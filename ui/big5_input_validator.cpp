#include "ui/big5_input_validator.h"

#include "big5/big5.h"

namespace velmora {

Big5InputValidator::Big5InputValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QString Big5InputValidator::refusalReason(const QString& text) const {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!toBig5(character))
            return QStringLiteral("「%1」沒有 Big5 編碼，無法輸入").arg(character);
        i += length;
    }
    const std::optional<QByteArray> bytes = toBig5(text);
    if (bytes && bytes->size() > maxBytes_)
        return QStringLiteral("最多只能輸入 %1 個位元組：一個中文字或兩個半形字元").arg(maxBytes_);
    return {};
}

QValidator::State Big5InputValidator::validate(QString& input, int& /*pos*/) const {
    const QString reason = refusalReason(input);
    if (reason.isEmpty())
        return Acceptable;
    if (onRefused)
        onRefused(reason);
    return Invalid;
}

} // namespace velmora
