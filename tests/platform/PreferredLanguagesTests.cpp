#include "LocaleIdentifiers.h"
#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using Identifiers = std::vector<std::string>;

namespace
{
// The text of a CF string, or "(null)".
std::string textOf(CFTypeRef string)
{
    if (string == nullptr)
        return "(null)";
    EXPECT_EQ(CFGetTypeID(string), CFStringGetTypeID());
    char buffer[64] = {};
    CFStringGetCString(static_cast<CFStringRef>(string), buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}
} // namespace

TEST(PosixLocaleNames, LoseCodesetAndModifierChineseGetsItsScriptAndCOrPosixGiveNothing)
{
    const std::pair<const char*, const char*> cases[] = {
        { "fr_CA.UTF-8", "fr_CA" },
        { "de_DE@euro", "de_DE" },
        { "pt_BR", "pt_BR" },
        { "ja_JP.eucJP", "ja_JP" },
        { "en", "en" },
        { "zh_CN.UTF-8", "zh-Hans_CN" },
        { "zh_SG", "zh-Hans_SG" },
        { "zh_TW", "zh-Hant_TW" },
        { "zh_HK.UTF-8", "zh-Hant_HK" },
        { "zh", "zh" },
        /* no region, no script to infer */ { "C", "" },
        { "POSIX", "" },
        { "C.UTF-8", "" },
        { "", "" },
    };
    for (auto& [name, identifier] : cases)
        EXPECT_EQ(platform::localeIdentifierFromPosixName(name), identifier) << name;
}

TEST(PreferredLanguageList, LanguageEntriesThenTheMessagesLocaleOnlyWhenThatLocaleIsSetAndNotC)
{
    struct Case
    {
        const char *language, *lcAll, *lcMessages, *lang;
        Identifiers expected;
    };
    const Case cases[] = {
        { "fr_CA:en", "", "", "de_DE.UTF-8", { "fr_CA", "en", "de_DE" } },
        { "", "", "", "ko_KR.UTF-8", { "ko_KR" } },
        { "", "it_IT", "es_ES", "nl_NL", { "it_IT" } }, // LC_ALL, then LC_MESSAGES, then LANG
        { "", "", "es_ES", "nl_NL", { "es_ES" } },
        { "fr", "C", "", "de_DE", {} },
        { "fr", "", "", "POSIX", {} },
        { "fr", "", "", "", {} },
        { "::C:zh_TW:", "", "", "en_US.UTF-8", { "zh-Hant_TW", "en_US" } }, // empty and C entries left out
    };
    for (auto& c : cases)
        EXPECT_EQ(platform::preferredLanguages(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
            << c.language << " | " << c.lcAll << " | " << c.lcMessages << " | " << c.lang;
}

TEST(CanonicalLocaleIdentifier, NormalisesSeparatorsCaseAndChineseScripts)
{
    const std::pair<const char*, const char*> cases[] = {
        { "en-US", "en_US" },
        { "EN_gb", "en_GB" },
        { "zh_CN", "zh-Hans_CN" },
        { "zh-Hans", "zh-Hans" },
        { "zh-hant-tw", "zh-Hant_TW" },
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
        {
            EXPECT_EQ(CFGetRetainCount(output), 1) << text;
            CFRelease(output);
        }
    }
}

class AppleLanguagesPreference : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (auto* name : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
            unsetenv(name);
    }

    static Identifiers read(CFStringRef key = CFSTR("AppleLanguages"))
    {
        CFPropertyListRef value = CFPreferencesCopyAppValue(key, kCFPreferencesCurrentApplication);
        if (value == nullptr)
            return { "(null)" };
        Identifiers identifiers;
        EXPECT_EQ(CFGetTypeID(value), CFArrayGetTypeID());
        for (CFIndex i = 0; i < CFArrayGetCount(static_cast<CFArrayRef>(value)); ++i)
            identifiers.push_back(textOf(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(value), i)));
        CFRelease(value);
        return identifiers;
    }
};

TEST_F(AppleLanguagesPreference, IsAnArrayOfIdentifiersFromTheEnvironmentOrNullWithoutALanguage)
{
    EXPECT_EQ(read(), Identifiers{ "(null)" });
    setenv("LANG", "C.UTF-8", 1);
    EXPECT_EQ(read(), Identifiers{ "(null)" });
    setenv("LANGUAGE", "pt_BR:ja", 1);
    setenv("LANG", "zh_CN.UTF-8", 1);
    EXPECT_EQ(read(), (Identifiers{ "pt_BR", "ja", "zh-Hans_CN" }));
    EXPECT_EQ(read(CFSTR("AppleLocale")), Identifiers{ "(null)" }); // no other key has a value
}
