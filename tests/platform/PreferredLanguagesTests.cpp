// The user's preferred languages as the text layer reads them: "AppleLanguages" from the locale
// environment, canonical locale identifiers, and their copy into the layer's fixed buffer.

#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{
// The text of a CF string, or of each entry of a CF array joined by spaces; "(null)" for none.
// Releases the value.
std::string taken(CFTypeRef value)
{
    std::string text = value == nullptr ? "(null)" : "";
    const bool isArray = value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID();
    for (CFIndex i = 0; isArray && i < CFArrayGetCount(static_cast<CFArrayRef>(value)); ++i)
        text += (i == 0 ? "" : " ") + taken(CFRetain(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(value), i)));
    char buffer[64];
    if (value != nullptr && !isArray &&
        CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8))
        text = buffer;
    if (value != nullptr)
        CFRelease(value);
    return text;
}
} // namespace

// LANGUAGE, then the messages locale (LC_ALL, LC_MESSAGES, LANG), and only while that locale is set
// and not C; empty and C entries of LANGUAGE are left out.
TEST(AppleLanguagesPreference, IsLanguageThenTheMessagesLocale)
{
    const struct
    {
        const char *language, *lcAll, *lcMessages, *lang, *expected;
    } cases[] = {
        { "fr_CA:en", "", "", "de_DE.UTF-8", "fr_CA en de_DE" },
        { "", "", "", "ko_KR.UTF-8", "ko_KR" },
        { "", "it_IT", "es_ES", "nl_NL", "it_IT" },
        { "", "", "es_ES", "nl_NL", "es_ES" },
        { "", "", "", "zh_TW", "zh-Hant_TW" },
        { "fr", "C", "", "de_DE", "(null)" },
        { "fr", "", "", "POSIX", "(null)" },
        { "fr", "", "", "C.UTF-8", "(null)" },
        { "fr", "", "", "", "(null)" },
        { "::C:zh_CN:", "", "", "en_US.UTF-8", "zh-Hans_CN en_US" },
    };
    for (auto& c : cases)
    {
        const std::pair<const char*, const char*> environment[] = {
            { "LANGUAGE", c.language }, { "LC_ALL", c.lcAll }, { "LC_MESSAGES", c.lcMessages }, { "LANG", c.lang }
        };
        for (auto& [variable, value] : environment)
            *value != '\0' ? setenv(variable, value, 1) : unsetenv(variable);
        EXPECT_EQ(taken(CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication)),
                  c.expected)
            << c.language << " | " << c.lcAll << " | " << c.lcMessages << " | " << c.lang;
    }
    EXPECT_EQ(CFPreferencesCopyAppValue(CFSTR("AppleLocale"), kCFPreferencesCurrentApplication), nullptr);
}

TEST(CanonicalLocaleIdentifier, NormalisesSeparatorsCaseCodesetsAndChineseScripts)
{
    const std::pair<const char*, const char*> cases[] = {
        { "en-US", "en_US" },
        { "EN_gb", "en_GB" },
        { "zh_CN", "zh-Hans_CN" },
        { "zh_SG", "zh-Hans_SG" },
        { "zh-Hans", "zh-Hans" },
        { "zh-hant-tw", "zh-Hant_TW" },
        { "zh_HK.UTF-8", "zh-Hant_HK" },
        { "de_DE@euro", "de_DE" },
        { "fr_CA", "fr_CA" },
        { "es-419", "es_419" },
        { "", "(null)" },
        { "12", "(null)" },
    };
    for (auto& [text, expected] : cases)
    {
        CFStringRef input = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
        EXPECT_EQ(taken(CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault, input)), expected)
            << text;
        CFRelease(input);
    }
}

// A buffer must hold the text and its zero: one exactly as long as the text is refused untouched.
TEST(CFStringGetCString, NeedsRoomForTheTerminatingZero)
{
    char buffer[8] = "#######";
    EXPECT_FALSE(CFStringGetCString(CFSTR("en_US"), buffer, 5, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "#######");
    EXPECT_TRUE(CFStringGetCString(CFSTR("en_US"), buffer, 6, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "en_US");
}
