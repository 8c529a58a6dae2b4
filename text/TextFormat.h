#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

// Fills a localised template with up to four text arguments, as the screens do for the texts
// that name the model or a version ("Your %s is not connected.", "Ver. %s.%02s").
//
// Conversions: "%s" inserts the next argument; a width between '%' and 's' right-aligns it in a
// field of that many bytes, padded with '0' when the width starts with 0 ("%02s": "5" -> "05",
// "" -> "00") and with spaces otherwise; "%%" writes one '%'. Arguments beyond the fourth, and
// missing or null ones, are empty. Any other '%' sequence is copied as it stands.
//
// The result is UTF-8 of at most bufferSize - 1 bytes. A longer result is cut at the last
// whole UTF-8 character that fits; nothing is ever written past the buffer.
//
// Stateless and reentrant: callable from any thread.
class TextFormat
{
public:
    static constexpr std::size_t bufferSize = 256;
    static constexpr int maxArgs = 4;

    static juce::String format(const juce::String& templ, const juce::String& arg0 = juce::String(),
                               const juce::String& arg1 = juce::String(), const juce::String& arg2 = juce::String(),
                               const juce::String& arg3 = juce::String());

    // Byte-level form: templ and args are zero-terminated UTF-8 (args may be null). Writes a
    // zero-terminated result into out and returns its length in bytes (at most bufferSize - 1).
    static std::size_t formatInto(char (&out)[bufferSize], const char* templ, const char* const (&args)[maxArgs]);

private:
    // Length of the longest prefix of text[0..length) that does not end inside a UTF-8 character.
    static std::size_t wholeCharacterLength(const char* text, std::size_t length);
};
