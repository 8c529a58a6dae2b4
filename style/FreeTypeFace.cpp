#include "FreeTypeFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H

#include <iostream>
#include <unordered_map>

namespace
{
// One FreeType library for all faces. FreeType lets faces of one library be used on different
// threads, each face by one thread at a time, but creating and destroying faces must be
// serialised on the library: that is what its lock is for.
struct Library
{
    Library()
    {
        if (FT_Init_FreeType(&handle) != 0)
            handle = nullptr;
    }

    ~Library()
    {
        if (handle != nullptr)
            FT_Done_FreeType(handle);
    }

    FT_Library handle = nullptr;
    std::mutex lock;
};

std::shared_ptr<Library> sharedLibrary()
{
    static std::mutex lock;
    static std::weak_ptr<Library> current;

    const std::lock_guard<std::mutex> guard(lock);
    auto library = current.lock();

    if (library == nullptr)
    {
        library = std::make_shared<Library>();
        current = library;
    }

    return library;
}

constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING | FT_LOAD_IGNORE_TRANSFORM;

// FreeType's own synthetic bold thickens by 1/24 of the em; at the 13-pixel heights of the
// program's texts that is under half a pixel, too little to tell bold from regular, so this is
// a little stronger.
constexpr int kEmboldenDivisor = 18;

// The letters whose tops and bottoms JUCE's vertical hinting measures (juce::Typeface's
// HintingParams): capitals' tops, small letters' tops, capitals' bottoms.
constexpr const char* kHintingLetters = "BDEFPRTZOQ"
                                        "acegmnopqrsuvwxy"
                                        "BDELZOC";

// Collects an outline (font units, y up) into a path normalised to the face's height (y down).
struct OutlineSink
{
    juce::Path& path;
    float scale;

    float x(const FT_Vector* v) const { return scale * (float)v->x; }
    float y(const FT_Vector* v) const { return -scale * (float)v->y; }

    static OutlineSink& of(void* user) { return *static_cast<OutlineSink*>(user); }

    static int moveTo(const FT_Vector* to, void* user)
    {
        auto& sink = of(user);
        if (!sink.path.isEmpty())
            sink.path.closeSubPath();
        sink.path.startNewSubPath(sink.x(to), sink.y(to));
        return 0;
    }

    static int lineTo(const FT_Vector* to, void* user)
    {
        auto& sink = of(user);
        sink.path.lineTo(sink.x(to), sink.y(to));
        return 0;
    }

    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        auto& sink = of(user);
        sink.path.quadraticTo(sink.x(control), sink.y(control), sink.x(to), sink.y(to));
        return 0;
    }

    static int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
    {
        auto& sink = of(user);
        sink.path.cubicTo(sink.x(control1), sink.y(control1), sink.x(control2), sink.y(control2), sink.x(to),
                          sink.y(to));
        return 0;
    }
};
} // namespace

struct FreeTypeFace::State
{
    struct Glyph
    {
        int index;
        float advance; // normalised
    };

    ~State()
    {
        if (face != nullptr)
        {
            const std::lock_guard<std::mutex> guard(library->lock);
            FT_Done_Face(face);
        }
    }

    bool open(const juce::String& file, int faceIndex, bool embolden, Line line)
    {
        library = sharedLibrary();

        if (library->handle == nullptr)
            return false;

        {
            const std::lock_guard<std::mutex> guard(library->lock);

            if (FT_New_Face(library->handle, file.toRawUTF8(), faceIndex, &face) != 0)
            {
                face = nullptr;
                return false;
            }
        }

        // Symbol fonts have no Unicode map; their first map is what they have.
        if (face->charmap == nullptr && face->num_charmaps > 0)
            FT_Set_Charmap(face, face->charmaps[0]);

        setLine(line);
        strength = embolden ? (FT_Pos)(face->units_per_EM / kEmboldenDivisor) : 0;
        hasKerning = FT_HAS_KERNING(face);
        hasHintingLetters = true;

        for (const char* letter = kHintingLetters; *letter != 0; ++letter)
            hasHintingLetters = hasHintingLetters && FT_Get_Char_Index(face, (FT_ULong)*letter) != 0;

        return true;
    }

    // Font units to the normalised height: the line given, else the face's own.
    void setLine(Line line)
    {
        const float unitsPerEm = (float)juce::jmax(1, (int)face->units_per_EM);
        float lineAscent = unitsPerEm * line.ascent;
        float lineHeight = unitsPerEm * (line.ascent + line.descent);

        if (line.ascent <= 0.0f || line.descent < 0.0f)
        {
            lineAscent = (float)face->ascender;
            lineHeight = (float)(face->ascender - face->descender);
        }

        if (lineHeight <= 0.0f)
        {
            lineAscent = 0.8f * unitsPerEm;
            lineHeight = unitsPerEm;
        }

        scale = 1.0f / lineHeight;
        ascent = juce::jlimit(0.0f, 1.0f, lineAscent / lineHeight);
        emHeight = unitsPerEm / lineHeight;
    }

    // With the face's lock held.
    const Glyph& glyphFor(juce::juce_wchar c)
    {
        auto found = glyphs.find(c);

        if (found != glyphs.end())
            return found->second;

        const FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)c);
        FT_Fixed advance = 0;

        if (FT_Get_Advance(face, index, kLoadFlags, &advance) != 0)
            advance = 0;

        if (advance > 0)
            advance += strength;

        return glyphs.emplace(c, Glyph{ (int)index, scale * (float)advance }).first->second;
    }

    // With the face's lock held: the normalised kerning between two glyphs.
    float kerning(int left, int right) const
    {
        FT_Vector delta{};

        if (!hasKerning || FT_Get_Kerning(face, (FT_UInt)left, (FT_UInt)right, FT_KERNING_UNSCALED, &delta) != 0)
            return 0.0f;

        return scale * (float)delta.x;
    }

    // With the face's lock held.
    bool outline(int index, juce::Path& path)
    {
        auto found = outlines.find(index);

        if (found != outlines.end())
        {
            path = found->second;
            return true;
        }

        if (FT_Load_Glyph(face, (FT_UInt)index, kLoadFlags) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
            return false;

        FT_Outline& source = face->glyph->outline;

        if (strength > 0)
            FT_Outline_Embolden(&source, strength);

        juce::Path result;
        OutlineSink sink{ result, scale };
        const FT_Outline_Funcs funcs{
            &OutlineSink::moveTo, &OutlineSink::lineTo, &OutlineSink::conicTo, &OutlineSink::cubicTo, 0, 0
        };

        if (FT_Outline_Decompose(&source, &funcs, &sink) != 0)
            return false;

        if (!result.isEmpty())
            result.closeSubPath();

        path = outlines.emplace(index, std::move(result)).first->second;
        return true;
    }

    std::shared_ptr<Library> library;
    FT_Face face = nullptr;
    float scale = 1.0f;
    float ascent = 0.8f;
    float emHeight = 1.0f; // the em in normalised units
    FT_Pos strength = 0;
    bool hasKerning = false;
    bool hasHintingLetters = false; // whether JUCE's hinting can measure this face
    std::unordered_map<juce::juce_wchar, Glyph> glyphs;
    std::unordered_map<int, juce::Path> outlines;
};

FreeTypeFace::FreeTypeFace(const juce::String& family, const juce::String& style, const juce::String& file,
                           int faceIndex, bool embolden, Line line)
    : juce::Typeface(family, style),
      m_file(file),
      m_faceIndex(faceIndex),
      m_embolden(embolden),
      m_line(line)
{
}

FreeTypeFace::~FreeTypeFace() = default;

bool FreeTypeFace::ensureOpen() const
{
    std::call_once(m_openOnce,
                   [this]
                   {
                       auto state = std::make_unique<State>();

                       if (state->open(m_file, m_faceIndex, m_embolden, m_line))
                           m_pState = std::move(state);
                       else
                           std::cerr << "FreeTypeFace: cannot open face " << m_faceIndex << " of " << m_file << "\n";

                       m_opened = true;
                   });

    return m_pState != nullptr;
}

bool FreeTypeFace::hasBeenOpened() const { return m_opened; }

float FreeTypeFace::getAscent() const { return ensureOpen() ? m_pState->ascent : 0.8f; }

float FreeTypeFace::getDescent() const { return 1.0f - getAscent(); }

// As JUCE's macOS typefaces: points (ems) per unit of font height.
float FreeTypeFace::getHeightToPointsFactor() const { return ensureOpen() ? m_pState->emHeight : 1.0f; }

float FreeTypeFace::getStringWidth(const juce::String& text)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    getGlyphPositions(text, glyphs, offsets);
    return offsets.getLast();
}

void FreeTypeFace::getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets)
{
    xOffsets.add(0.0f);

    if (!ensureOpen())
    {
        for (int i = text.length(); --i >= 0;)
        {
            glyphs.add(-1);
            xOffsets.add(0.0f);
        }
        return;
    }

    const std::lock_guard<std::mutex> guard(m_lock);
    float x = 0.0f;
    int previous = -1;

    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const auto& glyph = m_pState->glyphFor(p.getAndAdvance());

        if (previous >= 0)
        {
            // A kerning pair moves the glyph on its right.
            const float kerning = m_pState->kerning(previous, glyph.index);
            x += kerning;
            xOffsets.getReference(xOffsets.size() - 1) = x;
        }

        glyphs.add(glyph.index);
        x += glyph.advance;
        xOffsets.add(x);
        previous = glyph.index;
    }
}

bool FreeTypeFace::getOutlineForGlyph(int glyphNumber, juce::Path& path)
{
    if (glyphNumber < 0 || !ensureOpen())
        return false;

    const std::lock_guard<std::mutex> guard(m_lock);
    return m_pState->outline(glyphNumber, path);
}

juce::EdgeTable* FreeTypeFace::getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                                    float fontHeight)
{
    if (!ensureOpen() || m_pState->hasHintingLetters)
        return juce::Typeface::getEdgeTableForGlyph(glyphNumber, transform, fontHeight);

    // As JUCE's own, without the hinting.
    juce::Path path;

    if (!getOutlineForGlyph(glyphNumber, path) || path.isEmpty())
        return nullptr;

    return new juce::EdgeTable(path.getBoundsTransformed(transform).getSmallestIntegerContainer().expanded(1, 0), path,
                               transform);
}
