#pragma once

// Locale identifiers as the preferences layer hands them out: language[-Script][_REGION], the
// form Apple's systems use ("fr_CA", "zh-Hans_CN", "zh-Hant_TW").
//
// Pure functions, safe on any thread.

#include <string>
#include <vector>

namespace platform
{

// Canonical form of an identifier written with '-' or '_' separators: the language in lower
// case, a four-letter script in title case, the region in upper case, further subtags in upper
// case after '_'. A POSIX codeset (".UTF-8") or modifier ("@euro") is dropped. Chinese without a
// script gets the one its region uses: CN and SG Hans, TW, HK and MO Hant. Empty when the text
// does not start with a language of 2 to 8 letters.
std::string canonicalLocaleIdentifier(const std::string& identifier);

// The identifier of a POSIX locale name ("de_DE@euro" -> "de_DE"); empty for "C", "POSIX",
// "C.<codeset>" and the empty name.
std::string localeIdentifierFromPosixName(const std::string& name);

// The user's preferred languages, most preferred first, from the environment values given:
// the entries of LANGUAGE (a colon-separated list), then the locale that governs messages, the
// first non-empty of LC_ALL, LC_MESSAGES and LANG. As with gettext, LANGUAGE counts only when that
// locale is set and is not "C" or "POSIX". Entries that give no identifier are left out.
std::vector<std::string> preferredLanguages(const std::string& language, const std::string& lcAll,
                                            const std::string& lcMessages, const std::string& lang);

} // namespace platform
