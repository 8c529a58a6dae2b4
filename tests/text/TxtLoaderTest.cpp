#include "Loader.h"
#include "StrRes.h"
#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <vector>

// Reaches the private preference walk of the text service.
class TxtLoaderTestAccess
{
public:
    static LangIdTable_t fromPreferredList(CFPropertyListRef value) { return TxtLoader::langFromPreferredList(value); }
};

namespace
{
// The conversions of a template, in order: from each '%' to the next 's' (e.g. "%s", "%02s").
juce::StringArray conversions(const juce::String& templ)
{
    juce::StringArray found;
    for (int i = templ.indexOfChar('%'); i >= 0; i = templ.indexOfChar(i + 1, '%'))
        found.add(templ.substring(i, templ.indexOfChar(i, 's') + 1));
    return found;
}
} // namespace

// Every text of every language but the empty text (id 0) is there, and holds the conversions of
// the English one, so that a screen fills it alike: the model name in ids 11, 12, 15 and 17 (but
// for the Portuguese and Korean 17, which do not name it), the version's major and minor in 13
// and 14.
TEST(TextTables, everyLanguageHasTheConversionsOfEnglish)
{
    for (int id = 0; id < STRID_MAX; ++id)
    {
        TxtLoader::getInstance()->setLocale(LANG_EN);
        const auto english = conversions(TxtLoader::getInstance()->getString((StrIdTable_t)id));
        for (int k = 0; k < LANG_MAX; ++k)
        {
            TxtLoader::getInstance()->setLocale((LangIdTable_t)k);
            const auto& text = TxtLoader::getInstance()->getString((StrIdTable_t)id);
            const bool unnamed = id == STRID_STR_0014 && (k == LANG_PT || k == LANG_KO);
            EXPECT_EQ(conversions(text), unnamed ? juce::StringArray() : english) << "id " << id << " language " << k;
            EXPECT_EQ(text.isEmpty(), id == STRID_NULL_STR) << "id " << id << " language " << k;
        }
    }
    TxtLoader::releaseInstance();
}

// The first entry that begins with a language's code wins (after the canonical form of the
// identifier: the Chinese script after a hyphen); entries that name none (numbers, null entries,
// identifiers without an ASCII form) are passed over; English when none does, or for a value
// that is no list. The entries of a row are separated by spaces: "#n" stands for the number n,
// "~" for a null entry and "-" for the empty text.
TEST(PreferenceWalk, firstEntryNamingALanguageWins)
{
    const std::pair<const char*, LangIdTable_t> cases[] = {
        { "fr_CA en", LANG_FR },   { "xx de_DE", LANG_DE },        { "sv_SE fi", LANG_EN },
        { "#7 it_IT", LANG_IT },   { "~ #1 ru_RU", LANG_RU },      { "~", LANG_EN },
        { "- nl", LANG_NL },       { "日本語 ko", LANG_KO },       { "", LANG_EN },
        { "EN_GB", LANG_EN },      { "es-419", LANG_ES },          { "pt_BR", LANG_PT },
        { "zh_CN", LANG_ZH_HANS }, { "zh-hant-tw", LANG_ZH_HANT }, { "e zh zh_TW", LANG_ZH_HANT },
    };
    for (const auto& [entries, lang] : cases)
    {
        std::vector<CFTypeRef> items;
        for (const auto& e : juce::StringArray::fromTokens(juce::String::fromUTF8(entries), false))
        {
            const int number = e.substring(1).getIntValue();
            items.push_back(e == "~" ? nullptr
                            : e.startsWith("#")
                                ? (CFTypeRef)CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number)
                                : CFStringCreateWithCString(kCFAllocatorDefault, e == "-" ? "" : e.toRawUTF8(),
                                                            kCFStringEncodingUTF8));
        }
        // Callbacks null so that null entries can be held; the items are released here.
        CFArrayRef list = CFArrayCreate(kCFAllocatorDefault, items.data(), (CFIndex)items.size(), nullptr);
        EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(list), lang) << '"' << entries << '"';
        CFRelease(list);
        for (CFTypeRef item : items)
            if (item != nullptr)
                CFRelease(item);
    }
    const auto notAList = CFStringCreateWithCString(kCFAllocatorDefault, "fr_FR", kCFStringEncodingUTF8);
    EXPECT_EQ(TxtLoaderTestAccess::fromPreferredList(notAList), LANG_EN) << "a value that is no list";
    CFRelease(notAList);
}

// The service answers from the language last chosen, for as long as it lives; out of range an
// identifier or a language gives the empty text, and a language is not chosen.
TEST(TxtLoaderService, answersFromTheChosenLanguageOrWithTheEmptyText)
{
    for (int k = 0; k < LANG_MAX; ++k)
    {
        TxtLoader::getInstance()->setLocale((LangIdTable_t)k);
        const TxtLoader* texts = TxtLoader::getInstance();
        EXPECT_EQ(texts->getString(STRID_STR_0000), StrRes::STR_0000[k]) << "language " << k;
        EXPECT_EQ(texts->getFont(), StrRes::DEFAULT_FONT_MAC[k]) << "language " << k;
        EXPECT_EQ(texts->getLang((LangIdTable_t)k), StrRes::LANGUAGE_SELECTION[k]) << "language " << k;
    }
    TxtLoader* texts = TxtLoader::getInstance();
    for (const int k : { -1, (int)LANG_MAX, 1000 })
    {
        texts->setLocale((LangIdTable_t)k);
        EXPECT_EQ(texts->m_langId, LANG_JA) << "language " << k;
        EXPECT_TRUE(texts->getFont((LangIdTable_t)k).isEmpty() && texts->getLang((LangIdTable_t)k).isEmpty()) << k;
    }
    EXPECT_TRUE(texts->getString(STRID_MAX).isEmpty() && texts->getString((StrIdTable_t)-1).isEmpty());
    TxtLoader::releaseInstance();
}
