#pragma once

#include <juce_core/juce_core.h>

// Interface language, in the order of the text tables. LANG_MAX is the count and also
// stands for "no language".
enum LangIdTable_t : int32_t
{
    LANG_EN = 0,
    LANG_FR,
    LANG_DE,
    LANG_ES,
    LANG_IT,
    LANG_NL,
    LANG_RU,
    LANG_PT,
    LANG_ZH_HANS,
    LANG_ZH_HANT,
    LANG_KO,
    LANG_JA,
    LANG_MAX
};

// Interface text identifier: STRID_STR_00nn takes its text from StrRes::STR_00nn.
enum StrIdTable_t : int32_t
{
    STRID_NULL_STR = 0,
    STRID_NAME_000,
    STRID_NAME_001,
    STRID_STR_0000,
    STRID_STR_0001,
    STRID_STR_0002,
    STRID_STR_0003,
    STRID_STR_0004,
    STRID_STR_0005,
    STRID_STR_0006,
    STRID_STR_0007,
    STRID_STR_0008,
    STRID_STR_0009,
    STRID_STR_0010,
    STRID_STR_0011,
    STRID_STR_0012,
    STRID_STR_0013,
    STRID_STR_0014,
    STRID_STR_0015,
    STRID_STR_0016,
    STRID_MAX
};

// What TxtLoader::Load copies from the text tables.
enum FlgTable_t : int32_t
{
    FLG_FONT_WIN = 1,
    FLG_FONT_MAC = 2,
    FLG_LANGUAGE = 3,
    FLG_STRING = 4
};

// The process-wide text service: chooses the interface language from the user's preferred
// languages when it is created, and hands out the texts of the current language, and the font
// and display name of every language, by identifier.
//
// Threading: message thread only; there is no lock, and the creation on first use is not safe
// against two first calls at once.
// Ownership: the one instance is created with new by createInstance()/getInstance() and deleted
// by releaseInstance(). Returned references stay valid while the instance lives; a reference to
// a current text keeps referring to the same slot and shows the new language after setLocale().
// Requests never fail: an identifier out of range yields the empty text.
class TxtLoader
{
public:
    virtual ~TxtLoader();

    static void createInstance();
    static TxtLoader* getInstance();
    static void releaseInstance();

    // Switches to language 0..11 and reloads the twenty texts; any other value is ignored.
    void setLocale(LangIdTable_t langId);

    const juce::String& getString(StrIdTable_t strId) const;
    // Font of the current language (empty while no language is chosen).
    const juce::String& getFont() const;
    const juce::String& getFont(LangIdTable_t langId) const;
    // Display name of a language, independent of the current language.
    const juce::String& getLang(LangIdTable_t langId) const;

    // Read directly by the main component.
    LangIdTable_t m_langId;
    juce::String m_nullStr;
    bool m_bLangEnable[LANG_MAX];

private:
    friend class TxtLoaderTestAccess; // drives the preference walk with lists built by the tests

    TxtLoader();

    // Picks the start language from the preferred-language list (first entry that begins with
    // a language code wins; otherwise English) and enables all twelve languages.
    LangIdTable_t chkLocale();
    void Load(FlgTable_t flag);
    // Chooses the start language for a freshly constructed instance.
    void chooseStartLanguage();
    void loadStrings();
    static void copyTable(const juce::String (&from)[LANG_MAX], juce::String (&to)[LANG_MAX]);

    // The preference walk. The values are CoreFoundation objects (CFPropertyListRef, CFTypeRef),
    // written as const void* to keep the platform header out of this one; none is released here.
    // Each returns LANG_MAX for "no match" except langFromPreferredList, which falls back to
    // LANG_EN.
    static LangIdTable_t langFromPreferredList(const void* value);
    static LangIdTable_t langFromEntry(const void* entry);
    static LangIdTable_t langFromIdentifier(const juce::String& identifier);

    juce::String m_font[LANG_MAX];
    juce::String m_langName[LANG_MAX];
    juce::String m_str[STRID_MAX];

    static TxtLoader* m_pinstance;

    JUCE_DECLARE_NON_COPYABLE(TxtLoader)
};
