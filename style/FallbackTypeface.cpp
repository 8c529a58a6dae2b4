#include "FallbackTypeface.h"

namespace
{
// Members' glyph numbers are below 1 << 16; the member index goes above them.
constexpr int kGlyphBits = 16;
constexpr int kGlyphMask = (1 << kGlyphBits) - 1;
constexpr size_t kMaxFaces = 0x7FFF;
} // namespace

FallbackTypeface::FallbackTypeface(const juce::String& name, const juce::String& style, std::vector<Face> chain)
    : juce::Typeface(name, style),
      m_chain(std::move(chain))
{
    if (m_chain.size() > kMaxFaces)
        m_chain.resize(kMaxFaces);
}

float FallbackTypeface::getAscent() const { return m_chain.empty() ? 0.8f : m_chain.front().typeface->getAscent(); }

float FallbackTypeface::getDescent() const { return m_chain.empty() ? 0.2f : m_chain.front().typeface->getDescent(); }

float FallbackTypeface::getHeightToPointsFactor() const
{
    return m_chain.empty() ? 1.0f : m_chain.front().typeface->getHeightToPointsFactor();
}

int FallbackTypeface::findFaceFor(juce::juce_wchar c) const
{
    if (m_chain.empty())
        return -1;

    for (size_t i = 0; i < m_chain.size(); ++i)
        if (m_chain[i].hasGlyph(c))
            return (int)i;

    return 0;
}

bool FallbackTypeface::covers(juce::juce_wchar c) const
{
    for (const auto& face : m_chain)
        if (face.hasGlyph(c))
            return true;

    return false;
}

std::vector<FallbackTypeface::Run> FallbackTypeface::splitIntoRuns(const juce::String& text) const
{
    std::vector<Run> runs;

    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const juce::juce_wchar c = p.getAndAdvance();
        const int face = findFaceFor(c);

        if (runs.empty() || runs.back().face != face)
            runs.push_back({ face, {} });

        runs.back().text += juce::String::charToString(c);
    }

    return runs;
}

float FallbackTypeface::getStringWidth(const juce::String& text)
{
    if (m_chain.empty())
        return 0.0f;

    float width = 0.0f;

    for (const auto& run : splitIntoRuns(text))
        width += m_chain[(size_t)run.face].typeface->getStringWidth(run.text);

    return width;
}

void FallbackTypeface::getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs,
                                         juce::Array<float>& xOffsets)
{
    xOffsets.add(0.0f);

    if (m_chain.empty())
    {
        // One zero-width glyph per character keeps callers' character counting intact.
        for (int i = text.length(); --i >= 0;)
        {
            glyphs.add(-1);
            xOffsets.add(0.0f);
        }
        return;
    }

    float x = 0.0f;

    for (const auto& run : splitIntoRuns(text))
    {
        juce::Array<int> runGlyphs;
        juce::Array<float> runOffsets;
        m_chain[(size_t)run.face].typeface->getGlyphPositions(run.text, runGlyphs, runOffsets);

        for (int i = 0; i < runGlyphs.size(); ++i)
        {
            const int g = runGlyphs[i];
            glyphs.add(g < 0 || g > kGlyphMask ? -1 : (run.face << kGlyphBits) | g);
            xOffsets.add(x + runOffsets[i + 1]);
        }

        x += runOffsets.isEmpty() ? 0.0f : runOffsets.getLast();
    }
}

bool FallbackTypeface::decode(int glyphNumber, int& face, int& faceGlyph) const
{
    if (glyphNumber < 0)
        return false;

    face = glyphNumber >> kGlyphBits;
    faceGlyph = glyphNumber & kGlyphMask;
    return face < (int)m_chain.size();
}

bool FallbackTypeface::getOutlineForGlyph(int glyphNumber, juce::Path& path)
{
    int face = 0, faceGlyph = 0;

    if (!decode(glyphNumber, face, faceGlyph))
        return false;

    return m_chain[(size_t)face].typeface->getOutlineForGlyph(faceGlyph, path);
}

juce::EdgeTable* FallbackTypeface::getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                                        float fontHeight)
{
    int face = 0, faceGlyph = 0;

    if (!decode(glyphNumber, face, faceGlyph))
        return nullptr;

    return m_chain[(size_t)face].typeface->getEdgeTableForGlyph(faceGlyph, transform, fontHeight);
}
