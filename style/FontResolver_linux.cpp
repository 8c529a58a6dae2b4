// Font resolution with fontconfig: fontconfig orders the installed fonts for a request (name,
// language, weight, slant) and reports which characters each font has; JUCE's FreeType layer
// draws them.
#include "FontResolver.h"

#include <fontconfig/fontconfig.h>

#include <iostream>

namespace
{
juce::StringArray getStrings(FcPattern* pattern, const char* object)
{
    juce::StringArray values;
    FcChar8* value = nullptr;

    for (int i = 0; FcPatternGetString(pattern, object, i, &value) == FcResultMatch; ++i)
        values.add(juce::String::fromUTF8(reinterpret_cast<const char*>(value)));

    return values;
}

bool getBool(FcPattern* pattern, const char* object, bool fallback)
{
    FcBool value = FcFalse;
    return FcPatternGetBool(pattern, object, 0, &value) == FcResultMatch ? value != FcFalse : fallback;
}

// JUCE knows the fonts it found in fontconfig's font folders by family and style name;
// fontconfig lists every name a font has, the font's own first.
juce::Typeface::Ptr createByName(const juce::StringArray& families, const juce::StringArray& styles)
{
    for (const auto& family : families)
    {
        const auto known = juce::Font::findAllTypefaceStyles(family);

        for (const auto& style : styles)
        {
            if (!known.contains(style, true))
                continue;

            juce::Typeface::Ptr typeface = juce::Typeface::createSystemTypefaceFor(juce::Font(family, style, 1.0f));

            // JUCE leaves the name empty when it could not open the face.
            if (typeface != nullptr && typeface->getName().isNotEmpty())
                return typeface;
        }
    }

    return nullptr;
}

// The charsets of fontconfig's font list may live in its cache files, which go away with the
// configuration; the typefaces handed out may outlive it, so each keeps a copy of its own.
FcCharSet* ownCopy(const FcCharSet* charset)
{
    FcCharSet* empty = FcCharSetCreate();
    FcCharSet* copy = FcCharSetUnion(charset, empty);
    FcCharSetDestroy(empty);
    return copy;
}

juce::Typeface::Ptr createFromFile(const juce::File& file)
{
    juce::MemoryBlock data;

    if (!file.loadFileAsData(data))
        return nullptr;

    juce::Typeface::Ptr typeface = juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
    return typeface != nullptr && typeface->getName().isNotEmpty() ? typeface : nullptr;
}
} // namespace

struct FontResolver::Platform
{
    Platform() : config(FcInitLoadConfigAndFonts())
    {
        if (config == nullptr)
            std::cerr << "FontResolver: fontconfig could not load its configuration.\n";
    }

    ~Platform()
    {
        faces.clear();

        if (config != nullptr)
            FcConfigDestroy(config);
    }

    // The chain member for one font of fontconfig's list, shared by every chain that holds
    // it; an empty typeface when JUCE cannot draw the font.
    FallbackTypeface::Face faceFor(FcPattern* font)
    {
        FcChar8* file = nullptr;
        int index = 0;

        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
            return {};

        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        const juce::String path = juce::String::fromUTF8(reinterpret_cast<const char*>(file));
        const juce::String key = path + ":" + juce::String(index);

        auto found = faces.find(key);

        if (found != faces.end())
            return found->second;

        FallbackTypeface::Face face = makeFace(font, path, index);
        faces.emplace(key, face);
        return face;
    }

    static FallbackTypeface::Face makeFace(FcPattern* font, const juce::String& path, int index)
    {
        FcCharSet* charset = nullptr;

        // JUCE draws outlines only: bitmap and colour-bitmap fonts cannot serve.
        if (!getBool(font, FC_OUTLINE, true) || getBool(font, FC_COLOR, false) ||
            FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch)
            return {};

        juce::Typeface::Ptr typeface = createByName(getStrings(font, FC_FAMILY), getStrings(font, FC_STYLE));

        if (typeface == nullptr && index == 0)
            typeface = createFromFile(juce::File(path));

        if (typeface == nullptr)
            return {};

        std::shared_ptr<FcCharSet> coverage(ownCopy(charset), FcCharSetDestroy);

        if (coverage == nullptr)
            return {};

        FallbackTypeface::Face face;
        face.typeface = typeface;
        face.hasGlyph = [coverage](juce::juce_wchar c)
        { return FcCharSetHasChar(coverage.get(), (FcChar32)c) != FcFalse; };
        face.source = typeface->getName() + " " + typeface->getStyle() + " (" + path + ")";
        return face;
    }

    FcConfig* config;
    std::map<juce::String, FallbackTypeface::Face> faces; // key: file and face index
};

FontResolver::FontResolver() = default;

FontResolver::~FontResolver() = default;

std::vector<FallbackTypeface::Face> FontResolver::buildChain(const juce::String& family, const juce::String& language,
                                                             bool bold, bool italic)
{
    std::vector<FallbackTypeface::Face> chain;

    // Loaded on the first request, so that a look that never draws text costs nothing.
    if (m_pPlatform == nullptr)
        m_pPlatform = std::make_unique<Platform>();

    FcConfig* config = m_pPlatform->config;

    if (config == nullptr)
        return chain;

    FcPattern* pattern = FcPatternCreate();

    if (family.isNotEmpty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.toRawUTF8()));

    if (language.isNotEmpty())
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.toRawUTF8()));

    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // Trimmed: a font stays in the list only if it adds characters that the fonts before it
    // lack, which keeps the chain short.
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(config, pattern, FcTrue, nullptr, &result);

    if (fonts != nullptr)
    {
        for (int i = 0; i < fonts->nfont; ++i)
        {
            FallbackTypeface::Face face = m_pPlatform->faceFor(fonts->fonts[i]);

            if (face.typeface != nullptr)
                chain.push_back(std::move(face));
        }

        FcFontSetDestroy(fonts);
    }

    FcPatternDestroy(pattern);

    if (chain.empty())
        std::cerr << "FontResolver: no installed font can draw \"" << family << "\".\n";

    return chain;
}
