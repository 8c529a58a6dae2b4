#include "Loader.h"

#include "StrRes.h"
#include "Table.h"

#include <platform/CoreFoundation.h>

#include <cstring>

TxtLoader* TxtLoader::m_pinstance = nullptr;

TxtLoader::TxtLoader() : m_langId(LANG_MAX)
{
    for (bool& enabled : m_bLangEnable)
        enabled = false;
    Load(FLG_FONT_MAC);
    Load(FLG_LANGUAGE);
}

TxtLoader::~TxtLoader() = default;

void TxtLoader::createInstance()
{
    if (m_pinstance != nullptr)
        return;
    m_pinstance = new TxtLoader();
    m_pinstance->chooseStartLanguage();
}

TxtLoader* TxtLoader::getInstance()
{
    createInstance();
    return m_pinstance;
}

void TxtLoader::releaseInstance()
{
    delete m_pinstance;
    m_pinstance = nullptr;
}

void TxtLoader::chooseStartLanguage()
{
    const LangIdTable_t langId = chkLocale();
    if (langId >= LANG_EN && langId < LANG_MAX)
    {
        m_langId = langId;
        Load(FLG_STRING);
    }
}

void TxtLoader::setLocale(LangIdTable_t langId)
{
    if (langId < LANG_EN || langId >= LANG_MAX)
        return;
    m_langId = langId;
    Load(FLG_STRING);
}

const juce::String& TxtLoader::getString(StrIdTable_t strId) const
{
    return (strId >= STRID_NULL_STR && strId < STRID_MAX) ? m_str[strId] : m_nullStr;
}

const juce::String& TxtLoader::getFont() const { return getFont(m_langId); }

const juce::String& TxtLoader::getFont(LangIdTable_t langId) const
{
    return (langId >= LANG_EN && langId < LANG_MAX) ? m_font[langId] : m_nullStr;
}

const juce::String& TxtLoader::getLang(LangIdTable_t langId) const
{
    return (langId >= LANG_EN && langId < LANG_MAX) ? m_langName[langId] : m_nullStr;
}

LangIdTable_t TxtLoader::chkLocale()
{
    for (bool& enabled : m_bLangEnable)
        enabled = true;

    CFPropertyListRef value = CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication);
    if (value == nullptr)
        return LANG_EN;

    const LangIdTable_t result = langFromPreferredList(value);
    CFRelease(value);
    return result;
}

LangIdTable_t TxtLoader::langFromPreferredList(CFPropertyListRef value)
{
    if (CFGetTypeID(value) != CFArrayGetTypeID())
        return LANG_EN;

    const auto languages = static_cast<CFArrayRef>(value);
    const CFIndex count = CFArrayGetCount(languages);
    for (CFIndex i = 0; i < count; ++i)
    {
        const LangIdTable_t langId = langFromEntry(CFArrayGetValueAtIndex(languages, i));
        if (langId != LANG_MAX)
            return langId;
    }
    return LANG_EN;
}

LangIdTable_t TxtLoader::langFromEntry(CFTypeRef entry)
{
    if (entry == nullptr || CFGetTypeID(entry) != CFStringGetTypeID())
        return LANG_MAX;

    CFStringRef identifier =
        CFLocaleCreateCanonicalLocaleIdentifierFromString(kCFAllocatorDefault, static_cast<CFStringRef>(entry));
    if (identifier == nullptr)
        return LANG_MAX;

    // Codes are at most seven characters; 15 characters hold any ordinary identifier. One that
    // cannot be converted (longer, or not ASCII) is passed over instead of being matched against
    // whatever the buffer held before.
    char buffer[16];
    std::memset(buffer, 0, sizeof(buffer));
    const bool converted = CFStringGetCString(identifier, buffer, sizeof(buffer), kCFStringEncodingASCII);
    CFRelease(identifier);
    if (!converted)
        return LANG_MAX;

    return langFromIdentifier(juce::String(buffer));
}

LangIdTable_t TxtLoader::langFromIdentifier(const juce::String& identifier)
{
    for (int k = LANG_EN; k < LANG_MAX; ++k)
        if (identifier.startsWithIgnoreCase(plangList[k]))
            return static_cast<LangIdTable_t>(k);
    return LANG_MAX;
}

void TxtLoader::Load(FlgTable_t flag)
{
    switch (flag)
    {
        case FLG_FONT_WIN: copyTable(StrRes::DEFAULT_FONT_WIN, m_font); break;
        case FLG_FONT_MAC: copyTable(StrRes::DEFAULT_FONT_MAC, m_font); break;
        case FLG_LANGUAGE: copyTable(StrRes::LANGUAGE_SELECTION, m_langName); break;
        case FLG_STRING: loadStrings(); break;
        default: break;
    }
}

void TxtLoader::copyTable(const juce::String (&from)[LANG_MAX], juce::String (&to)[LANG_MAX])
{
    for (int i = 0; i < LANG_MAX; ++i)
        to[i] = from[i];
}

void TxtLoader::loadStrings()
{
    if (m_langId < LANG_EN || m_langId >= LANG_MAX)
        return;

    // In StrIdTable_t order.
    static const juce::String* const tables[STRID_MAX] = {
        StrRes::NULL_STR, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
        StrRes::STR_0002, StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
        StrRes::STR_0007, StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
        StrRes::STR_0012, StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
    };
    for (int id = 0; id < STRID_MAX; ++id)
        m_str[id] = tables[id][m_langId];
}
