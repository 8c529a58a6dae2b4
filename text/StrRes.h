#pragma once

#include <juce_core/juce_core.h>

#include "Loader.h"

// Every interface text, language display name and font name of the updater, in the twelve
// interface languages. Each array is indexed by LangIdTable_t (LANG_EN .. LANG_JA).
//
// The arrays are built during static initialisation from 32-bit literals alone, before main()
// and before any JUCE static object, and are never changed afterwards; they live until the
// process exits. Reading them is safe from any thread once main() has begun.
namespace StrRes
{
// Font name per language for the alternative (Windows) font set; loaded only on FLG_FONT_WIN.
extern const juce::String DEFAULT_FONT_WIN[LANG_MAX];
// Font name per language for the font set in use.
extern const juce::String DEFAULT_FONT_MAC[LANG_MAX];
// Name of each language, written in that language; the names are pairwise different.
extern const juce::String LANGUAGE_SELECTION[LANG_MAX];
// The empty text in every language.
extern const juce::String NULL_STR[LANG_MAX];
// Short product name and model name; never translated.
extern const juce::String NAME_000[LANG_MAX];
extern const juce::String NAME_001[LANG_MAX];
// Interface texts. Those with arguments are templates for TextFormat ("%s", "%s.%02s").
extern const juce::String STR_0000[LANG_MAX]; // window title
extern const juce::String STR_0001[LANG_MAX]; // "OK" caption
extern const juce::String STR_0002[LANG_MAX]; // "Start" caption
extern const juce::String STR_0003[LANG_MAX]; // "Cancel" caption
extern const juce::String STR_0004[LANG_MAX]; // "Close" caption
extern const juce::String STR_0005[LANG_MAX]; // language screen heading
extern const juce::String STR_0006[LANG_MAX]; // language screen text
extern const juce::String STR_0007[LANG_MAX]; // update-file error
extern const juce::String STR_0008[LANG_MAX]; // device not connected, %s = model name
extern const juce::String STR_0009[LANG_MAX]; // heading before Start, %s = model name
extern const juce::String STR_0010[LANG_MAX]; // device version, %s.%02s = major, minor
extern const juce::String STR_0011[LANG_MAX]; // update-file version, %s.%02s = major, minor
extern const juce::String STR_0012[LANG_MAX]; // heading while updating, %s = model name
extern const juce::String STR_0013[LANG_MAX]; // text while updating
extern const juce::String STR_0014[LANG_MAX]; // completion, %s = model name (none in pt, ko)
extern const juce::String STR_0015[LANG_MAX]; // first line of the other error screens
extern const juce::String STR_0016[LANG_MAX]; // second line of those error screens
} // namespace StrRes
