// What JUCE may be given as a path or a file name: a juce::String made of anything else corrupts
// memory when one of its characters decodes to NUL (it measures up to there, then copies every byte).

#include "FileNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FileNames, OnlyWellFormedUtf8PassesAsJuceText)
{
    const std::pair<std::string, bool> cases[] = {
        { "QEL720v105.bin", true },
        { "Mise \xC3\xA0 jour", true },       // à
        { "\xE4\xB8\xAD\xE6\x96\x87", true }, // 中文
        { "\xF0\x9F\x98\x80", true },         // U+1F600
        { "\xEF\xBF\xBF", true },             // U+FFFF
        { "\xF4\x8F\xBF\xBF", true },         // U+10FFFF
        { "Mise \xE0 jour", false },          // Latin-1 à: a lead byte without its followers
        { "caf\xE9", false },                 // a lead byte at the end
        { "\xC0\x80", false },                // NUL in two bytes
        { "\xE0\x80\x80", false },            // NUL in three bytes
        { "\xC1\xBF", false },                // overlong
        { "\xE0\x9F\xBF", false },            // overlong
        { "\xF0\x8F\xBF\xBF", false },        // overlong
        { "\xED\xA0\x80", false },            // a surrogate
        { "\xF4\x90\x80\x80", false },        // above U+10FFFF
        { "\xF8\x88\x80\x80\x80", false },    // five bytes
        { "\x80", false },                    // a follower alone
        { "\xE4\xB8", false },                // cut short
        { std::string("a\0b", 3), false },    // NUL
    };
    for (const auto& [bytes, wellFormed] : cases)
        EXPECT_EQ(platform::isWellFormedUtf8(bytes.data(), bytes.size()), wellFormed) << testing::PrintToString(bytes);
}

// A folder whose name JUCE can take is given as it is; another is reached through a descriptor
// (the update-file tests go there), or not at all when it cannot be opened.
TEST(FileNames, FolderOfAProgramIsAPathJuceCanTake)
{
    EXPECT_EQ(platform::folderOf("/opt/QEL-720 \xC3\xA0/qel720-updater"), "/opt/QEL-720 \xC3\xA0");
    EXPECT_EQ(platform::folderOf("/qel720-updater"), "/");
    EXPECT_EQ(platform::folderOf("qel720-updater"), "");
    EXPECT_EQ(platform::folderOf("/no such folder \xE0/qel720-updater"), "");
}
