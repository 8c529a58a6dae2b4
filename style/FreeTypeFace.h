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
// normalised as JUCE's typefaces do: the line (ascent plus descent) is 1.
//
// Glyphs are drawn as JUCE draws them, hinted vertically to the pixel grid by measures that JUCE
// takes from the face's own Latin capitals and small letters; a face that lacks some of those
// letters (CJK-only faces such as Droid Sans Fallback) is drawn unhinted, because JUCE would
// measure its "missing" box instead, divide by zero and give the glyph's points no value.
//
// Threading: every member may be called from any thread; a lock per face guards its FreeType
// face and its glyph cache, and is never held while calling out of this class.
// Ownership: reference-counted like every juce::Typeface. The FreeType library is shared by all
// faces and released with the last of them.
class FreeTypeFace : public juce::Typeface
{
public:
    // The line a face is drawn on, in ems: ascender and descender (both positive) of the font it
    // stands in for, so that its letters get the size that font gives them at a font height (on
    // macOS a font's line is its hhea ascender plus descender). Zero: the face's own hhea line.
    struct Line
    {
        float ascent;
        float descent;
    };

    // family and style are the names the font matcher reported for this face; faceIndex is its
    // index in the file as the matcher gives it (named instances of variable fonts included).
    FreeTypeFace(const juce::String& family, const juce::String& style, const juce::String& file, int faceIndex,
                 bool embolden, Line line = { 0.0f, 0.0f });
    ~FreeTypeFace() override;

    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth(const juce::String& text) override;
    void getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph(int glyphNumber, juce::Path& path) override;
    juce::EdgeTable* getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                          float fontHeight) override;

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
    const Line m_line;

    mutable std::once_flag m_openOnce;
    mutable std::atomic<bool> m_opened{ false };
    mutable std::unique_ptr<State> m_pState; // set once, inside m_openOnce; then fixed apart from its caches
    mutable std::mutex m_lock;               // guards the FreeType face and the caches of m_pState

    JUCE_DECLARE_NON_COPYABLE(FreeTypeFace)
};
