#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>
#include <vector>

// A typeface that draws each character with the first typeface of a chain that has a glyph
// for it, so that one font name can show Latin, Cyrillic, Hangul, kana and Han text in the
// one asked style. A character that no member has is drawn by the first member (its "missing"
// box).
//
// Which member has a character is answered by the chain's coverage functions, without opening
// the members: a member typeface is opened (reads its font file) only when a character first
// needs it, or, for the first member, when the metrics are asked for. Runs of consecutive
// characters served by the same member are measured by that member, so kerning holds inside a
// run. Glyph numbers carry the member's index above the member's own glyph number, which must
// be below 65536 (FreeType glyph indices are). Ascent, descent and point size come from the
// first member.
//
// Threading: the chain is fixed at construction, so the object may be used from any thread on
// which its member typefaces may be used (FreeTypeFace members: any thread).
// Ownership: reference-counted like every juce::Typeface; it holds references to its members.
class FallbackTypeface : public juce::Typeface
{
public:
    struct Face
    {
        juce::Typeface::Ptr typeface;
        std::function<bool(juce::juce_wchar)> hasGlyph; // the member's character coverage
        juce::String source;                            // where the member comes from, for diagnostics
    };

    // Chains longer than 32767 members are cut to that length.
    FallbackTypeface(const juce::String& name, const juce::String& style, std::vector<Face> chain);

    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth(const juce::String& text) override;
    void getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph(int glyphNumber, juce::Path& path) override;
    juce::EdgeTable* getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                          float fontHeight) override;

    int getNumFaces() const noexcept { return (int)m_chain.size(); }
    const Face& getFace(int index) const { return m_chain.at((size_t)index); }
    // Index of the member that draws c: the first that has it, else 0; -1 for an empty chain.
    int findFaceFor(juce::juce_wchar c) const;
    // Whether some member has a glyph for c.
    bool covers(juce::juce_wchar c) const;

private:
    struct Run
    {
        int face;
        juce::String text;
    };

    std::vector<Run> splitIntoRuns(const juce::String& text) const;
    bool decode(int glyphNumber, int& face, int& faceGlyph) const;

    std::vector<Face> m_chain;

    JUCE_DECLARE_NON_COPYABLE(FallbackTypeface)
};
