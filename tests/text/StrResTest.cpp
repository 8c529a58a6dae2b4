#include "TableTexts.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace
{
const juce::String& text(int strId, int lang) { return TableTexts::entry(strId, lang); }

// The conversions of a template, in order: from each '%' to the next 's' (e.g. {"%s", "%02s"}).
std::vector<juce::String> conversions(const juce::String& templ)
{
    std::vector<juce::String> found;
    for (int i = templ.indexOfChar('%'); i >= 0; i = templ.indexOfChar(i + 1, '%'))
    {
        const int end = templ.indexOfChar(i, 's');
        found.push_back(end < 0 ? templ.substring(i) : templ.substring(i, end + 1));
    }
    return found;
}
} // namespace

TEST(TextTables, onlyTheEmptyTextIsEmptyAndTheNamesAreNeverTranslated)
{
    for (int k = 0; k < LANG_MAX; ++k)
    {
        EXPECT_TRUE(StrRes::NULL_STR[k].isEmpty()) << "language " << k;
        EXPECT_EQ(StrRes::NAME_000[k], "QEL") << "language " << k;
        EXPECT_EQ(StrRes::NAME_001[k], "QEL-720") << "language " << k;
        for (int id = STRID_NAME_000; id < STRID_MAX; ++id)
            EXPECT_TRUE(text(id, k).isNotEmpty()) << "id " << id << " language " << k;
    }
}

// The model name goes into ids 11, 12, 15 and 17 (but for the Portuguese and Korean 17, which
// do not name it), the major and minor version into 13 and 14; no other text holds a '%'.
TEST(TextTables, everyLanguageHasTheConversionsOfEnglish)
{
    const std::vector<juce::String> none, name{ "%s" }, version{ "%s", "%02s" };
    for (int id = 0; id < STRID_MAX; ++id)
        for (int k = 0; k < LANG_MAX; ++k)
        {
            const bool named =
                (id == 11 || id == 12 || id == 15 || id == 17) && !(id == 17 && (k == LANG_PT || k == LANG_KO));
            const auto& expected = id == 13 || id == 14 ? version : named ? name : none;
            EXPECT_EQ(conversions(text(id, k)), expected) << "id " << id << " language " << k;
        }
    for (int id : { 11, 12, 15 }) // Korean and Japanese sentences begin with the name
        for (int k : { LANG_KO, LANG_JA })
            EXPECT_TRUE(text(id, k).startsWith("%s")) << "id " << id << " language " << k;
}

// Equal captions are allowed only within these groups; the Russian "OK" is Cyrillic, not Latin.
TEST(TextTables, languagesShareOnlyTheGivenCaptionsAndNamesAreDistinct)
{
    const std::pair<int, std::vector<int>> sharing[] = {
        { STRID_STR_0001, { LANG_EN, LANG_FR, LANG_DE, LANG_IT, LANG_PT, LANG_KO, LANG_JA } },
        { STRID_STR_0002, { LANG_EN, LANG_DE, LANG_IT } },
        { STRID_STR_0002, { LANG_ES, LANG_PT } },
        { STRID_STR_0002, { LANG_ZH_HANT, LANG_JA } },
        { STRID_STR_0003, { LANG_ES, LANG_PT } },
        { STRID_STR_0003, { LANG_ZH_HANS, LANG_ZH_HANT } },
    };
    std::set<std::tuple<int, int, int>> mayShare;
    for (const auto& [id, langs] : sharing)
        for (int a : langs)
            for (int b : langs)
                mayShare.insert({ id, a, b });
    for (int a = 0; a < LANG_MAX; ++a)
    {
        for (int b = a + 1; b < LANG_MAX; ++b)
        {
            EXPECT_NE(StrRes::LANGUAGE_SELECTION[a], StrRes::LANGUAGE_SELECTION[b]) << "languages " << a << ", " << b;
            for (int id = STRID_STR_0000; id < STRID_MAX; ++id)
                EXPECT_TRUE(text(id, a) != text(id, b) || mayShare.count({ id, a, b }))
                    << "id " << id << " languages " << a << ", " << b;
        }
        // Precomposed letters only: a combining accent would be drawn apart from its letter.
        for (auto p = StrRes::LANGUAGE_SELECTION[a].getCharPointer(); !p.isEmpty(); ++p)
            EXPECT_FALSE(*p >= 0x300 && *p <= 0x36F) << "language " << a;
    }
}

TEST(TextTables, chineseAndJapaneseSentencesEndWithTheIdeographicFullStop)
{
    for (int id = STRID_STR_0000; id < STRID_MAX; ++id)
        if (text(id, LANG_EN).endsWithChar('.'))
            for (int k = 0; k < LANG_MAX; ++k)
            {
                const bool ideographic = k == LANG_ZH_HANS || k == LANG_ZH_HANT || k == LANG_JA;
                EXPECT_EQ(text(id, k).getLastCharacter(), ideographic ? (juce::juce_wchar)0x3002 : '.')
                    << "id " << id << " language " << k;
            }
}
