#include "Loader.h"
#include "TableTexts.h"
#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

// Reaches the private preference walk of the text service.
class TxtLoaderTestAccess
{
public:
    static LangIdTable_t fromPreferredList(CFPropertyListRef value) { return TxtLoader::langFromPreferredList(value); }
    static LangIdTable_t fromIdentifier(const juce::String& id) { return TxtLoader::langFromIdentifier(id); }
};

namespace
{
// The language the walk chooses from a preferred-language list as the preference service hands
// it out: strings; "#n" stands for the number n and nullptr for a null entry.
LangIdTable_t languageOf(const std::vector<const char*>& entries)
{
    std::vector<CFTypeRef> items;
    for (const char* e : entries)
    {
        const int number = e != nullptr && e[0] == '#' ? std::atoi(e + 1) : 0;
        items.push_back(e == nullptr  ? nullptr
                        : e[0] == '#' ? (CFTypeRef)CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number)
                                      : CFStringCreateWithCString(kCFAllocatorDefault, e, kCFStringEncodingUTF8));
    }
    // Callbacks null so that null entries can be held; the items are released here.
    CFArrayRef list = CFArrayCreate(kCFAllocatorDefault, items.data(), (CFIndex)items.size(), nullptr);
    const LangIdTable_t result = TxtLoaderTestAccess::fromPreferredList(list);
    CFRelease(list);
    for (CFTypeRef item : items)
        if (item != nullptr)
            CFRelease(item);
    return result;
}

// Values of LANGUAGE, LC_ALL, LC_MESSAGES and LANG, the variables the preference service reads;
// null unsets.
void setLocaleEnvironment(const std::array<const char*, 4>& values)
{
    const char* names[] = { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
    for (int i = 0; i < 4; ++i)
        (void)(values[i] != nullptr ? setenv(names[i], values[i], 1) : unsetenv(names[i]));
}

class TxtLoaderService : public ::testing::Test
{
protected:
    void SetUp() override { setLocaleEnvironment({}); }
    void TearDown() override { TxtLoader::releaseInstance(); }
};
} // namespace

// The first entry that begins with a language code wins; entries that name none (numbers, null
// entries, identifiers without an ASCII form) are passed over; English when none does.
TEST(PreferenceWalk, firstEntryNamingALanguageWins)
{
    const std::pair<std::vector<const char*>, LangIdTable_t> cases[] = {
        { { "fr_CA", "en" }, LANG_FR }, { { "xx", "de_DE" }, LANG_DE },          { { "sv_SE", "fi" }, LANG_EN },
        { { "#7", "it_IT" }, LANG_IT }, { { nullptr, "#1", "ru_RU" }, LANG_RU }, { { nullptr }, LANG_EN },
        { { "", "nl" }, LANG_NL },      { { "日本語", "ko" }, LANG_KO },         { {}, LANG_EN },
    };
    for (const auto& [entries, lang] : cases)
    {
        juce::StringArray names;
        for (const char* e : entries)
            names.add(e == nullptr ? "null" : juce::String::fromUTF8(e));
        EXPECT_EQ(languageOf(entries), lang) << names.joinIntoString(", ");
    }
    const auto notAList = CFStringCreateWithCString(kCFAllocatorDefault, "fr_FR", kCFStringEncodingUTF8);
    EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(notAList), LANG_EN) << "a value that is no list";
    CFRelease(notAList);
}

// Each code in any letter case, only as a whole prefix: the Chinese script must follow a hyphen,
// and an identifier shorter than a code matches nothing.
TEST(PreferenceWalk, codeMatchesOnlyAsAWholePrefixInAnyLetterCase)
{
    const std::pair<const char*, LangIdTable_t> cases[] = {
        { "EN_GB", LANG_EN },        { "fr_CA", LANG_FR },
        { "de", LANG_DE },           { "es-419", LANG_ES },
        { "it_IT", LANG_IT },        { "nl_BE", LANG_NL },
        { "RU", LANG_RU },           { "pt_BR", LANG_PT },
        { "zh-hans", LANG_ZH_HANS }, { "ZH-HANT_TW", LANG_ZH_HANT },
        { "ko_KR", LANG_KO },        { "ja", LANG_JA },
        { "zh_CN", LANG_MAX },       { "zh", LANG_MAX },
        { "zh_Hant_TW", LANG_MAX },  { "e", LANG_MAX },
    };
    for (const auto& [identifier, lang] : cases)
        EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier(identifier), lang) << '"' << identifier << '"';
}

// Every request answers from the current language (a reference to a text keeps its slot, which
// then shows the new language; a font slot belongs to its language) or, out of range, with the
// empty text; a language out of range is not set.
TEST_F(TxtLoaderService, answersFromTheCurrentLanguageOrWithTheEmptyText)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_EN);
    const juce::String& title = t->getString(STRID_STR_0000);
    const juce::String& englishFont = t->getFont();
    for (int k : { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -1, 12, 1000 })
    {
        const bool valid = k >= 0 && k < LANG_MAX;
        const int lang = valid ? k : LANG_JA; // the last one set
        t->setLocale((LangIdTable_t)k);
        EXPECT_EQ(t->m_langId, lang) << "language " << k;
        EXPECT_EQ(t->getFont(), StrRes::DEFAULT_FONT_MAC[lang]) << "language " << k;
        for (int s = 0; s < STRID_MAX; ++s)
            EXPECT_EQ(t->getString((StrIdTable_t)s), TableTexts::entry(s, lang)) << "id " << s << " language " << k;
        EXPECT_EQ(&title, &t->getString(STRID_STR_0000));
        EXPECT_EQ(englishFont, StrRes::DEFAULT_FONT_MAC[LANG_EN]);
        const auto id = (LangIdTable_t)k;
        EXPECT_EQ(t->getFont(id), valid ? StrRes::DEFAULT_FONT_MAC[k] : juce::String()) << k;
        EXPECT_EQ(t->getLang(id), valid ? StrRes::LANGUAGE_SELECTION[k] : juce::String()) << k;
        EXPECT_TRUE(valid || (&t->getFont(id) == &t->m_nullStr && &t->getLang(id) == &t->m_nullStr)) << k;
    }
    EXPECT_EQ(&t->getString(STRID_MAX), &t->m_nullStr);
    EXPECT_EQ(&t->getString((StrIdTable_t)-1), &t->m_nullStr);
    EXPECT_TRUE(t->m_nullStr.isEmpty());
}

// The locale environment (its rules are the preference service's) -> the start language; all
// twelve languages are offered.
TEST_F(TxtLoaderService, localeEnvironmentChoosesTheStartLanguage)
{
    const std::pair<std::array<const char*, 4>, LangIdTable_t> cases[] = {
        { {}, LANG_EN },
        { { nullptr, nullptr, nullptr, "de_DE.UTF-8" }, LANG_DE },
        { { "sv:fi:zh_TW", nullptr, nullptr, "en_US.UTF-8" }, LANG_ZH_HANT },
        { { "sv:zh", nullptr, nullptr, "sv_SE.UTF-8" }, LANG_EN },
    };
    for (const auto& [vars, lang] : cases)
    {
        setLocaleEnvironment(vars);
        TxtLoader::releaseInstance();
        const TxtLoader* t = TxtLoader::getInstance();
        EXPECT_EQ(t->m_langId, lang) << vars[0] << " " << vars[3];
        EXPECT_EQ(t->getString(STRID_STR_0000), TableTexts::entry(STRID_STR_0000, lang)) << vars[0] << " " << vars[3];
        EXPECT_EQ(std::count(t->m_bLangEnable, t->m_bLangEnable + LANG_MAX, true), LANG_MAX);
    }
}

// Creating again keeps the instance and its language; after a release the language comes from
// the preferences again, not from the last choice.
TEST_F(TxtLoaderService, onlyANewInstanceChoosesTheLanguageAgain)
{
    TxtLoader::releaseInstance(); // without an instance: nothing
    setLocaleEnvironment({ nullptr, nullptr, nullptr, "fr_FR.UTF-8" });
    TxtLoader::createInstance();
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_NL);
    TxtLoader::createInstance();
    EXPECT_EQ(TxtLoader::getInstance(), t);
    EXPECT_EQ(t->m_langId, LANG_NL);
    TxtLoader::releaseInstance();
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_FR);
}
