#pragma once

#include <juce_core/juce_core.h>

// The twelve language codes ("en", "fr", ... "zh-Hans", "zh-Hant", "ko", "ja"), in
// LangIdTable_t order, matched as prefixes of the user's preferred-language identifiers.
//
// plangList points at the first of twelve codes that live, unchanged, from static
// initialisation until process exit. Its only reader is TxtLoader::chkLocale.
extern const juce::String* const plangList;
