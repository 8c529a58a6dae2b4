#include "TextFormat.h"
#include "TableTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

namespace
{
juce::String utf8(const char* text) { return juce::String::fromUTF8(text); }
} // namespace

TEST(TextFormat, fillsPadsAndPassesThroughAsTheScreensNeed)
{
    const std::tuple<const char*, std::vector<const char*>, const char*, const char*> cases[] = {
        { "Your %s is not connected.", { "QEL-720" }, "Your QEL-720 is not connected.", "one argument" },
        { "%s-%s-%s-%s", { "a", "b", "c", "d" }, "a-b-c-d", "four in order" },
        { "Ver. %s.%02s", { "1", "5" }, "Ver. 1.05", "zero pad" },
        { "Ver. %s.%02s", { "1", "" }, "Ver. 1.00", "zero pad of nothing" },
        { "Ver. %s.%02s", { "1", "123" }, "Ver. 1.123", "a wider argument whole" },
        { "%02s", { "é" }, "é", "field counted in bytes" },
        { "[%3s]", { "x" }, "[  x]", "space pad without the zero flag" },
        { "<%s|%s>", { "a" }, "<a|>", "missing argument" },
        { "%s%02s%s%s%02s", { "1", "2", "3", "4" }, "1023400", "fifth conversion" },
        { "A versão foi actualizada.", { "QEL-720" }, "A versão foi actualizada.", "no conversion" },
        { "100%% of %s", { "x" }, "100% of x", "percent sign" },
        { "%d and %s", { "x" }, "%d and x", "no text conversion" },
        { "ends with %", { "x" }, "ends with %", "lone percent sign" },
        { "%02", { "x" }, "%02", "unfinished conversion" },
    };
    for (const auto& [templ, args, expected, rule] : cases)
    {
        juce::String a[4];
        std::transform(args.begin(), args.end(), a, utf8);
        EXPECT_EQ(TextFormat::format(utf8(templ), a[0], a[1], a[2], a[3]), utf8(expected)) << rule << ": " << templ;
    }
}

// Each template with the arguments its screen gives: the model name, or the version 1.02.
TEST(TextFormat, everyTableTextFitsWithTheArgumentsOfItsScreen)
{
    for (int k = 0; k < LANG_MAX; ++k)
        for (int id = 0; id < STRID_MAX; ++id)
        {
            const auto& templ = TableTexts::entry(id, k);
            const auto result = id == STRID_STR_0010 || id == STRID_STR_0011
                                    ? TextFormat::format(templ, "1", "02")
                                    : TextFormat::format(templ, StrRes::NAME_001[k]);
            EXPECT_LT(result.getNumBytesAsUTF8(), TextFormat::bufferSize - 1) << "id " << id << " language " << k;
            EXPECT_FALSE(result.containsChar('%')) << "id " << id << " language " << k;
        }
    const std::pair<int, const char*> versions[] = { { LANG_EN, "Ver. 1.02" },
                                                     { LANG_JA, "Ver1.02" },
                                                     { LANG_ZH_HANT, "1.02版" } };
    for (const auto& [k, placed] : versions)
        EXPECT_TRUE(TextFormat::format(StrRes::STR_0010[k], "1", "02").contains(utf8(placed))) << "language " << k;
}

// Arguments of one- to four-byte characters behind prefixes of every length modulo four, so
// that the 255-byte limit falls at every position within a character.
TEST(TextFormat, cutsAnOverlongResultAtACharacterBoundaryWithin255Bytes)
{
    for (const char* unit : { "a", "é", "中", "😀" })
        for (int prefix = 0; prefix < 4; ++prefix)
        {
            SCOPED_TRACE(juce::String(prefix) + " bytes before " + utf8(unit));
            const auto arg = juce::String::repeatedString(utf8(unit), 300),
                       x = juce::String::repeatedString("x", prefix);
            const auto result = TextFormat::format(x + "%s", arg);
            const auto bytes = result.getNumBytesAsUTF8();
            EXPECT_LE(bytes, 255u);
            EXPECT_GT(bytes + std::strlen(unit), 255u) << "cut more than one character";
            EXPECT_TRUE(juce::CharPointer_UTF8::isValidString(result.toRawUTF8(), (int)bytes + 1));
            EXPECT_TRUE((x + arg).startsWith(result));
        }
    const auto arg = juce::String::repeatedString("z", 250);
    EXPECT_EQ(TextFormat::format("ab%scde", arg), "ab" + arg + "cde") << "exactly 255 bytes are kept whole";
    EXPECT_EQ(TextFormat::format("ab%scdef", arg), "ab" + arg + "cde");
}

TEST(TextFormat, neverWritesPastTheBuffer)
{
    struct
    {
        char buffer[TextFormat::bufferSize];
        char guard[64];
    } g;
    std::memset(g.guard, 0x5A, sizeof(g.guard));
    const std::string longArg(1000, 'y');
    const char* const args[TextFormat::maxArgs] = { longArg.c_str(), longArg.c_str(), nullptr, nullptr };

    EXPECT_EQ(TextFormat::formatInto(g.buffer, "%s%s%0999999999999999999999s", args), 255u);
    EXPECT_EQ(std::strlen(g.buffer), 255u);
    EXPECT_EQ(std::string(g.guard, sizeof(g.guard)), std::string(sizeof(g.guard), 0x5A));
    const auto wide = TextFormat::format("%0999999999999999999999s", "1");
    EXPECT_EQ(wide, juce::String::repeatedString("0", 255)) << "a field wider than the buffer fills it";
}
