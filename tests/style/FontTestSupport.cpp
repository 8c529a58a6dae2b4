#include "FontTestSupport.h"

#include "StrRes.h"

#include <cstdlib>
#include <unistd.h>

namespace
{
// The machine's rule files, less those that add font or cache folders or pull in other files
// (the user's and the local configuration): the private set sees only its own fonts.
juce::String machineRules()
{
    // In name order, as fontconfig reads the folder: later rules build on earlier ones.
    auto files = juce::File("/etc/fonts/conf.d").findChildFiles(juce::File::findFiles, false, "*.conf");
    std::sort(files.begin(), files.end(),
              [](const juce::File& a, const juce::File& b) { return a.getFileName().compare(b.getFileName()) < 0; });
    juce::String includes;

    for (const auto& file : files)
    {
        const auto text = file.loadFileAsString();

        if (!text.contains("<dir") && !text.contains("<cachedir") && !text.contains("<include"))
            includes << "  <include ignore_missing=\"yes\">" << file.getFullPathName() << "</include>\n";
    }

    return includes;
}
} // namespace

void usePrivateFontSet(const TempFolder& folder, const juce::StringArray& files)
{
    const auto fonts = folder.child("fonts");
    const auto cache = folder.child("cache");
    fonts.createDirectory();
    cache.createDirectory();

    for (const auto& path : files)
        if (juce::File(path).existsAsFile())
            juce::File(path).createSymbolicLink(fonts.getChildFile(juce::File(path).getFileName()), true);

    const auto config = folder.child("fonts.conf");
    config.replaceWithText("<?xml version=\"1.0\"?>\n"
                           "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                           "<fontconfig>\n"
                           "  <dir>" +
                           fonts.getFullPathName() +
                           "</dir>\n"
                           "  <cachedir>" +
                           cache.getFullPathName() + "</cachedir>\n" + machineRules() + "</fontconfig>\n");
    setenv("FONTCONFIG_FILE", config.getFullPathName().toRawUTF8(), 1);
}

juce::String missingFontFiles()
{
    juce::StringArray missing;

    for (const auto& path : privateFontFiles())
        if (!juce::File(path).existsAsFile())
            missing.add(path);

    return missing.joinIntoString(", ");
}

juce::StringArray tableTexts(LangIdTable_t lang)
{
    const juce::String* const tables[] = {
        StrRes::LANGUAGE_SELECTION, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
        StrRes::STR_0002,           StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
        StrRes::STR_0007,           StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
        StrRes::STR_0012,           StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
    };

    juce::StringArray texts;

    for (const auto* table : tables)
        texts.add(table[lang]);

    return texts;
}

juce::Array<juce::juce_wchar> drawnCharacters(LangIdTable_t lang)
{
    juce::Array<juce::juce_wchar> characters;

    for (const auto& text : tableTexts(lang))
        for (auto p = text.getCharPointer(); !p.isEmpty();)
            if (const auto c = p.getAndAdvance(); !juce::CharacterFunctions::isWhitespace(c))
                characters.addIfNotAlreadyThere(c);

    return characters;
}

juce::String describe(juce::juce_wchar c)
{
    return "U+" + juce::String::toHexString((int)c).toUpperCase() + " " + juce::String::charToString(c);
}

std::string languageName(LangIdTable_t lang)
{
    static const char* const names[LANG_MAX] = {
        "English", "French",  "German",     "Spanish",           "Italian",
        "Dutch",   "Russian", "Portuguese", "SimplifiedChinese", "TraditionalChinese",
        "Korean",  "Japanese"
    };
    return lang >= 0 && lang < LANG_MAX ? names[lang] : "None";
}

ScopedDefaultLook::ScopedDefaultLook()
{
    m_look.setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel(&m_look);
    juce::Typeface::clearTypefaceCache();
}

ScopedDefaultLook::~ScopedDefaultLook()
{
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    juce::Typeface::clearTypefaceCache();
}

juce::Typeface::Ptr ScopedDefaultLook::typefaceFor(const juce::String& name, int style)
{
    return juce::Font(name, 13.0f, style).getTypefacePtr();
}

const FallbackTypeface::Face& memberFor(juce::Typeface& typeface, juce::juce_wchar c)
{
    auto& chain = dynamic_cast<FallbackTypeface&>(typeface);
    return chain.getFace(chain.findFaceFor(c));
}

juce::Path outlineOf(juce::Typeface& typeface, juce::juce_wchar c)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
    juce::Path path;

    if (glyphs.size() == 1)
        typeface.getOutlineForGlyph(glyphs[0], path);

    return path;
}

int glyphOf(juce::Typeface& typeface, juce::juce_wchar c)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
    return glyphs.size() == 1 ? glyphs[0] : -1;
}
