#include "TextFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

namespace
{
juce::String utf8(const char* text) { return juce::String::fromUTF8(text); }
} // namespace

// The model name and the version "%s.%02s" as the screens fill them, and what a translator's
// template may hold besides.
TEST(TextFormat, fillsPadsAndPassesThroughAsTheScreensNeed)
{
    const std::tuple<const char*, std::vector<const char*>, const char*, const char*> cases[] = {
        { "Your %s is not connected.", { "QEL-720" }, "Your QEL-720 is not connected.", "one argument" },
        { "%s-%s-%s-%s", { "a", "b", "c", "d" }, "a-b-c-d", "four in order" },
        { "Ver. %s.%02s", { "1", "5" }, "Ver. 1.05", "zero pad" },
        { "%02s.%02s", { "", "123" }, "00.123", "zero pad of nothing, a wider argument whole" },
        { "[%3s|%02s]", { "x", "é" }, "[  x|é]", "space pad without the zero flag, fields counted in bytes" },
        { "<%s|%s>", { "a" }, "<a|>", "missing argument" },
        { "%s%02s%s%s%02s", { "1", "2", "3", "4" }, "1023400", "fifth conversion" },
        { "100%% %d %s", { "x" }, "100% %d x", "percent sign, no text conversion" },
        { "%02 ends with %", { "x" }, "%02 ends with %", "unfinished conversion, lone percent sign" },
    };
    for (const auto& [templ, args, expected, rule] : cases)
    {
        juce::String a[4];
        std::transform(args.begin(), args.end(), a, utf8);
        EXPECT_EQ(TextFormat::format(utf8(templ), a[0], a[1], a[2], a[3]), utf8(expected)) << rule << ": " << templ;
    }
}

// Arguments of one- to four-byte characters behind prefixes of every length modulo four, so that
// the 255-byte limit falls at every position within a character; nothing is written past the
// buffer, whatever the arguments and the field widths.
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
            EXPECT_TRUE(bytes <= 255 && bytes + std::strlen(unit) > 255) << bytes << " bytes";
            EXPECT_TRUE(juce::CharPointer_UTF8::isValidString(result.toRawUTF8(), (int)bytes + 1));
            EXPECT_TRUE((x + arg).startsWith(result));
        }
    const auto arg = juce::String::repeatedString("z", 250);
    EXPECT_EQ(TextFormat::format("ab%scde", arg), "ab" + arg + "cde") << "exactly 255 bytes are kept whole";
    EXPECT_EQ(TextFormat::format("ab%scdef", arg), "ab" + arg + "cde");

    struct
    {
        char buffer[TextFormat::bufferSize];
        char guard[64];
    } g;
    std::memset(g.guard, 0x5A, sizeof(g.guard));
    const std::string longArg(1000, 'y');
    const char* const args[TextFormat::maxArgs] = { longArg.c_str(), longArg.c_str(), nullptr, nullptr };
    EXPECT_EQ(TextFormat::formatInto(g.buffer, "%s%s%0999999999999999999999s", args), 255u);
    EXPECT_EQ(std::string(g.guard, sizeof(g.guard)), std::string(sizeof(g.guard), 0x5A));
    EXPECT_EQ(TextFormat::format("%0999999999999999999999s", "1"), juce::String::repeatedString("0", 255));
}
