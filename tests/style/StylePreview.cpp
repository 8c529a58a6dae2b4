// Draws the program's looks into PNG files for a person to view:
//   style_preview [folder]      (default /tmp)
// button_*.png, progress.png, popup_items.png and text_lines.png, magnified where small.
// The focused button needs a display (run it under xvfb-run); without one it is left out.
#include "AlineButton.h"
#include "BareXServer.h"
#include "Loader.h"
#include "ProgressLookAndFeel.h"
#include "StrRes.h"
#include "StyleTestSupport.h"

#include <iostream>

namespace
{
const juce::Colour kWindowGrey(0xFFEAEAEA);

bool writePng(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat png;
    const bool ok = out.openedOk() && png.writeImageToStream(image, out);
    std::cout << (ok ? "wrote " : "FAILED ") << file.getFullPathName() << "\n";
    return ok;
}

juce::Image magnified(juce::Component& component, int scale)
{
    juce::Image image(juce::Image::ARGB, component.getWidth() * scale, component.getHeight() * scale, true);
    juce::Graphics g(image);
    g.fillAll(kWindowGrey);
    g.addTransform(juce::AffineTransform::scale((float) scale));
    component.paintEntireComponent(g, true);
    return image;
}

class PressedButton : public AlineButton
{
public:
    using AlineButton::AlineButton;
    void paintPressed(juce::Graphics& g) { paintButton(g, false, true); }
};

void writeButtons(const juce::File& folder, bool hasDisplay)
{
    PressedButton button("OK");
    button.setSize(100, 20);
    button.setColour(juce::TextButton::buttonColourId, kWindowGrey);
    button.setColour(juce::TextButton::buttonOnColourId, kWindowGrey);
    button.setStyle(juce::Font::bold);
    button.setFont(StrRes::DEFAULT_FONT_MAC[LANG_EN]);
    writePng(magnified(button, 4), folder.getChildFile("button_normal.png"));

    juce::Image pressed(juce::Image::ARGB, 400, 80, true);
    {
        juce::Graphics g(pressed);
        g.fillAll(kWindowGrey);
        g.addTransform(juce::AffineTransform::scale(4.0f));
        button.paintPressed(g);
    }
    writePng(pressed, folder.getChildFile("button_pressed.png"));

    if (! hasDisplay)
    {
        std::cout << "no display: button_focused.png left out\n";
        return;
    }

    juce::Component window;
    window.setSize(120, 40);
    window.addAndMakeVisible(button);
    button.setTopLeftPosition(10, 10);
    window.addToDesktop(juce::ComponentPeer::windowHasTitleBar);
    window.setVisible(true);

    for (int i = 0; i < 100 && ! button.hasKeyboardFocus(true); ++i)
    {
        button.grabKeyboardFocus();
        dispatchPendingMessages();
        juce::Thread::sleep(10);
    }

    std::cout << "focused: " << (button.hasKeyboardFocus(true) ? "yes" : "no") << "\n";
    writePng(magnified(button, 4), folder.getChildFile("button_focused.png"));
    window.removeFromDesktop();
}

void writeProgress(const juce::File& folder)
{
    double value = 0.5;
    juce::ProgressBar bar(value);
    ProgressLookAndFeel look;
    bar.setLookAndFeel(&look);
    bar.setColour(juce::ProgressBar::backgroundColourId, juce::Colour(0xFF080808));
    bar.setColour(juce::ProgressBar::foregroundColourId, juce::Colour(0xFF3D3D3D));
    bar.setSize(300, 20);

    juce::Image image(juce::Image::ARGB, 300 * 3, 20 * 3, true);
    {
        juce::Graphics g(image);
        g.addTransform(juce::AffineTransform::scale(3.0f));
        look.drawProgressBar(g, bar, 300, 20, 0.5, "50%");
    }
    writePng(image, folder.getChildFile("progress.png"));
    bar.setLookAndFeel(nullptr);
}

void writePopupItems(LangLookAndFeel& look, const juce::File& folder)
{
    const int itemHeight = 18;
    juce::Image image(juce::Image::ARGB, 200 * 2, (LANG_MAX + 2) * itemHeight * 2, true);
    juce::Graphics g(image);
    g.fillAll(juce::Colours::white);
    g.addTransform(juce::AffineTransform::scale(2.0f));

    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        juce::Graphics::ScopedSaveState state(g);
        g.setOrigin(0, lang * itemHeight);
        look.drawPopupMenuItem(g, { 0, 0, 200, itemHeight }, false, true, lang == LANG_DE,
                               lang == LANG_KO, false, StrRes::LANGUAGE_SELECTION[lang], {}, nullptr, nullptr);
    }

    g.setOrigin(0, LANG_MAX * itemHeight);
    look.drawPopupMenuItem(g, { 0, 0, 200, 8 }, true, true, false, false, false, {}, {}, nullptr, nullptr);
    g.setOrigin(0, 8);
    look.drawPopupMenuItem(g, { 0, 0, 200, itemHeight }, false, false, false, false, true,
                           "Other item", "Ctrl+O", nullptr, nullptr);
    writePng(image, folder.getChildFile("popup_items.png"));
}

void writeTextLines(const juce::File& folder)
{
    const int lineHeight = 34;
    juce::Image image(juce::Image::ARGB, 640 * 2, LANG_MAX * lineHeight * 2, true);
    juce::Graphics g(image);
    g.fillAll(kWindowGrey);
    g.addTransform(juce::AffineTransform::scale(2.0f));
    g.setColour(juce::Colours::black);

    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        const auto& font = StrRes::DEFAULT_FONT_MAC[lang];
        const int y = lang * lineHeight;
        g.setFont(juce::Font(font, 13.0f, juce::Font::bold));
        g.drawText(StrRes::STR_0005[lang] + "  " + StrRes::STR_0001[lang] + " " + StrRes::STR_0003[lang]
                       + "  " + StrRes::STR_0010[lang],
                   4, y, 632, 16, juce::Justification::centredLeft, false);
        g.setFont(juce::Font(font, 13.0f, juce::Font::plain));
        g.drawText(StrRes::STR_0013[lang], 4, y + 16, 632, 16, juce::Justification::centredLeft, false);
    }

    writePng(image, folder.getChildFile("text_lines.png"));
}
} // namespace

int main(int argc, char* argv[])
{
    const bool hasDisplay = prepareBareXServer(); // before JUCE opens its own connection
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File folder(argc > 1 ? juce::String(argv[1]) : juce::String("/tmp"));
    {
        ScopedLangLookAsDefault fonts;
        writeButtons(folder, hasDisplay);
        writeProgress(folder);
        writePopupItems(fonts.look(), folder);
        writeTextLines(folder);
    }
    TxtLoader::releaseInstance();
    return 0;
}
