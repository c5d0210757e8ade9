#pragma once
// Languages of the upgrade messages, detection of the system's language and the current
// message block.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vu {

// The value is the number of the message block; wlAuto means "detect from the system".
enum TvuUpdaterLanguage : quint8 {
    wlAuto,
    wlEnglish,
    wlRussian,
    wlGerman,
    wlFrench,
    wlSpanish,
    wlPortuguese,
    wlPortugueseBrazilian,
    wlItalian,
    wlDutch,
    wlDanish,
    wlSwedish,
    wlFinnish,
    wlEstonian,
    wlUkrainian,
    wlPolish,
    wlCzech,
    wlHungarian,
    wlRomanian,
    wlCatalan,
    wlBasque,
    wlAfrikaans,
    wlChineseTraditional,
    wlChineseSimplified,
    wlIndonesian,
    wlMalay,
    wlIcelandic,
    wlTurkish,
};

inline constexpr int vuFirstLanguage = wlEnglish;
inline constexpr int vuLastLanguage = wlTurkish;
inline constexpr int vuLanguageCount = vuLastLanguage; // 27 message blocks

// Start of the current message block (41000 + (L - 1) * 50); 0 until a language is chosen.
// Shared by every upgrader of the process: the last setting wins.
extern quint16 MessageBase;

// Identifier of the first message of block `language` (1 to 27); 0 for anything else.
quint16 MessageBlockStart(TvuUpdaterLanguage language);

// The enumeration name without its "wl" prefix ("English", "PortugueseBrazilian"), which is
// also the name of the language's message file; empty for wlAuto and invalid values.
QString LanguageName(TvuUpdaterLanguage language);

// True for wlAuto and the 27 languages.
bool IsValidLanguage(int value);

// A Windows language identifier: primary language in the low 10 bits, sublanguage above.
struct TvuLangId {
    quint16 Primary = 0;
    quint16 Sublanguage = 0;
    quint16 Value() const { return quint16(Primary | (Sublanguage << 10)); }
    static TvuLangId FromValue(quint16 id) { return {quint16(id % 1024), quint16(id / 1024)}; }
};

// Maps a POSIX locale name ("zh_TW.UTF-8", "pt_BR", "de_DE@euro", "C") onto the Windows
// language identifier of that language and country. Unknown languages give primary 0. A
// language without a country ("zh", "pt") gives the neutral sublanguage 0.
TvuLangId LangIdFromLocaleName(const QString& localeName);

// The locale of LC_ALL, else LC_MESSAGES, else LANG (the first one set and not empty), else
// Qt's system locale.
QString SystemLocaleName();

// The user's languages, most wanted first: the entries of LANGUAGE (a colon-separated list, as
// for gettext) when it is set and the locale is not "C" or "POSIX", else the locale alone.
QStringList PreferredLocaleNames();

// The language of the first entry of PreferredLocaleNames().
TvuLangId SystemDefaultLangId();

// The message language for a Windows language identifier (never wlAuto).
TvuUpdaterLanguage LanguageFromLangId(TvuLangId id);

// The message language of the user: the first preferred language that has a message block,
// English when none has. Sets nothing.
TvuUpdaterLanguage SystemLanguage();

// Picks the language from the system's default language, sets MessageBase to its block and
// returns it.
TvuUpdaterLanguage DetectLanguage();

// The locale name under which Qt's own translations of `language` are filed ("de", "zh_TW",
// "pt_PT"); empty for wlAuto and invalid values.
QString QtLocaleName(TvuUpdaterLanguage language);

// The rule of the upgrader's Language setting: nothing happens when `value` equals `current`
// (or is not a valid language); otherwise `current` := value, then wlAuto detects the system's
// language and any other value selects its block in MessageBase.
void ApplyUpdaterLanguage(TvuUpdaterLanguage& current, TvuUpdaterLanguage value);

} // namespace vu
