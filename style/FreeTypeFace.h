#pragma once

#include <juce_graphics/juce_graphics.h>

#include <atomic>
#include <memory>
#include <mutex>

// One face of one font file (any face of a .ttc/.otc collection), drawn with FreeType: glyph
// outlines, advances and the kerning of the font's 'kern' table. Optionally emboldened
// (FT_Outline_Embolden), for a bold request that only a regular face can serve.
//
// The file is not touched until the first metric or glyph request: building a fallback chain of
// many of these costs nothing until a character needs one. FreeType then maps the file (never
// reads it whole into memory), and the face keeps only the glyphs it was asked for.
//
// Glyph numbers are FreeType glyph indices (below 65536); glyph 0 is the font's "missing" box,
// which is what a character without a glyph gets, as with JUCE's own typefaces. Metrics are
// normalised as JUCE's FreeType typefaces do: ascent plus descent is 1.
//
// Threading: every member may be called from any thread; a lock per face guards its FreeType
// face and its glyph cache, and is never held while calling out of this class.
// Ownership: reference-counted like every juce::Typeface. The FreeType library is shared by all
// faces and released with the last of them.
class FreeTypeFace : public juce::Typeface
{
public:
    // family and style are the names the font matcher reported for this face; faceIndex is its
    // index in the file as the matcher gives it (named instances of variable fonts included).
    // emBoxLine: the line is the font's em box as its OS/2 table gives it, as CJK fonts draw on
    // macOS (Hiragino, Heiti: ascent + descent = 1 em), rather than its taller hhea line; the
    // glyphs of a CJK stand-in then have the size the texts were made for.
    FreeTypeFace(const juce::String& family, const juce::String& style, const juce::String& file, int faceIndex,
                 bool embolden, bool emBoxLine = false);
    ~FreeTypeFace() override;

    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth(const juce::String& text) override;
    void getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph(int glyphNumber, juce::Path& path) override;

    const juce::String& getFile() const noexcept { return m_file; }
    int getFaceIndex() const noexcept { return m_faceIndex; }
    // Whether outlines are thickened because the font has no bold face of its own.
    bool isEmboldened() const noexcept { return m_embolden; }
    // Whether the file has been opened (by a metric or glyph request), successfully or not.
    bool hasBeenOpened() const;

private:
    struct State;

    // Opens the file on the first call; false if FreeType cannot open it.
    bool ensureOpen() const;

    const juce::String m_file;
    const int m_faceIndex;
    const bool m_embolden;
    const bool m_emBoxLine;

    mutable std::once_flag m_openOnce;
    mutable std::atomic<bool> m_opened{ false };
    mutable std::unique_ptr<State> m_pState; // set once, inside m_openOnce; then fixed apart from its caches
    mutable std::mutex m_lock;               // guards the FreeType face and the caches of m_pState

    JUCE_DECLARE_NON_COPYABLE(FreeTypeFace)
};
