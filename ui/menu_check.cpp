#include "ui/menu_check.h"

#include <QUrl>

namespace velmora {

bool namesInformationFile(const QByteArray& url) {
    const QUrl address = QUrl::fromEncoded(url.trimmed());
    return !address.host().isEmpty() || !address.path().isEmpty();
}

vu::TvuUpdaterShowMessages menuCheckMessages(const QByteArray& url,
                                             vu::TvuUpdaterShowMessages stored) {
    if (!namesInformationFile(url))
        return stored;
    return stored | vu::mHostUnreachable | vu::mNoInfoFile | vu::mNoUpdateAvailable;
}

} // namespace velmora
