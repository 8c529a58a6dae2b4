#include "LocaleIdentifiers.h"

#include <algorithm>
#include <cctype>

namespace platform
{

namespace
{
bool allOf(const std::string& text, int (*test)(int))
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [test](char c) { return test((unsigned char)c) != 0; });
}

std::string changeCase(std::string text, int (*convert)(int))
{
    for (auto& c : text)
        c = (char)convert((unsigned char)c);
    return text;
}

std::vector<std::string> splitSubtags(const std::string& identifier)
{
    const std::string withoutSuffix = identifier.substr(0, identifier.find_first_of(".@"));
    std::vector<std::string> subtags;
    size_t start = 0;
    for (;;)
    {
        const size_t end = withoutSuffix.find_first_of("-_", start);
        subtags.push_back(withoutSuffix.substr(start, end - start));
        if (end == std::string::npos)
            return subtags;
        start = end + 1;
    }
}

std::string chineseScriptOf(const std::string& region)
{
    if (region == "CN" || region == "SG")
        return "Hans";
    if (region == "TW" || region == "HK" || region == "MO")
        return "Hant";
    return {};
}

bool isCLocale(const std::string& name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}
} // namespace

std::string canonicalLocaleIdentifier(const std::string& identifier)
{
    const auto subtags = splitSubtags(identifier);
    const std::string& language = subtags[0];
    if (!allOf(language, isalpha) || language.size() < 2 || language.size() > 8)
        return {};

    size_t next = 1;
    std::string script, region, rest;
    if (next < subtags.size() && subtags[next].size() == 4 && allOf(subtags[next], isalpha))
    {
        script = changeCase(subtags[next].substr(0, 1), toupper) + changeCase(subtags[next].substr(1), tolower);
        ++next;
    }
    if (next < subtags.size() && ((subtags[next].size() == 2 && allOf(subtags[next], isalpha)) ||
                                  (subtags[next].size() == 3 && allOf(subtags[next], isdigit))))
    {
        region = changeCase(subtags[next], toupper);
        ++next;
    }
    for (; next < subtags.size(); ++next)
        if (!subtags[next].empty())
            rest += "_" + changeCase(subtags[next], toupper);

    const std::string lowerLanguage = changeCase(language, tolower);
    if (lowerLanguage == "zh" && script.empty())
        script = chineseScriptOf(region);
    return lowerLanguage + (script.empty() ? "" : "-" + script) + (region.empty() ? "" : "_" + region) + rest;
}

std::string localeIdentifierFromPosixName(const std::string& name)
{
    return isCLocale(name) ? std::string() : canonicalLocaleIdentifier(name);
}

std::vector<std::string> preferredLanguages(const std::string& language, const std::string& lcAll,
                                            const std::string& lcMessages, const std::string& lang)
{
    const std::string& locale = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
    std::vector<std::string> identifiers;
    auto add = [&identifiers](const std::string& name)
    {
        const std::string identifier = localeIdentifierFromPosixName(name);
        if (!identifier.empty())
            identifiers.push_back(identifier);
    };

    if (!isCLocale(locale))
    {
        size_t start = 0;
        for (size_t end; (end = language.find(':', start)) != std::string::npos; start = end + 1)
            add(language.substr(start, end - start));
        add(language.substr(start));
    }
    add(locale);
    return identifiers;
}

} // namespace platform
