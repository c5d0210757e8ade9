#include "language/vuQtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

namespace vu {

namespace {

// The translator installed last; owned by the application object.
QPointer<QTranslator> gInstalled;

} // namespace

QString QtTranslationsFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallQtTranslations(TvuUpdaterLanguage language, const QString& folder) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (gInstalled) {
        QCoreApplication::removeTranslator(gInstalled);
        delete gInstalled;
    }
    const QString name = QtLocaleName(language);
    if (name.isEmpty() || language == wlEnglish)
        return false;
    // The program uses Qt's base module alone. Qt has no European Portuguese catalogue of it;
    // the Brazilian one is the nearest.
    QStringList candidates{name};
    if (language == wlPortuguese)
        candidates << QStringLiteral("pt_BR");
    auto* translator = new QTranslator(app);
    for (const QString& candidate : candidates) {
        if (translator->load(QLocale(candidate), QStringLiteral("qtbase"), QStringLiteral("_"),
                             folder) &&
            QCoreApplication::installTranslator(translator)) {
            gInstalled = translator;
            return true;
        }
    }
    delete translator;
    return false;
}

bool InstallQtTranslations(TvuUpdaterLanguage language) {
    return InstallQtTranslations(language, QtTranslationsFolder());
}

} // namespace vu
