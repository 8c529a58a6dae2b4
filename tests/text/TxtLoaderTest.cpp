#include "Loader.h"
#include "TableTexts.h"
#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

// Reaches the private preference walk and Load of the text service.
class TxtLoaderTestAccess
{
public:
    static LangIdTable_t fromPreferredList(CFPropertyListRef value) { return TxtLoader::langFromPreferredList(value); }
    static LangIdTable_t fromIdentifier(const juce::String& id) { return TxtLoader::langFromIdentifier(id); }
    static void load(TxtLoader& loader, FlgTable_t flag) { loader.Load(flag); }
};

namespace
{
// Entries of a preferred-language list as the preference service hands it out: strings, or a
// number, or null.
const void* entry(const char* identifier)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, identifier, kCFStringEncodingUTF8);
}
const void* entry(int number) { return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number); }
const void* entry(std::nullptr_t) { return nullptr; }

// The language the walk chooses from a list of these entries.
template <typename... Entries>
LangIdTable_t languageOf(Entries... entries)
{
    std::vector<const void*> items{ entry(entries)... };
    // Callbacks null so that null entries can be held; the items are released here.
    CFArrayRef list = CFArrayCreate(kCFAllocatorDefault, items.data(), (CFIndex)items.size(), nullptr);
    const LangIdTable_t result = TxtLoaderTestAccess::fromPreferredList(list);
    CFRelease(list);
    for (const void* item : items)
        if (item != nullptr)
            CFRelease(item);
    return result;
}

// Each test starts from an empty locale environment (the variables the preference service reads).
class TxtLoaderService : public ::testing::Test
{
protected:
    void SetUp() override { setLocaleEnvironment({}); }
    void TearDown() override { TxtLoader::releaseInstance(); }

    // Values of LANGUAGE, LC_ALL, LC_MESSAGES and LANG; null unsets.
    static void setLocaleEnvironment(const std::array<const char*, 4>& values)
    {
        const char* names[] = { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
        for (int i = 0; i < 4; ++i)
            if (values[i] != nullptr)
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
    }
};
} // namespace

// ---- The preference walk, fed with lists built here

TEST(PreferenceWalk, AValueThatIsNotAListOrAnEmptyListMeansEnglish)
{
    const void* notAList = entry("fr_FR");
    EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(notAList), LANG_EN);
    CFRelease(notAList);
    EXPECT_EQ(languageOf(), LANG_EN);
}

TEST(PreferenceWalk, FirstEntryNamingALanguageWinsAndOthersAreSkipped)
{
    EXPECT_EQ(languageOf("fr_CA", "en"), LANG_FR);
    EXPECT_EQ(languageOf("ja_JP", "ko_KR", "fr"), LANG_JA);
    EXPECT_EQ(languageOf("xx", "de_DE"), LANG_DE);
    EXPECT_EQ(languageOf("sv_SE", "fi", "nl_BE"), LANG_NL);
    EXPECT_EQ(languageOf("sv_SE", "fi"), LANG_EN);
    // Numbers, null entries and entries without an ASCII identifier name no language.
    EXPECT_EQ(languageOf(7, "it_IT"), LANG_IT);
    EXPECT_EQ(languageOf(nullptr, 1, "ru_RU"), LANG_RU);
    EXPECT_EQ(languageOf(nullptr), LANG_EN);
    EXPECT_EQ(languageOf("", "nl"), LANG_NL);
    EXPECT_EQ(languageOf("日本語", "de"), LANG_DE);
}

TEST(PreferenceWalk, RegionalVariantsAndLetterCaseChooseTheLanguage)
{
    EXPECT_EQ(languageOf("EN_GB"), LANG_EN);
    EXPECT_EQ(languageOf("pt_BR"), LANG_PT);
    EXPECT_EQ(languageOf("pt_PT"), LANG_PT);
    EXPECT_EQ(languageOf("es-419"), LANG_ES);
    EXPECT_EQ(languageOf("zh-Hans_CN"), LANG_ZH_HANS);
    EXPECT_EQ(languageOf("zh-Hant_TW"), LANG_ZH_HANT);
    EXPECT_EQ(languageOf("ko"), LANG_KO);
}

TEST(IdentifierMatch, ACodeMatchesOnlyAsAWholePrefixInAnyLetterCase)
{
    // The Chinese script must follow a hyphen, and an identifier shorter than a code matches nothing.
    const std::pair<const char*, LangIdTable_t> cases[] = {
        { "EN_GB", LANG_EN },
        { "ZH-HANT_TW", LANG_ZH_HANT },
        { "zh-hans", LANG_ZH_HANS },
        { "ja", LANG_JA },
        { "zh_CN", LANG_MAX },
        { "zh", LANG_MAX },
        { "zh_Hant_TW", LANG_MAX },
        { "e", LANG_MAX },
        { "", LANG_MAX },
    };
    for (const auto& [identifier, lang] : cases)
        EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier(identifier), lang) << identifier;
}

// ---- The service

TEST_F(TxtLoaderService, RequestsOutOfRangeAnswerTheEmptyText)
{
    TxtLoader* t = TxtLoader::getInstance();
    EXPECT_EQ(&t->getString(STRID_MAX), &t->m_nullStr);
    EXPECT_EQ(&t->getString((StrIdTable_t)-1), &t->m_nullStr);
    for (LangIdTable_t bad : { LANG_MAX, (LangIdTable_t)-1 })
    {
        EXPECT_EQ(&t->getFont(bad), &t->m_nullStr);
        EXPECT_EQ(&t->getLang(bad), &t->m_nullStr);
    }
    EXPECT_TRUE(t->m_nullStr.isEmpty());
}

TEST_F(TxtLoaderService, SetLocaleLoadsThatLanguageAndLeavesNamesAsTheyWere)
{
    TxtLoader* t = TxtLoader::getInstance();
    for (int k = 0; k < LANG_MAX; ++k)
    {
        t->setLocale((LangIdTable_t)k);
        EXPECT_EQ(t->m_langId, k);
        EXPECT_EQ(t->getFont(), StrRes::DEFAULT_FONT_MAC[k]);
        for (int id = 0; id < STRID_MAX; ++id)
            EXPECT_EQ(t->getString((StrIdTable_t)id), TableTexts::entry(id, k)) << "id " << id << " language " << k;
        EXPECT_EQ(t->getLang(LANG_JA), TableTexts::fromU32(U"日本語"));
    }
}

TEST_F(TxtLoaderService, SetLocaleOutOfRangeChangesNothing)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_DE);
    for (LangIdTable_t bad : { LANG_MAX, (LangIdTable_t)-1, (LangIdTable_t)1000 })
    {
        t->setLocale(bad);
        EXPECT_EQ(t->m_langId, LANG_DE);
        EXPECT_EQ(t->getString(STRID_STR_0004), StrRes::STR_0004[LANG_DE]);
        EXPECT_EQ(t->getFont(), StrRes::DEFAULT_FONT_MAC[LANG_DE]);
    }
}

TEST_F(TxtLoaderService, AccessorsReturnTheSameSlotWhichFollowsTheLanguage)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_EN);
    const juce::String& title = t->getString(STRID_STR_0000);
    const juce::String& font = t->getFont();
    EXPECT_EQ(&title, &t->getString(STRID_STR_0000));

    t->setLocale(LANG_RU);
    EXPECT_EQ(title, StrRes::STR_0000[LANG_RU]);
    EXPECT_EQ(font, StrRes::DEFAULT_FONT_MAC[LANG_EN]); // a font slot belongs to its language
    EXPECT_EQ(t->getFont(), "Helvetica Neue");
}

TEST_F(TxtLoaderService, LoadFillsOnlyWhatItsFlagNames)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_JA);
    TxtLoaderTestAccess::load(*t, FLG_FONT_WIN);
    EXPECT_EQ(t->getFont(), "MS PGothic");
    EXPECT_EQ(t->getFont(LANG_ZH_HANS), "SimHei");
    EXPECT_EQ(t->getString(STRID_STR_0001), StrRes::STR_0001[LANG_JA]);

    for (int bad : { 0, 5, -1 })
        TxtLoaderTestAccess::load(*t, (FlgTable_t)bad);
    EXPECT_EQ(t->getFont(), "MS PGothic");
    EXPECT_EQ(t->getLang(LANG_KO), StrRes::LANGUAGE_SELECTION[LANG_KO]);

    TxtLoaderTestAccess::load(*t, FLG_FONT_MAC);
    EXPECT_EQ(t->getFont(), "Hiragino Sans W5");
}

TEST_F(TxtLoaderService, ReleaseWithoutInstanceDoesNothingAndCreateDoesNotChooseAgain)
{
    TxtLoader::releaseInstance();
    TxtLoader::releaseInstance();

    setLocaleEnvironment({ nullptr, nullptr, nullptr, "fr_FR.UTF-8" });
    TxtLoader::createInstance();
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_NL);
    TxtLoader::createInstance();
    EXPECT_EQ(TxtLoader::getInstance(), t);
    EXPECT_EQ(t->m_langId, LANG_NL);
}

// ---- The whole start-up path: locale environment -> preferences -> start language

TEST_F(TxtLoaderService, WithoutAnyLocaleTheLanguageIsEnglishAndAllTwelveAreOffered)
{
    TxtLoader* t = TxtLoader::getInstance();
    EXPECT_EQ(t->m_langId, LANG_EN);
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_TRUE(t->m_bLangEnable[k]) << k;
        EXPECT_EQ(t->getLang((LangIdTable_t)k), StrRes::LANGUAGE_SELECTION[k]);
    }
    EXPECT_EQ(t->getString(STRID_STR_0000), "Updater Program");
}

TEST_F(TxtLoaderService, TheLocaleEnvironmentChoosesTheStartLanguage)
{
    const struct
    {
        std::array<const char*, 4> vars;
        LangIdTable_t expected;
        const char* rule;
    } cases[] = {
        { { nullptr, nullptr, nullptr, "de_DE.UTF-8" }, LANG_DE, "LANG" },
        { { nullptr, nullptr, "pt_BR.UTF-8", "de_DE.UTF-8" }, LANG_PT, "LC_MESSAGES over LANG" },
        { { nullptr, "ja_JP.UTF-8", "pt_BR.UTF-8", "de_DE.UTF-8" }, LANG_JA, "LC_ALL over the rest" },
        { { "fr", nullptr, nullptr, "C" }, LANG_EN, "the C locale ignores LANGUAGE" },
        { { "fr_CA:en", nullptr, nullptr, "en_US.UTF-8" }, LANG_FR, "first entry of LANGUAGE" },
        { { "sv:fi:zh_TW", nullptr, nullptr, "en_US.UTF-8" }, LANG_ZH_HANT, "first matching entry" },
        { { "sv:zh", nullptr, nullptr, "sv_SE.UTF-8" }, LANG_EN, "\"zh\" alone names no script" },
    };
    for (const auto& c : cases)
    {
        setLocaleEnvironment(c.vars);
        TxtLoader::releaseInstance();
        EXPECT_EQ(TxtLoader::getInstance()->m_langId, c.expected) << c.rule;
        EXPECT_EQ(TxtLoader::getInstance()->getString(STRID_STR_0000), TableTexts::entry(STRID_STR_0000, c.expected))
            << c.rule;
    }
}

TEST_F(TxtLoaderService, ANewInstanceChoosesFromThePreferencesNotFromTheLastChoice)
{
    setLocaleEnvironment({ nullptr, nullptr, nullptr, "it_IT.UTF-8" });
    TxtLoader::getInstance()->setLocale(LANG_KO);
    TxtLoader::releaseInstance();
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_IT);
}
