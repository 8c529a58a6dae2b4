// Font resolution with fontconfig: fontconfig ranks the installed fonts for a description
// (families, language, weight, slant) and reports which characters each font has; FreeType
// (FreeTypeFace) draws them, any face of any file.
#include "FontResolver.h"
#include "FreeTypeFace.h"

#include <platform/FileNames.h>

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

namespace
{
bool getBool(FcPattern* pattern, const char* object, bool fallback)
{
    FcBool value = FcFalse;
    return FcPatternGetBool(pattern, object, 0, &value) == FcResultMatch ? value != FcFalse : fallback;
}

juce::String getString(FcPattern* pattern, const char* object)
{
    FcChar8* value = nullptr;

    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch)
        return {};

    // Empty for a text that is not UTF-8, which JUCE would copy past the room it makes for it.
    const auto* text = reinterpret_cast<const char*>(value);
    return platform::isWellFormedUtf8(text, std::strlen(text)) ? juce::String::fromUTF8(text) : juce::String();
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

// Whether the font can serve: FreeType can give outlines for it (bitmap-only and colour-bitmap
// fonts cannot, nor can the whole of a variable font, whose named instances are listed on their
// own), and its file's path can be a juce::String: the path comes from the file system as it is,
// and one that is not UTF-8 (a font the user copied from elsewhere) has none.
bool isUsable(FcPattern* font)
{
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
        !platform::isWellFormedUtf8(reinterpret_cast<const char*>(file),
                                    std::strlen(reinterpret_cast<const char*>(file))))
        return false;
    return getBool(font, FC_OUTLINE, true) && !getBool(font, FC_COLOR, false) && !getBool(font, FC_VARIABLE, false);
}

// A reference to fontconfig's configuration, loaded once for the process: loading reads every
// configuration file and font cache, which each resolver (one per window's look) would pay again.
// It is loaded anew only when FONTCONFIG_FILE names another file than the one it came from, as
// fontconfig's own loading would then read. The process keeps one reference, given up when it
// exits or on a new load; fontconfig counts the resolvers' atomically, so resolvers on any thread
// may take and drop theirs.
FcConfig* sharedConfig()
{
    static std::mutex mutex;
    static struct Loaded
    {
        FcConfig* config = nullptr;
        std::string file; // FONTCONFIG_FILE when it was loaded
        ~Loaded()
        {
            if (config != nullptr)
                FcConfigDestroy(config);
        }
    } loaded;

    const char* file = std::getenv("FONTCONFIG_FILE");
    const std::lock_guard<std::mutex> lock(mutex);
    if (loaded.config == nullptr || loaded.file != (file != nullptr ? file : ""))
    {
        if (loaded.config != nullptr)
            FcConfigDestroy(loaded.config);
        loaded.config = FcInitLoadConfigAndFonts();
        loaded.file = file != nullptr ? file : "";
    }
    return loaded.config != nullptr ? FcConfigReference(loaded.config) : nullptr;
}
} // namespace

struct FontResolver::Platform
{
    Platform() : config(sharedConfig())
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

    // The chain member for one font of fontconfig's list, shared by every chain that holds it.
    // Nothing is read from the font file here: the typeface opens it on first use.
    FallbackTypeface::Face faceFor(FcPattern* font, const FcCharSet* charset, bool embolden, FreeTypeFace::Line line)
    {
        const juce::String path = getString(font, FC_FILE);
        int index = 0;
        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        const juce::String key = path + ":" + juce::String(index) + (embolden ? ":embolden:" : ":") +
                                 juce::String(line.ascent) + ":" + juce::String(line.descent);

        auto found = faces.find(key);

        if (found != faces.end())
            return found->second;

        std::shared_ptr<FcCharSet> coverage(ownCopy(charset), FcCharSetDestroy);

        if (coverage == nullptr)
            return {};

        FallbackTypeface::Face face;
        face.typeface =
            new FreeTypeFace(getString(font, FC_FAMILY), getString(font, FC_STYLE), path, index, embolden, line);
        face.hasGlyph = [coverage](juce::juce_wchar c)
        { return FcCharSetHasChar(coverage.get(), (FcChar32)c) != FcFalse; };
        face.source = face.typeface->getName() + " " + face.typeface->getStyle() + (embolden ? " emboldened" : "") +
                      " (" + path + ", face " + juce::String(index) + ")";
        faces.emplace(key, face);
        return face;
    }

    FcConfig* config;
    std::map<juce::String, FallbackTypeface::Face> faces; // key: file, face index, emboldening, line
};

FontResolver::FontResolver() = default;

FontResolver::~FontResolver() = default;

std::vector<FallbackTypeface::Face> FontResolver::buildChain(const Description& description, bool bold, bool italic)
{
    std::vector<FallbackTypeface::Face> chain;

    // Loaded on the first request, so that a look that never draws text costs nothing.
    if (m_pPlatform == nullptr)
        m_pPlatform = std::make_unique<Platform>();

    FcConfig* config = m_pPlatform->config;

    if (config == nullptr)
        return chain;

    FcPattern* pattern = FcPatternCreate();

    for (const auto& family : description.families)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.toRawUTF8()));

    if (description.language.isNotEmpty())
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(description.language.toRawUTF8()));

    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // Untrimmed, so that a font this side cannot draw (bitmaps) does not hide the ones after it
    // that cover the same characters. The chain then keeps each usable font that adds
    // characters the fonts before it lack: the others would never draw a character.
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    FcCharSet* covered = FcCharSetCreate();

    if (fonts != nullptr && covered != nullptr)
    {
        for (int i = 0; i < fonts->nfont; ++i)
        {
            FcPattern* font = fonts->fonts[i];
            FcCharSet* charset = nullptr;
            FcBool added = FcFalse;

            if (!isUsable(font) || FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch ||
                !FcCharSetMerge(covered, charset, &added) || !added)
                continue;

            int weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
            FallbackTypeface::Face face = m_pPlatform->faceFor(font, charset, bold && weight < FC_WEIGHT_DEMIBOLD,
                                                               bold ? description.boldLine : description.line);

            if (face.typeface != nullptr)
                chain.push_back(std::move(face));
        }
    }

    if (covered != nullptr)
        FcCharSetDestroy(covered);

    if (fonts != nullptr)
        FcFontSetDestroy(fonts);

    FcPatternDestroy(pattern);
    return chain;
}
