// The user's preferred languages as the text layer reads them: "AppleLanguages" from the locale
// environment, and canonical locale identifiers.

#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
// The text of a CF string, or "(null)".
std::string textOf(CFTypeRef string)
{
    char buffer[64] = "(null)";
    if (string != nullptr)
        CFStringGetCString(static_cast<CFStringRef>(string), buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}
} // namespace

TEST(AppleLanguagesPreference, IsLanguageThenTheMessagesLocaleAndOnlyWhenThatLocaleIsSetAndNotC)
{
    const struct
    {
        const char *language, *lcAll, *lcMessages, *lang;
        std::vector<std::string> expected; // empty: the preference is null
    } cases[] = {
        { "fr_CA:en", "", "", "de_DE.UTF-8", { "fr_CA", "en", "de_DE" } },
        { "", "", "", "ko_KR.UTF-8", { "ko_KR" } },
        { "", "it_IT", "es_ES", "nl_NL", { "it_IT" } }, // LC_ALL, then LC_MESSAGES, then LANG
        { "", "", "es_ES", "nl_NL", { "es_ES" } },
        { "", "", "", "zh_TW", { "zh-Hant_TW" } },
        { "fr", "C", "", "de_DE", {} },
        { "fr", "", "", "POSIX", {} },
        { "fr", "", "", "C.UTF-8", {} },
        { "fr", "", "", "", {} },
        { "::C:zh_CN:", "", "", "en_US.UTF-8", { "zh-Hans_CN", "en_US" } }, // empty and C entries left out
    };
    for (auto& c : cases)
    {
        const std::string name = std::string(c.language) + " | " + c.lcAll + " | " + c.lcMessages + " | " + c.lang;
        const std::pair<const char*, const char*> environment[] = {
            { "LANGUAGE", c.language }, { "LC_ALL", c.lcAll }, { "LC_MESSAGES", c.lcMessages }, { "LANG", c.lang }
        };
        for (auto& [variable, value] : environment)
            *value != '\0' ? setenv(variable, value, 1) : unsetenv(variable);
        CFPropertyListRef value = CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
        std::vector<std::string> identifiers;
        for (CFIndex i = 0; value != nullptr && i < CFArrayGetCount(static_cast<CFArrayRef>(value)); ++i)
            identifiers.push_back(textOf(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(value), i)));
        EXPECT_EQ(identifiers, c.expected) << name;
        EXPECT_EQ(value == nullptr, c.expected.empty()) << name;
        if (value != nullptr)
            CFRelease(value);
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
        CFStringRef output = CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault, input);
        EXPECT_EQ(textOf(output), expected) << text;
        CFRelease(input);
        if (output != nullptr)
            CFRelease(output);
    }
}
