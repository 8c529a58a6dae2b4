#include <platform/CoreFoundation.h>
#include "Loader.h"
#include "TableTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <array>
#include <string>
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
// A preferred-language list as the preference service hands it out. Entries are strings,
// or a number, or null; the list owns them.
class PreferredList
{
public:
    struct Number { int value; };
    struct Null {};

    void add(const char* identifier) { m_items.push_back(CFStringCreateWithCString(kCFAllocatorDefault, identifier, kCFStringEncodingUTF8)); }
    void add(Number n) { m_items.push_back(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &n.value)); }
    void add(Null) { m_items.push_back(nullptr); }

    // A fresh array of the entries; callbacks null so that null entries can be held.
    CFArrayRef array()
    {
        release();
        m_array = CFArrayCreate(kCFAllocatorDefault, m_items.data(), (CFIndex) m_items.size(), nullptr);
        return m_array;
    }

    ~PreferredList()
    {
        release();
        for (const void* item : m_items)
            if (item != nullptr)
                CFRelease(item);
    }

private:
    void release()
    {
        if (m_array != nullptr)
            CFRelease(m_array);
        m_array = nullptr;
    }

    std::vector<const void*> m_items;
    CFArrayRef m_array = nullptr;
};

template <typename... Entries>
LangIdTable_t languageOf(Entries... entries)
{
    PreferredList list;
    (list.add(entries), ...);
    return TxtLoaderTestAccess::fromPreferredList(list.array());
}

// Sets the locale environment that the preference service reads, and restores it afterwards.
class LocaleEnvironment
{
public:
    LocaleEnvironment()
    {
        for (const char* name : names())
            if (const char* v = std::getenv(name))
                m_saved.push_back({ name, v });
        clear();
    }
    ~LocaleEnvironment()
    {
        clear();
        for (const auto& [name, value] : m_saved)
            setenv(name, value.c_str(), 1);
    }
    void set(const char* name, const char* value) { setenv(name, value, 1); }

private:
    static const std::array<const char*, 4>& names()
    {
        static const std::array<const char*, 4> all { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
        return all;
    }
    static void clear()
    {
        for (const char* name : names())
            unsetenv(name);
    }
    std::vector<std::pair<const char*, std::string>> m_saved;
};

class TxtLoaderService : public ::testing::Test
{
protected:
    void TearDown() override { TxtLoader::releaseInstance(); }
    LocaleEnvironment env;
};

const juce::String& tableText(int strId, int k) { return TableTexts::entry(strId, k); }
} // namespace

// ---- The preference walk, fed with lists built here

TEST(PreferenceWalk, AValueThatIsNotAListOrAnEmptyListMeansEnglish)
{
    CFStringRef notAList = CFStringCreateWithCString(kCFAllocatorDefault, "fr_FR", kCFStringEncodingUTF8);
    EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(notAList), LANG_EN);
    CFRelease(notAList);

    PreferredList empty;
    EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(empty.array()), LANG_EN);
}

TEST(PreferenceWalk, FirstMatchingEntryWinsOverLaterOnes)
{
    EXPECT_EQ(languageOf("fr_CA", "en"), LANG_FR);
    EXPECT_EQ(languageOf("ja_JP", "ko_KR", "fr"), LANG_JA);
}

TEST(PreferenceWalk, EntriesThatMatchNoCodeAreSkipped)
{
    EXPECT_EQ(languageOf("xx", "de_DE"), LANG_DE);
    EXPECT_EQ(languageOf("sv_SE", "fi", "nl_BE"), LANG_NL);
    EXPECT_EQ(languageOf("sv_SE", "fi"), LANG_EN);
}

TEST(PreferenceWalk, NumbersAndNullEntriesAreSkipped)
{
    EXPECT_EQ(languageOf(PreferredList::Number { 7 }, "it_IT"), LANG_IT);
    EXPECT_EQ(languageOf(PreferredList::Null {}, PreferredList::Number { 1 }, "ru_RU"), LANG_RU);
    EXPECT_EQ(languageOf(PreferredList::Null {}), LANG_EN);
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

TEST(PreferenceWalk, EntriesWithoutAnAsciiIdentifierAreSkipped)
{
    EXPECT_EQ(languageOf("", "nl"), LANG_NL);
    EXPECT_EQ(languageOf("日本語", "de"), LANG_DE);
}

TEST(IdentifierMatch, ACodeMatchesOnlyAsAWholePrefixInAnyLetterCase)
{
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("EN_GB"), LANG_EN);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("ZH-HANT_TW"), LANG_ZH_HANT);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("zh-hans"), LANG_ZH_HANS);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("ja"), LANG_JA);
    // The Chinese script must follow a hyphen, and an identifier shorter than a code matches nothing.
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("zh_CN"), LANG_MAX);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("zh"), LANG_MAX);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("zh_Hant_TW"), LANG_MAX);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier("e"), LANG_MAX);
    EXPECT_EQ(TxtLoaderTestAccess::fromIdentifier(""), LANG_MAX);
}

// ---- The service

TEST_F(TxtLoaderService, RequestsOutOfRangeAnswerTheEmptyText)
{
    TxtLoader* t = TxtLoader::getInstance();
    EXPECT_TRUE(t->getString(STRID_MAX).isEmpty());
    EXPECT_TRUE(t->getString((StrIdTable_t) -1).isEmpty());
    EXPECT_TRUE(t->getFont(LANG_MAX).isEmpty());
    EXPECT_TRUE(t->getFont((LangIdTable_t) -1).isEmpty());
    EXPECT_TRUE(t->getLang((LangIdTable_t) -1).isEmpty());
    EXPECT_TRUE(t->getLang(LANG_MAX).isEmpty());
    EXPECT_EQ(&t->getString(STRID_MAX), &t->m_nullStr);
    EXPECT_EQ(&t->getFont((LangIdTable_t) -1), &t->m_nullStr);
}

TEST_F(TxtLoaderService, SetLocaleLoadsThatLanguageAndLeavesNamesAsTheyWere)
{
    TxtLoader* t = TxtLoader::getInstance();
    for (int k = 0; k < LANG_MAX; ++k)
    {
        t->setLocale((LangIdTable_t) k);
        EXPECT_EQ(t->m_langId, k);
        EXPECT_EQ(t->getString(STRID_STR_0000), StrRes::STR_0000[k]);
        EXPECT_EQ(t->getFont(), StrRes::DEFAULT_FONT_MAC[k]);
        for (int id = 0; id < STRID_MAX; ++id)
            EXPECT_EQ(t->getString((StrIdTable_t) id), tableText(id, k)) << "id " << id << " language " << k;
        EXPECT_EQ(t->getLang(LANG_JA), TableTexts::fromU32(U"日本語"));
        EXPECT_EQ(t->getLang(LANG_EN), "English");
    }
}

TEST_F(TxtLoaderService, SetLocaleOutOfRangeChangesNothing)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_DE);
    for (LangIdTable_t bad : { LANG_MAX, (LangIdTable_t) -1, (LangIdTable_t) 1000 })
    {
        t->setLocale(bad);
        EXPECT_EQ(t->m_langId, LANG_DE);
        EXPECT_EQ(t->getString(STRID_STR_0004), StrRes::STR_0004[LANG_DE]);
        EXPECT_EQ(t->getFont(), StrRes::DEFAULT_FONT_MAC[LANG_DE]);
    }
    t->setLocale(LANG_DE); // the current language again: same texts
    EXPECT_EQ(t->getString(STRID_STR_0004), StrRes::STR_0004[LANG_DE]);
}

TEST_F(TxtLoaderService, AccessorsReturnTheSameSlotWhichFollowsTheLanguage)
{
    TxtLoader* t = TxtLoader::getInstance();
    t->setLocale(LANG_EN);
    const juce::String& title = t->getString(STRID_STR_0000);
    const juce::String& font = t->getFont();
    EXPECT_EQ(&title, &t->getString(STRID_STR_0000));
    EXPECT_EQ(&t->getLang(LANG_FR), &t->getLang(LANG_FR));

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
        TxtLoaderTestAccess::load(*t, (FlgTable_t) bad);
    EXPECT_EQ(t->getFont(), "MS PGothic");
    EXPECT_EQ(t->getLang(LANG_KO), StrRes::LANGUAGE_SELECTION[LANG_KO]);

    TxtLoaderTestAccess::load(*t, FLG_FONT_MAC);
    EXPECT_EQ(t->getFont(), "Hiragino Sans W5");
}

TEST_F(TxtLoaderService, ReleaseWithoutInstanceDoesNothingAndCreateDoesNotChooseAgain)
{
    TxtLoader::releaseInstance();
    TxtLoader::releaseInstance();

    env.set("LANG", "fr_FR.UTF-8");
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
    TxtLoader::createInstance();
    TxtLoader* t = TxtLoader::getInstance();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->m_langId, LANG_EN);
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_TRUE(t->m_bLangEnable[k]) << k;
        EXPECT_EQ(t->getLang((LangIdTable_t) k), StrRes::LANGUAGE_SELECTION[k]);
        EXPECT_EQ(t->getFont((LangIdTable_t) k), StrRes::DEFAULT_FONT_MAC[k]);
    }
    EXPECT_EQ(t->getString(STRID_STR_0000), "Updater Program");
}

TEST_F(TxtLoaderService, ACLocaleGivesNoPreferenceAndMeansEnglish)
{
    env.set("LANG", "C");
    env.set("LANGUAGE", "fr"); // ignored under the C locale
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_EN);
}

TEST_F(TxtLoaderService, TheMessagesLocaleChoosesTheLanguage)
{
    env.set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_DE);
    EXPECT_EQ(TxtLoader::getInstance()->getString(STRID_STR_0003), "Abbrechen");
    TxtLoader::releaseInstance();

    env.set("LC_MESSAGES", "pt_BR.UTF-8");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_PT);
    TxtLoader::releaseInstance();

    env.set("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_JA);
}

TEST_F(TxtLoaderService, TheFirstMatchingEntryOfTheLanguageListWins)
{
    env.set("LANG", "en_US.UTF-8");
    env.set("LANGUAGE", "fr_CA:en");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_FR);
    TxtLoader::releaseInstance();

    env.set("LANGUAGE", "sv:fi:zh_TW");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_ZH_HANT);
    TxtLoader::releaseInstance();

    env.set("LANGUAGE", "sv:zh");
    env.set("LANG", "sv_SE.UTF-8");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_EN); // "zh" alone names no script
}

TEST_F(TxtLoaderService, ANewInstanceChoosesFromThePreferencesNotFromTheLastChoice)
{
    env.set("LANG", "it_IT.UTF-8");
    TxtLoader::getInstance()->setLocale(LANG_KO);
    TxtLoader::releaseInstance();
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_IT);
    TxtLoader::releaseInstance();

    env.set("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(TxtLoader::getInstance()->m_langId, LANG_RU);
    EXPECT_EQ(TxtLoader::getInstance()->getFont(), "Helvetica Neue");
}
