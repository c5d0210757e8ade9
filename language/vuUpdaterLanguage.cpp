#include "language/vuUpdaterLanguage.h"

#include <QLocale>
#include <QStringList>

#include <cstdlib>

namespace vu {

quint16 MessageBase = 0;

namespace {

constexpr quint16 kFirstBlock = 41000;
constexpr quint16 kBlockStride = 50;

// Windows primary language identifiers.
constexpr quint16 LANG_CHINESE = 0x04;
constexpr quint16 LANG_ENGLISH = 0x09;
constexpr quint16 LANG_PORTUGUESE = 0x16;

constexpr quint16 SUBLANG_NEUTRAL = 0x00;
constexpr quint16 SUBLANG_DEFAULT = 0x01;
constexpr quint16 SUBLANG_PORTUGUESE_BRAZILIAN = 0x01;
constexpr quint16 SUBLANG_PORTUGUESE = 0x02;
constexpr quint16 SUBLANG_CHINESE_TRADITIONAL = 0x01; // Taiwan
constexpr quint16 SUBLANG_CHINESE_SIMPLIFIED = 0x02;  // People's Republic
constexpr quint16 SUBLANG_CHINESE_HONGKONG = 0x03;
constexpr quint16 SUBLANG_CHINESE_SINGAPORE = 0x04;
constexpr quint16 SUBLANG_CHINESE_MACAU = 0x05;

struct LanguageRow {
    const char* name;
    quint16 primary;    // used for detection
    const char* locale; // name of Qt's translations
};

// Indexed by TvuUpdaterLanguage; row 0 is wlAuto.
constexpr LanguageRow kLanguages[] = {
    {"", 0, ""},
    {"English", 0x09, "en"},
    {"Russian", 0x19, "ru"},
    {"German", 0x07, "de"},
    {"French", 0x0C, "fr"},
    {"Spanish", 0x0A, "es"},
    {"Portuguese", 0x16, "pt_PT"},
    {"PortugueseBrazilian", 0x16, "pt_BR"},
    {"Italian", 0x10, "it"},
    {"Dutch", 0x13, "nl"},
    {"Danish", 0x06, "da"},
    {"Swedish", 0x1D, "sv"},
    {"Finnish", 0x0B, "fi"},
    {"Estonian", 0x25, "et"},
    {"Ukrainian", 0x22, "uk"},
    {"Polish", 0x15, "pl"},
    {"Czech", 0x05, "cs"},
    {"Hungarian", 0x0E, "hu"},
    {"Romanian", 0x18, "ro"},
    {"Catalan", 0x03, "ca"},
    {"Basque", 0x2D, "eu"},
    {"Afrikaans", 0x36, "af"},
    {"ChineseTraditional", 0x04, "zh_TW"},
    {"ChineseSimplified", 0x04, "zh_CN"},
    {"Indonesian", 0x21, "id"},
    {"Malay", 0x3E, "ms"},
    {"Icelandic", 0x0F, "is"},
    {"Turkish", 0x1F, "tr"},
};
static_assert(std::size(kLanguages) == vuLanguageCount + 1);

// A code of a locale name and the identifier it stands for (never 0).
struct CodeRow {
    const char* code;
    quint16 value;
};

// ISO 639 language codes and the Windows primary language identifier of each. Languages that
// have no message block are listed too, so that the identifier is genuine; they end in English.
constexpr CodeRow kIsoCodes[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"iw", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11},
    {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15},
    {"pt", 0x16}, {"rm", 0x17}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A},
    {"bs", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
    {"ur", 0x20}, {"id", 0x21}, {"in", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24},
    {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2A}, {"hy", 0x2B},
    {"az", 0x2C}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36}, {"ka", 0x37}, {"fo", 0x38},
    {"hi", 0x39}, {"ms", 0x3E}, {"kk", 0x3F}, {"sw", 0x41}, {"gl", 0x56},
};

// Chinese sublanguages by territory, else by script.
constexpr CodeRow kChineseTerritories[] = {
    {"TW", SUBLANG_CHINESE_TRADITIONAL}, {"CN", SUBLANG_CHINESE_SIMPLIFIED},
    {"HK", SUBLANG_CHINESE_HONGKONG},    {"SG", SUBLANG_CHINESE_SINGAPORE},
    {"MO", SUBLANG_CHINESE_MACAU},
};
constexpr CodeRow kChineseScripts[] = {
    {"hant", SUBLANG_CHINESE_TRADITIONAL},
    {"hans", SUBLANG_CHINESE_SIMPLIFIED},
};

// The identifier `code` stands for in `rows`; 0 when it is not listed.
template <std::size_t N> quint16 ValueOfCode(const CodeRow (&rows)[N], const QString& code) {
    for (const CodeRow& row : rows) {
        if (code == QLatin1String(row.code))
            return row.value;
    }
    return 0;
}

quint16 ChineseSublanguage(const QString& territory, const QString& script) {
    if (const quint16 sublanguage = ValueOfCode(kChineseTerritories, territory))
        return sublanguage;
    if (const quint16 sublanguage = ValueOfCode(kChineseScripts, script))
        return sublanguage;
    // "zh" alone: the neutral sublanguage, which takes the Traditional block.
    return SUBLANG_NEUTRAL;
}

} // namespace

quint16 MessageBlockStart(TvuUpdaterLanguage language) {
    if (language < vuFirstLanguage || language > vuLastLanguage)
        return 0;
    return quint16(kFirstBlock + (language - 1) * kBlockStride);
}

QString LanguageName(TvuUpdaterLanguage language) {
    if (!IsValidLanguage(language))
        return {};
    return QString::fromLatin1(kLanguages[language].name);
}

bool IsValidLanguage(int value) {
    return value >= wlAuto && value <= vuLastLanguage;
}

TvuLangId LangIdFromLocaleName(const QString& localeName) {
    // language[_territory][.codeset][@modifier]; "-" is accepted in place of "_", and a
    // four-letter script part (zh_Hant_TW) is recognised.
    QString name = localeName.trimmed();
    name = name.section(u'@', 0, 0).section(u'.', 0, 0);
    name.replace(u'-', u'_');
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return {LANG_ENGLISH, SUBLANG_DEFAULT};

    const QStringList parts = name.split(u'_', Qt::SkipEmptyParts);
    const QString language = parts.value(0).toLower();
    QString territory;
    QString script;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].size() == 4)
            script = parts[i].toLower();
        else if (territory.isEmpty())
            territory = parts[i].toUpper();
    }

    const quint16 primary = ValueOfCode(kIsoCodes, language);
    if (primary == 0)
        return {0, 0};
    if (primary == LANG_CHINESE)
        return {primary, ChineseSublanguage(territory, script)};
    if (primary == LANG_PORTUGUESE) {
        // "pt" alone is neutral, which takes the European block.
        if (territory.isEmpty())
            return {primary, SUBLANG_NEUTRAL};
        return {primary, territory == u"BR" ? SUBLANG_PORTUGUESE_BRAZILIAN : SUBLANG_PORTUGUESE};
    }
    return {primary, SUBLANG_DEFAULT};
}

QString SystemLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return QString::fromLocal8Bit(value);
    }
    return QLocale::system().name();
}

QStringList PreferredLocaleNames() {
    const QString locale = SystemLocaleName();
    // As gettext does, the list is ignored in the plain "C" locale (not in "C.UTF-8"), whose
    // output must not depend on it.
    const char* list = std::getenv("LANGUAGE");
    if (list != nullptr && *list != '\0' && locale != u"C" && locale != u"POSIX") {
        const QStringList entries = QString::fromLocal8Bit(list).split(u':', Qt::SkipEmptyParts);
        if (!entries.isEmpty())
            return entries;
    }
    return {locale};
}

TvuLangId SystemDefaultLangId() {
    return LangIdFromLocaleName(PreferredLocaleNames().constFirst());
}

TvuUpdaterLanguage LanguageFromLangId(TvuLangId id) {
    if (id.Primary == LANG_PORTUGUESE)
        return id.Sublanguage == SUBLANG_PORTUGUESE_BRAZILIAN ? wlPortugueseBrazilian
                                                              : wlPortuguese;
    if (id.Primary == LANG_CHINESE) {
        // Singapore writes simplified characters, like the mainland.
        const bool simplified = id.Sublanguage == SUBLANG_CHINESE_SIMPLIFIED ||
                                id.Sublanguage == SUBLANG_CHINESE_SINGAPORE;
        return simplified ? wlChineseSimplified : wlChineseTraditional;
    }
    for (int language = vuFirstLanguage; language <= vuLastLanguage; ++language) {
        if (kLanguages[language].primary == id.Primary)
            return TvuUpdaterLanguage(language);
    }
    return wlEnglish;
}

TvuUpdaterLanguage SystemLanguage() {
    // Languages without a block are passed over for the next one the user named; English is
    // the last resort, as for a program that has no catalogue in any of them.
    for (const QString& name : PreferredLocaleNames()) {
        const TvuLangId id = LangIdFromLocaleName(name);
        if (id.Primary == LANG_ENGLISH || LanguageFromLangId(id) != wlEnglish)
            return LanguageFromLangId(id);
    }
    return wlEnglish;
}

TvuUpdaterLanguage DetectLanguage() {
    const TvuUpdaterLanguage language = SystemLanguage();
    MessageBase = MessageBlockStart(language);
    return language;
}

QString QtLocaleName(TvuUpdaterLanguage language) {
    if (!IsValidLanguage(language))
        return {};
    return QString::fromLatin1(kLanguages[language].locale);
}

void ApplyUpdaterLanguage(TvuUpdaterLanguage& current, TvuUpdaterLanguage value) {
    if (value == current || !IsValidLanguage(value))
        return;
    current = value;
    if (value == wlAuto)
        DetectLanguage();
    else
        MessageBase = MessageBlockStart(value);
}

namespace {
// The start-up code of the upgrade messages: choose the block before any window exists.
[[maybe_unused]] const TvuUpdaterLanguage gStartupLanguage = DetectLanguage();
} // namespace

} // namespace vu
