// Language detection from the locale, the mapping onto the message blocks, and the rule of the
// upgrader's Language setting.
#include "language/vuUpdaterLanguage.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace vu;

namespace {

// Sets the locale variables and the language list for one test and puts the old values back
// afterwards.
class LocaleEnvironment {
public:
    LocaleEnvironment(const char* lcAll, const char* lcMessages, const char* lang,
                      const char* language = nullptr) {
        Set("LC_ALL", lcAll);
        Set("LC_MESSAGES", lcMessages);
        Set("LANG", lang);
        Set("LANGUAGE", language);
    }
    ~LocaleEnvironment() {
        for (const Saved& s : FSaved) {
            if (s.present)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }

private:
    struct Saved {
        const char* name;
        bool present;
        std::string value;
    };
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        FSaved.push_back({name, old != nullptr, old != nullptr ? old : ""});
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    std::vector<Saved> FSaved;
};

TvuUpdaterLanguage ForLocale(const char* name) {
    return LanguageFromLangId(LangIdFromLocaleName(QString::fromLatin1(name)));
}

} // namespace

TEST(Language, LocaleNamesGiveWindowsIdentifiers) {
    EXPECT_EQ(LangIdFromLocaleName("zh_TW.UTF-8").Value(), 0x0404);
    EXPECT_EQ(LangIdFromLocaleName("zh_CN.GB18030").Value(), 0x0804);
    EXPECT_EQ(LangIdFromLocaleName("zh_HK.Big5-HKSCS").Value(), 0x0C04);
    EXPECT_EQ(LangIdFromLocaleName("zh_SG").Value(), 0x1004);
    EXPECT_EQ(LangIdFromLocaleName("zh_MO").Value(), 0x1404);
    // Without a territory the script decides; a territory goes first.
    EXPECT_EQ(LangIdFromLocaleName("zh_Hans").Value(), 0x0804);
    EXPECT_EQ(LangIdFromLocaleName("zh_Hant_CN").Value(), 0x0804);
    EXPECT_EQ(LangIdFromLocaleName("pt_BR.UTF-8").Value(), 0x0416);
    EXPECT_EQ(LangIdFromLocaleName("pt_PT@euro").Value(), 0x0816);
    EXPECT_EQ(LangIdFromLocaleName("ja_JP.UTF-8").Primary, 0x11);
    EXPECT_EQ(LangIdFromLocaleName("de-AT").Primary, 0x07);
    EXPECT_EQ(LangIdFromLocaleName("C").Primary, 0x09);
    EXPECT_EQ(LangIdFromLocaleName("POSIX").Primary, 0x09);
    EXPECT_EQ(LangIdFromLocaleName("xx_YY").Primary, 0);
    // A language without a country is neutral.
    EXPECT_EQ(LangIdFromLocaleName("zh").Value(), 0x0004);
    EXPECT_EQ(LangIdFromLocaleName("pt.UTF-8").Value(), 0x0016);
    EXPECT_EQ(TvuLangId::FromValue(0x0804).Sublanguage, 2);
    EXPECT_EQ(TvuLangId::FromValue(0x0804).Primary, 4);
}

TEST(Language, SystemLanguagesPickTheirBlocks) {
    EXPECT_EQ(ForLocale("zh_TW.UTF-8"), wlChineseTraditional);
    EXPECT_EQ(ForLocale("zh_HK.UTF-8"), wlChineseTraditional);
    EXPECT_EQ(ForLocale("zh_MO"), wlChineseTraditional);
    EXPECT_EQ(ForLocale("zh_Hant"), wlChineseTraditional);
    EXPECT_EQ(ForLocale("zh_CN.UTF-8"), wlChineseSimplified);
    EXPECT_EQ(ForLocale("zh_Hans"), wlChineseSimplified);
    // Plain "zh" and "pt" take the blocks of the neutral sublanguage.
    EXPECT_EQ(ForLocale("zh"), wlChineseTraditional);
    EXPECT_EQ(ForLocale("pt"), wlPortuguese);
    EXPECT_EQ(ForLocale("zh_SG.GBK"), wlChineseSimplified);
    EXPECT_EQ(ForLocale("pt_BR.UTF-8"), wlPortugueseBrazilian);
    EXPECT_EQ(ForLocale("pt_PT.UTF-8"), wlPortuguese);
    EXPECT_EQ(ForLocale("pt_AO"), wlPortuguese);
    EXPECT_EQ(ForLocale("ja_JP.UTF-8"), wlEnglish);
    EXPECT_EQ(ForLocale("C.UTF-8"), wlEnglish);
    EXPECT_EQ(ForLocale("ru_RU.KOI8-R"), wlRussian);
    EXPECT_EQ(ForLocale("uk_UA"), wlUkrainian);
    EXPECT_EQ(ForLocale("ca_ES@valencia"), wlCatalan);
    EXPECT_EQ(ForLocale("eu_ES"), wlBasque);
    EXPECT_EQ(ForLocale("ms_MY"), wlMalay);
    EXPECT_EQ(ForLocale("tr_TR"), wlTurkish);
    // Other Chinese sublanguages (and neutral) take the Traditional block.
    EXPECT_EQ(LanguageFromLangId({0x04, 0}), wlChineseTraditional);
    EXPECT_EQ(LanguageFromLangId({0x16, 0}), wlPortuguese);
}

TEST(Language, DetectionReadsTheLocaleVariablesInOrder) {
    const quint16 saved = MessageBase;
    {
        LocaleEnvironment env("zh_TW.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8");
        EXPECT_EQ(DetectLanguage(), wlChineseTraditional);
        EXPECT_EQ(MessageBase, 42050);
        EXPECT_EQ(LoadMessageText(vmCaption), QStringLiteral("軟體升級精靈"));
    }
    {
        LocaleEnvironment env(nullptr, "zh_CN.UTF-8", "fr_FR.UTF-8");
        EXPECT_EQ(DetectLanguage(), wlChineseSimplified);
        EXPECT_EQ(LoadMessageText(vmCaption), QStringLiteral("软件升级精灵"));
    }
    {
        LocaleEnvironment env("", "", "pt_BR.UTF-8"); // empty counts as unset
        EXPECT_EQ(DetectLanguage(), wlPortugueseBrazilian);
        EXPECT_EQ(MessageBase, 41300);
    }
    {
        LocaleEnvironment env(nullptr, nullptr, "ja_JP.UTF-8");
        EXPECT_EQ(DetectLanguage(), wlEnglish);
        EXPECT_EQ(LoadMessageText(vmCaption), QStringLiteral("Application update wizard"));
    }
    MessageBase = saved;
}

TEST(Language, LanguageListComesBeforeTheLocale) {
    const quint16 saved = MessageBase;
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* language;
        TvuUpdaterLanguage expected;
    };
    const Case cases[] = {
        {nullptr, "en_US.UTF-8", "de:fr", wlGerman},
        {"de_DE.UTF-8", "en_US.UTF-8", "fr", wlFrench}, // before LC_ALL too
        {nullptr, "en_US.UTF-8", "ja:fr_CA", wlFrench}, // no block for Japanese: the next one
        {nullptr, "de_DE.UTF-8", "ja", wlEnglish},      // none with a block: English
        {nullptr, "de_DE.UTF-8", "en:de", wlEnglish},   // English named first
        {nullptr, "de_DE.UTF-8", "", wlGerman},         // empty list: the locale
        {nullptr, "de_DE.UTF-8", ":::", wlGerman},      // a list of nothing: the locale
        {nullptr, "en_US.UTF-8", "zh", wlChineseTraditional},
        {nullptr, "en_US.UTF-8", "zh_CN:zh", wlChineseSimplified},
        {nullptr, "en_US.UTF-8", "pt", wlPortuguese},
        {nullptr, "en_US.UTF-8", "pt_BR:pt", wlPortugueseBrazilian},
        // The plain C locale ignores the list, C.UTF-8 does not.
        {"C", "de_DE.UTF-8", "de", wlEnglish},
        {nullptr, "POSIX", "de", wlEnglish},
        {nullptr, "C.UTF-8", "de", wlGerman},
    };
    for (const Case& c : cases) {
        LocaleEnvironment env(c.lcAll, nullptr, c.lang, c.language);
        EXPECT_EQ(DetectLanguage(), c.expected) << "LC_ALL=" << (c.lcAll ? c.lcAll : "")
                                                << " LANG=" << c.lang << " LANGUAGE=" << c.language;
        EXPECT_EQ(MessageBase, MessageBlockStart(c.expected));
    }
    MessageBase = saved;
}

TEST(Language, QtLocaleNamesOfTheBlocks) {
    EXPECT_EQ(QtLocaleName(wlChineseTraditional), QStringLiteral("zh_TW"));
    EXPECT_EQ(QtLocaleName(wlChineseSimplified), QStringLiteral("zh_CN"));
    EXPECT_EQ(QtLocaleName(wlPortuguese), QStringLiteral("pt_PT"));
    EXPECT_EQ(QtLocaleName(wlPortugueseBrazilian), QStringLiteral("pt_BR"));
    EXPECT_EQ(QtLocaleName(wlBasque), QStringLiteral("eu"));
    EXPECT_TRUE(QtLocaleName(wlAuto).isEmpty());
    // Every block's name maps back onto the same block.
    for (int l = vuFirstLanguage; l <= vuLastLanguage; ++l) {
        const auto language = TvuUpdaterLanguage(l);
        EXPECT_EQ(LanguageFromLangId(LangIdFromLocaleName(QtLocaleName(language))), language)
            << LanguageName(language).toStdString();
    }
}

TEST(Language, SetterRule) {
    const quint16 saved = MessageBase;
    LocaleEnvironment env("zh_TW.UTF-8", nullptr, nullptr);
    TvuUpdaterLanguage current = wlAuto;

    ApplyUpdaterLanguage(current, wlRussian);
    EXPECT_EQ(current, wlRussian);
    EXPECT_EQ(MessageBase, 41050);

    // The same value again does nothing, even when another upgrader moved MessageBase.
    MessageBase = 41000;
    ApplyUpdaterLanguage(current, wlRussian);
    EXPECT_EQ(MessageBase, 41000);

    // Back to automatic: the system's language is detected again.
    ApplyUpdaterLanguage(current, wlAuto);
    EXPECT_EQ(current, wlAuto);
    EXPECT_EQ(MessageBase, 42050);

    // A value outside the enumeration (a damaged stored setting) is ignored.
    ApplyUpdaterLanguage(current, TvuUpdaterLanguage(28));
    EXPECT_EQ(current, wlAuto);
    EXPECT_EQ(MessageBase, 42050);

    ApplyUpdaterLanguage(current, wlTurkish);
    EXPECT_EQ(MessageBase, 42300);
    MessageBase = saved;
}
