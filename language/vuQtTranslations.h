#pragma once
// Qt's own translations (standard buttons, file and message dialogs) in the language of the
// upgrade messages, so that every dialog of the program speaks one language.

#include "language/vuUpdaterLanguage.h"

#include <QString>

namespace vu {

// Folder of Qt's translation catalogues as Qt was installed.
QString QtTranslationsFolder();

// Installs Qt's translations of `language` from `folder` into the running application, in
// place of any installed by an earlier call. English needs none; false when no catalogue of the
// language is found (Qt's texts then stay English).
bool InstallQtTranslations(TvuUpdaterLanguage language, const QString& folder);
bool InstallQtTranslations(TvuUpdaterLanguage language);

} // namespace vu
