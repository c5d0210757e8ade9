#include "vuReplacerImage.h"

#include <QtGlobal>

static bool RegisterReplacerImage() {
    Q_INIT_RESOURCE(vuupd);
    return true;
}

QString vuReplacerImageResourcePath() {
    static const bool registered = RegisterReplacerImage();
    Q_UNUSED(registered);
    return QStringLiteral(":/") + QLatin1String(kReplacerResourceType) + QLatin1Char('/') +
           QLatin1String(kReplacerResourceName);
}
