#pragma once

#include "StrRes.h"

// Entry `lang` of the text array of identifier `strId` (StrIdTable_t order), for the text tests.
namespace TableTexts
{
inline const juce::String& entry(int strId, int lang)
{
    static const juce::String* const tables[STRID_MAX] = {
        StrRes::NULL_STR, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
        StrRes::STR_0002, StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
        StrRes::STR_0007, StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
        StrRes::STR_0012, StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
    };
    return tables[strId][lang];
}
} // namespace TableTexts
