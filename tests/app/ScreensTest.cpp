// Every screen of the state word, drawn headless at 404 x 126 in English.
#include "MainComponentFixture.h"

#include <AlineButton.h>

#include <set>

namespace
{
struct Screen
{
    const char* name;
    juce::int32 state;
    juce::int32 mask;
    const char* message;  // what the message reads, white space left out
    const char* lineTops; // tops of the lines that hold visible glyphs
    float left;           // left of the message's first line
    bool langs, progress, icon;
    const char* ok;     // OK's caption, or null when hidden (right place when shown)
    const char* cancel; // Cancel's caption, or null when hidden
    bool cancelAlone;   // Cancel in the right place
};

const Screen kScreens[] = {
    { "language", 0, 0, "LanguageSelectionsPleaseselectalanguage.", "20 46", 20, true, false, false, "OK", "Cancel",
      false },
    { "confirm main file", 1, 8, "UpdatestheversionofyourQEL-720firmware.CurrentVersion:Ver.1.05UpdateVersion:Ver.1.10",
      "20 33 46", 20, false, false, false, "Start", "Close", false },
    { "confirm DSP files", 1, 5, "UpdateContents:+--DSPPROGRAMUPDATE+--DSPCYMBALUPDATE", "20 33 46", 20, false, false,
      false, "Start", "Close", false },
    { "prepare keeps Start and Close", 2, 8, "", "", 0, false, false, false, "Start", "Close", false },
    { "updating", 4, 8, "UpdatingyourQEL-720firmware.Pleasewaitforafewmomentsuntiltheupdateprocessiscomplete.", "20 46",
      20, false, true, false, nullptr, nullptr, false },
    { "complete", 7, 8, "TheupdateofyourversionoftheQEL-720firmwareisnowcomplete.", "20", 20, false, false, false,
      nullptr, "OK", true },
    { "not connected", 0xE21, 0, "YourQEL-720isnotconnected.ErrorID:0x0E21", "20 46", 105, false, false, true, nullptr,
      "Close", true },
    { "update file", 0xE05, 0, "Thereisanerrorintheupdatefile.ErrorID:0x0E05", "20 46", 105, false, false, true,
      nullptr, "Close", true },
    { "device removed", 0xE37, 8, "Anerrorhasoccurred.Itwasnotpossibletoupdatetheprogram.ErrorID:0x0E37", "20 33 59",
      105, false, false, true, nullptr, "Close", true },
    { "other failure, the top of the range", 0xE41, 8,
      "Anerrorhasoccurred.Itwasnotpossibletoupdatetheprogram.ErrorID:0x0E41", "20 33 59", 105, false, false, true,
      nullptr, "Close", true },
    { "identifier without text", 0xE08, 0, "", "", 0, false, false, true, nullptr, "Close", true },
    { "value without a screen", 0x10, 0, "", "", 0, false, false, false, nullptr, "Close", true },
};

class Screens : public MainComponentTest
{
protected:
    Screens()
    {
        m_main = &m_scenario.build();
        TxtLoader::getInstance()->setLocale(LANG_EN);
        m_main->m_deviceSysVer = "1.05";
        m_main->m_fileSysVer = "1.10";
    }

    void show(const Screen& screen)
    {
        m_main->m_updMask = screen.mask;
        m_main->m_updState = screen.state;
        m_main->UpdateDrawing();
    }

    juce::String messageText() const
    {
        juce::String text;
        for (auto& glyph : m_main->m_msgGlyphs)
            if (!glyph.isWhitespace())
                text += juce::String::charToString(glyph.getCharacter());
        return text;
    }

    juce::String lineTops() const
    {
        std::set<float> tops;
        for (auto& glyph : m_main->m_msgGlyphs)
            if (!glyph.isWhitespace())
                tops.insert(glyph.getBounds().getY());
        juce::StringArray lines;
        for (float top : tops)
            lines.add(juce::String(top));
        return lines.joinIntoString(" ");
    }

    Scenario m_scenario{ m_source };
    MainComponent* m_main;

    static void expectButton(AlineButton& button, const char* caption, juce::Rectangle<int> place)
    {
        EXPECT_EQ(button.isVisible(), caption != nullptr);
        if (caption == nullptr)
            return;
        EXPECT_EQ(button.getButtonText(), caption);
        EXPECT_EQ(button.getBounds(), place);
    }
};
} // namespace

TEST_F(Screens, EachStateShowsItsMessageWidgetsCaptionsAndIcon)
{
    const juce::Rectangle<int> right(284, 86, 100, 20);
    const juce::Rectangle<int> left(174, 86, 100, 20);
    for (const auto& screen : kScreens)
    {
        SCOPED_TRACE(screen.name);
        if (screen.state == 2)
            show(kScreens[1]); // state 2 keeps what state 1 showed
        show(screen);

        EXPECT_EQ(messageText(), screen.message);
        EXPECT_EQ(lineTops(), screen.lineTops);
        if (m_main->m_msgGlyphs.getNumGlyphs() > 0)
        {
            EXPECT_EQ(m_main->m_msgGlyphs.getGlyph(0).getLeft(), screen.left);
        }
        EXPECT_EQ(m_main->m_pLangs->isVisible(), screen.langs);
        EXPECT_EQ(m_main->m_pProgressBar->isVisible(), screen.progress);
        expectButton(*m_main->m_pOkButton, screen.ok, right);
        expectButton(*m_main->m_pCancelButton, screen.cancel, screen.cancelAlone ? right : left);

        // The icon's yellow at its centre, the window's grey elsewhere.
        const auto image = m_main->createComponentSnapshot(m_main->getLocalBounds());
        const auto centre = image.getPixelAt(38, 66);
        EXPECT_EQ(centre.getRed() > 200 && centre.getBlue() < 100, screen.icon) << centre.toDisplayString(true);
        EXPECT_EQ(image.getPixelAt(395, 5), juce::Colour(0xFFEAEAEA));
    }
}

TEST_F(Screens, LayoutFollowsTheComponentsSize)
{
    m_main->setSize(406, 154);
    EXPECT_EQ(m_main->m_pLangs->getBounds(), juce::Rectangle<int>(20, 74, 366, 20));
    EXPECT_EQ(m_main->m_pProgressBar->getBounds(), juce::Rectangle<int>(20, 74, 366, 20));
    EXPECT_EQ(m_main->m_pOkButton->getBounds(), juce::Rectangle<int>(286, 114, 100, 20));
    EXPECT_EQ(m_main->m_pCancelButton->getBounds(), juce::Rectangle<int>(176, 114, 100, 20));

    show(kScreens[5]); // complete: Cancel alone on the right
    m_main->setSize(404, 126);
    EXPECT_EQ(m_main->m_pCancelButton->getBounds(), juce::Rectangle<int>(284, 86, 100, 20));
}
