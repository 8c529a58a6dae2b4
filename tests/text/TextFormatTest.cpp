#include "TextFormat.h"
#include "TableTexts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
using TableTexts::fromU32;

// Each template with the arguments the screens give it: the model name, or the version "1.02".
juce::String formatAsScreens(int strId, int lang)
{
    const juce::String& templ = TableTexts::entry(strId, lang);
    if (strId == STRID_STR_0010 || strId == STRID_STR_0011)
        return TextFormat::format(templ, "1", "02");
    return TextFormat::format(templ, StrRes::NAME_001[lang]);
}
} // namespace

TEST(TextFormatConversions, ConversionsFillPadAndPassThroughAsTheScreensNeed)
{
    const struct
    {
        const char32_t *templ, *a0, *a1, *a2, *a3, *expected;
        const char* rule;
    } cases[] = {
        { U"Your %s is not connected.", U"QEL-720", U"", U"", U"", U"Your QEL-720 is not connected.", "in order" },
        { U"%s-%s-%s-%s", U"a", U"b", U"c", U"d", U"a-b-c-d", "in order" },
        { U"您的%s未连接。", U"QEL-720", U"", U"", U"", U"您的QEL-720未连接。", "in order" },
        { U"Ver. %s.%02s", U"1", U"5", U"", U"", U"Ver. 1.05", "zero pad" },
        { U"Ver. %s.%02s", U"1", U"", U"", U"", U"Ver. 1.00", "zero pad" },
        { U"Ver. %s.%02s", U"", U"10", U"", U"", U"Ver. .10", "zero pad" },
        { U"Ver. %s.%02s", U"1", U"123", U"", U"", U"Ver. 1.123", "zero pad" },
        { U"%02s", U"é", U"", U"", U"", U"é", "field counted in bytes" },
        { U"[%3s]", U"x", U"", U"", U"", U"[  x]", "space pad without the zero flag" },
        { U"<%s|%s>", U"a", U"", U"", U"", U"<a|>", "missing argument" },
        { U"%s%02s%s%s%02s", U"1", U"2", U"3", U"4", U"1023400", "fifth conversion" },
        { U"A versão foi actualizada.", U"QEL-720", U"", U"", U"", U"A versão foi actualizada.", "no conversion" },
        { U"", U"QEL-720", U"", U"", U"", U"", "empty template" },
        { U"100%% of %s", U"x", U"", U"", U"", U"100% of x", "percent sign" },
        { U"%d and %s", U"x", U"", U"", U"", U"%d and x", "no text conversion" },
        { U"ends with %", U"x", U"", U"", U"", U"ends with %", "no text conversion" },
        { U"%02", U"x", U"", U"", U"", U"%02", "no text conversion" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextFormat::format(fromU32(c.templ), fromU32(c.a0), fromU32(c.a1), fromU32(c.a2), fromU32(c.a3)),
                  fromU32(c.expected))
            << c.rule << ": " << fromU32(c.templ);
}

TEST(TextFormatOfTables, EveryTemplateInEveryLanguageFitsWithItsScreenArguments)
{
    for (int k = 0; k < LANG_MAX; ++k)
        for (int id = 0; id < STRID_MAX; ++id)
        {
            const juce::String result = formatAsScreens(id, k);
            EXPECT_LE(result.getNumBytesAsUTF8(), 145u) << "id " << id << " language " << k;
            EXPECT_FALSE(result.containsChar('%')) << "id " << id << " language " << k;
        }
    EXPECT_EQ(formatAsScreens(STRID_STR_0014, LANG_RU).getNumBytesAsUTF8(), 145u);
    EXPECT_EQ(formatAsScreens(STRID_STR_0010, LANG_ZH_HANT), fromU32(U"目前版本: 1.02版"));
}

TEST(TextFormatLimits, AnOverlongResultIsCutAtACharacterBoundaryWithin255Bytes)
{
    // Arguments of one-, two-, three- and four-byte characters, behind prefixes of every length
    // modulo four, so that the 255-byte limit falls at every position within a character.
    for (const char32_t* unit : { U"a", U"é", U"中", U"\U0001F600" })
        for (int prefix = 0; prefix < 4; ++prefix)
        {
            const juce::String arg = juce::String::repeatedString(fromU32(unit), 300);
            const juce::String x = juce::String::repeatedString("x", prefix);
            const juce::String result = TextFormat::format(x + "%s", arg);
            const auto bytes = result.getNumBytesAsUTF8();
            EXPECT_LE(bytes, 255u);
            EXPECT_GT(bytes + fromU32(unit).getNumBytesAsUTF8(), 255u) << "cut more than one character";
            EXPECT_TRUE(juce::CharPointer_UTF8::isValidString(result.toRawUTF8(), (int)bytes + 1));
            EXPECT_TRUE((x + arg).startsWith(result));
        }
    // A result of exactly 255 bytes is kept whole.
    const juce::String arg = juce::String::repeatedString("z", 250);
    EXPECT_EQ(TextFormat::format("ab%scde", arg), "ab" + arg + "cde");
    EXPECT_EQ(TextFormat::format("ab%scdef", arg), "ab" + arg + "cde");
}

TEST(TextFormatLimits, NothingIsWrittenPastTheBuffer)
{
    struct Guarded
    {
        char buffer[TextFormat::bufferSize];
        char guard[64];
    } g;
    std::memset(g.guard, 0x5A, sizeof(g.guard));

    const std::string longArg(1000, 'y');
    const char* const args[TextFormat::maxArgs] = { longArg.c_str(), longArg.c_str(), nullptr, nullptr };
    const size_t length = TextFormat::formatInto(g.buffer, "%s%s%0999999999999999999999s", args);

    EXPECT_EQ(length, 255u);
    EXPECT_EQ(std::strlen(g.buffer), 255u);
    for (char c : g.guard)
        ASSERT_EQ(c, 0x5A);

    // A field wider than the buffer is filled only up to the limit.
    const juce::String wide = TextFormat::format("%0999999999999999999999s", "1");
    EXPECT_EQ(wide.getNumBytesAsUTF8(), 255u);
    EXPECT_TRUE(wide.containsOnly("0"));
}
