#include "Table.h"

#include "Loader.h"

namespace
{
// Language codes in LangIdTable_t order. The Chinese codes carry their script subtag after a
// hyphen, as the preferred-language identifiers write it. No code is a prefix of another.
const juce::String langList[LANG_MAX] = {
    "en", "fr", "de", "es", "it", "nl", "ru", "pt", "zh-Hans", "zh-Hant", "ko", "ja",
};
} // namespace

// An address constant: set before any dynamic initialisation runs.
const juce::String* const plangList = langList;
