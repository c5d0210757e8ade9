#include "upgrade/replacer/image/vuReplacerImage.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's registration function where it is used, so it must be
// used at global scope: inside namespace vu it would name a function that does not exist.
static bool RegisterReplacerImage() {
    Q_INIT_RESOURCE(vuupd);
    return true;
}

namespace vu {

QString vuReplacerImageResourcePath() {
    static const bool registered = RegisterReplacerImage();
    Q_UNUSED(registered);
    return QStringLiteral(":/") + QLatin1String(kReplacerResourceType) + QLatin1Char('/') +
           QLatin1String(kReplacerResourceName);
}

} // namespace vu
