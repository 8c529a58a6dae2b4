#include <platform/CoreFoundation.h>
#include <platform/LocaleIdentifiers.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using Identifiers = std::vector<std::string>;

TEST (PosixLocaleNames, BecomeIdentifiersWithoutCodesetOrModifier)
{
    using platform::localeIdentifierFromPosixName;
    EXPECT_EQ (localeIdentifierFromPosixName ("fr_CA.UTF-8"), "fr_CA");
    EXPECT_EQ (localeIdentifierFromPosixName ("de_DE@euro"), "de_DE");
    EXPECT_EQ (localeIdentifierFromPosixName ("pt_BR"), "pt_BR");
    EXPECT_EQ (localeIdentifierFromPosixName ("ja_JP.eucJP"), "ja_JP");
    EXPECT_EQ (localeIdentifierFromPosixName ("en"), "en");
}

TEST (PosixLocaleNames, ChineseRegionsGetTheirScript)
{
    using platform::localeIdentifierFromPosixName;
    EXPECT_EQ (localeIdentifierFromPosixName ("zh_CN.UTF-8"), "zh-Hans_CN");
    EXPECT_EQ (localeIdentifierFromPosixName ("zh_SG"), "zh-Hans_SG");
    EXPECT_EQ (localeIdentifierFromPosixName ("zh_TW"), "zh-Hant_TW");
    EXPECT_EQ (localeIdentifierFromPosixName ("zh_HK.UTF-8"), "zh-Hant_HK");
    EXPECT_EQ (localeIdentifierFromPosixName ("zh"), "zh"); // no region, no script to infer
}

TEST (PosixLocaleNames, CAndPosixGiveNothing)
{
    using platform::localeIdentifierFromPosixName;
    EXPECT_EQ (localeIdentifierFromPosixName ("C"), "");
    EXPECT_EQ (localeIdentifierFromPosixName ("POSIX"), "");
    EXPECT_EQ (localeIdentifierFromPosixName ("C.UTF-8"), "");
    EXPECT_EQ (localeIdentifierFromPosixName (""), "");
}

TEST (PreferredLanguageList, LanguageEntriesComeFirstThenTheMessagesLocale)
{
    using platform::preferredLanguages;
    EXPECT_EQ (preferredLanguages ("fr_CA:en", "", "", "de_DE.UTF-8"), (Identifiers { "fr_CA", "en", "de_DE" }));
    EXPECT_EQ (preferredLanguages ("", "", "", "ko_KR.UTF-8"), (Identifiers { "ko_KR" }));
}

TEST (PreferredLanguageList, LcAllThenLcMessagesThenLangGiveTheOneLocaleEntry)
{
    using platform::preferredLanguages;
    EXPECT_EQ (preferredLanguages ("", "it_IT", "es_ES", "nl_NL"), (Identifiers { "it_IT" }));
    EXPECT_EQ (preferredLanguages ("", "", "es_ES", "nl_NL"), (Identifiers { "es_ES" }));
}

TEST (PreferredLanguageList, LanguageIsIgnoredUnderTheCLocaleOrWithoutOne)
{
    using platform::preferredLanguages;
    EXPECT_EQ (preferredLanguages ("fr", "C", "", "de_DE"), Identifiers {});
    EXPECT_EQ (preferredLanguages ("fr", "", "", "POSIX"), Identifiers {});
    EXPECT_EQ (preferredLanguages ("fr", "", "", ""), Identifiers {});
}

TEST (PreferredLanguageList, EmptyAndCEntriesOfLanguageAreLeftOut)
{
    EXPECT_EQ (platform::preferredLanguages ("::C:zh_TW:", "", "", "en_US.UTF-8"), (Identifiers { "zh-Hant_TW", "en_US" }));
}

TEST (CanonicalLocaleIdentifier, NormalisesSeparatorsCaseAndChineseScripts)
{
    auto canonical = [] (const char* text) -> std::string {
        CFStringRef input = CFStringCreateWithCString (kCFAllocatorDefault, text, kCFStringEncodingUTF8);
        CFStringRef output = CFLocaleCreateCanonicalLocaleIdentifierFromString (kCFAllocatorDefault, input);
        CFRelease (input);
        if (output == nullptr)
            return "(null)";
        char buffer[64] = {};
        CFStringGetCString (output, buffer, sizeof buffer, kCFStringEncodingASCII);
        EXPECT_EQ (CFGetRetainCount (output), 1);
        CFRelease (output);
        return buffer;
    };
    EXPECT_EQ (canonical ("en-US"), "en_US");
    EXPECT_EQ (canonical ("EN_gb"), "en_GB");
    EXPECT_EQ (canonical ("zh_CN"), "zh-Hans_CN");
    EXPECT_EQ (canonical ("zh-Hans"), "zh-Hans");
    EXPECT_EQ (canonical ("zh-hant-tw"), "zh-Hant_TW");
    EXPECT_EQ (canonical ("fr_CA"), "fr_CA");
    EXPECT_EQ (canonical ("es-419"), "es_419");
    EXPECT_EQ (canonical (""), "(null)");
    EXPECT_EQ (canonical ("12"), "(null)");
}

class AppleLanguagesPreference : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (auto* name : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
            unsetenv (name);
    }

    static Identifiers read()
    {
        CFPropertyListRef value = CFPreferencesCopyAppValue (CFSTR ("AppleLanguages"), kCFPreferencesCurrentApplication);
        if (value == nullptr)
            return { "(null)" };
        Identifiers identifiers;
        EXPECT_EQ (CFGetTypeID (value), CFArrayGetTypeID());
        auto array = static_cast<CFArrayRef> (value);
        for (CFIndex i = 0; i < CFArrayGetCount (array); ++i)
        {
            auto entry = CFArrayGetValueAtIndex (array, i);
            EXPECT_EQ (CFGetTypeID (entry), CFStringGetTypeID());
            char buffer[32] = {};
            CFStringGetCString (static_cast<CFStringRef> (entry), buffer, sizeof buffer, kCFStringEncodingUTF8);
            identifiers.push_back (buffer);
        }
        CFRelease (value);
        return identifiers;
    }
};

TEST_F (AppleLanguagesPreference, IsAnArrayOfIdentifiersFromTheEnvironment)
{
    setenv ("LANGUAGE", "pt_BR:ja", 1);
    setenv ("LANG", "zh_CN.UTF-8", 1);
    EXPECT_EQ (read(), (Identifiers { "pt_BR", "ja", "zh-Hans_CN" }));
}

TEST_F (AppleLanguagesPreference, IsNullWhenTheEnvironmentNamesNoLanguage)
{
    EXPECT_EQ (read(), (Identifiers { "(null)" }));
    setenv ("LANG", "C.UTF-8", 1);
    EXPECT_EQ (read(), (Identifiers { "(null)" }));
}

TEST_F (AppleLanguagesPreference, OtherKeysHaveNoValue)
{
    setenv ("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ (CFPreferencesCopyAppValue (CFSTR ("AppleLocale"), kCFPreferencesCurrentApplication), nullptr);
}
