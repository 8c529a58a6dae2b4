#include "TableTexts.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
using TableTexts::fromU32;

bool isValidUtf8(const juce::String& s)
{
    return juce::CharPointer_UTF8::isValidString(s.toRawUTF8(), (int) s.getNumBytesAsUTF8() + 1);
}

// Each template with the arguments the screens give it: the model name, or the two parts of a
// version text "1.02".
juce::String formatAsScreens(int strId, int lang, const juce::String& major = "1",
                             const juce::String& minor = "02")
{
    const juce::String& templ = TableTexts::entry(strId, lang);
    if (strId == STRID_STR_0010 || strId == STRID_STR_0011)
        return TextFormat::format(templ, major, minor, {}, {});
    return TextFormat::format(templ, StrRes::NAME_001[lang], {}, {}, {});
}
} // namespace

TEST(TextFormatConversions, PercentSInsertsTheArgumentsInOrder)
{
    EXPECT_EQ(TextFormat::format("Your %s is not connected.", "QEL-720"), "Your QEL-720 is not connected.");
    EXPECT_EQ(TextFormat::format("%s-%s-%s-%s", "a", "b", "c", "d"), "a-b-c-d");
    EXPECT_EQ(TextFormat::format(fromU32(U"您的%s未连接。"), "QEL-720"), fromU32(U"您的QEL-720未连接。"));
}

TEST(TextFormatConversions, ZeroWidthTwoPadsShortArgumentsWithZeroDigits)
{
    EXPECT_EQ(TextFormat::format("Ver. %s.%02s", "1", "05"), "Ver. 1.05");
    EXPECT_EQ(TextFormat::format("Ver. %s.%02s", "1", "5"), "Ver. 1.05");
    EXPECT_EQ(TextFormat::format("Ver. %s.%02s", "1", ""), "Ver. 1.00");
    EXPECT_EQ(TextFormat::format("Ver. %s.%02s", "", "10"), "Ver. .10");
    EXPECT_EQ(TextFormat::format("Ver. %s.%02s", "1", "123"), "Ver. 1.123");
    // The field is counted in bytes: a two-byte character already fills it.
    EXPECT_EQ(TextFormat::format("%02s", fromU32(U"é")), fromU32(U"é"));
    // Without the zero flag the field is padded with spaces, as the C library does.
    EXPECT_EQ(TextFormat::format("[%3s]", "x"), "[  x]");
}

TEST(TextFormatConversions, MissingArgumentsAreEmptyAndAFifthConversionGetsNothing)
{
    EXPECT_EQ(TextFormat::format("<%s|%s>", "a"), "<a|>");
    EXPECT_EQ(TextFormat::format("%s%s%s%s%s!", "1", "2", "3", "4"), "1234!");
    EXPECT_EQ(TextFormat::format("%s%02s%s%s%02s", "1", "2", "3", "4"), "1023400");
}

TEST(TextFormatConversions, ATemplateWithoutConversionIsUnchangedAndIgnoresItsArguments)
{
    const juce::String pt = fromU32(U"A versão foi actualizada.");
    EXPECT_EQ(TextFormat::format(pt, "QEL-720"), pt);
    EXPECT_EQ(TextFormat::format({}, "QEL-720"), juce::String());
}

TEST(TextFormatConversions, PercentSequencesThatAreNoTextConversionStandForThemselves)
{
    EXPECT_EQ(TextFormat::format("100%% of %s", "x"), "100% of x");
    EXPECT_EQ(TextFormat::format("%d and %s", "x"), "%d and x");
    EXPECT_EQ(TextFormat::format("ends with %", "x"), "ends with %");
    EXPECT_EQ(TextFormat::format("%02", "x"), "%02");
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
}

TEST(TextFormatOfTables, ModelNameAppearsOnceExceptInPortugueseAndKoreanCompletion)
{
    for (int k = 0; k < LANG_MAX; ++k)
    {
        for (int id : { STRID_STR_0008, STRID_STR_0009, STRID_STR_0012 })
        {
            const juce::String r = formatAsScreens(id, k);
            EXPECT_EQ(r.indexOf("QEL-720"), r.lastIndexOf("QEL-720")) << "id " << id << " language " << k;
            EXPECT_GE(r.indexOf("QEL-720"), 0) << "id " << id << " language " << k;
        }
        const juce::String done = formatAsScreens(STRID_STR_0014, k);
        if (k == LANG_PT || k == LANG_KO)
        {
            EXPECT_EQ(done, StrRes::STR_0014[k]) << k;
        }
        else
        {
            EXPECT_GE(done.indexOf("QEL-720"), 0) << k;
            EXPECT_EQ(done.indexOf("QEL-720"), done.lastIndexOf("QEL-720")) << k;
        }
    }
}

TEST(TextFormatOfTables, VersionNumberStandsWhereEachLanguagePutsIt)
{
    EXPECT_EQ(formatAsScreens(STRID_STR_0010, LANG_EN, "1", "05"), "Current Version: Ver. 1.05");
    EXPECT_EQ(formatAsScreens(STRID_STR_0011, LANG_EN, "1", "10"), "Update Version: Ver. 1.10");
    EXPECT_TRUE(formatAsScreens(STRID_STR_0010, LANG_EN).endsWith("Ver. 1.02"));
    EXPECT_TRUE(formatAsScreens(STRID_STR_0010, LANG_JA).endsWith("Ver1.02"));
    EXPECT_TRUE(formatAsScreens(STRID_STR_0010, LANG_ZH_HANT).endsWith(fromU32(U" 1.02版")));
    EXPECT_EQ(formatAsScreens(STRID_STR_0011, LANG_IT, "2", "5"), "Versione aggiornata: 2.05");
}

TEST(TextFormatLimits, AnOverlongArgumentIsCutAtACharacterBoundaryWithin255Bytes)
{
    // Arguments of one-, two-, three- and four-byte characters, behind prefixes of every length
    // modulo four, so that the 255-byte limit falls at every position within a character.
    const char32_t* units[] = { U"a", U"é", U"中", U"\U0001F600" };
    for (const char32_t* unit : units)
        for (int prefix = 0; prefix < 4; ++prefix)
        {
            juce::String arg;
            for (int i = 0; i < 300; ++i)
                arg += fromU32(unit);
            const juce::String templ = juce::String::repeatedString("x", prefix) + "%s";
            const juce::String result = TextFormat::format(templ, arg);
            const auto bytes = result.getNumBytesAsUTF8();
            const auto unitBytes = fromU32(unit).getNumBytesAsUTF8();
            EXPECT_LE(bytes, 255u);
            EXPECT_GT(bytes + unitBytes, 255u) << "cut more than one character";
            EXPECT_TRUE(isValidUtf8(result));
            EXPECT_TRUE((juce::String::repeatedString("x", prefix) + arg).startsWith(result));
        }
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

TEST(TextFormatLimits, AResultOfExactly255BytesIsKeptWhole)
{
    const juce::String arg = juce::String::repeatedString("z", 250);
    EXPECT_EQ(TextFormat::format("ab%scde", arg), "ab" + arg + "cde");
    EXPECT_EQ(TextFormat::format("ab%scdef", arg), "ab" + arg + "cde");
}
