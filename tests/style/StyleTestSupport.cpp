#include "StyleTestSupport.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

// Last: its macros (None, Bool, KeyPress, ...) clash with names in the headers above.
#include <X11/Xlib.h>

// The machine's font rules, with every font rejected but those of the set's own folder. The set's
// cache comes first, so that fontconfig writes it there and not into the user's cache.
void usePrivateFontSet(const TempFolder& folder, const juce::StringArray& files)
{
    const auto fonts = folder.child("fonts"), config = folder.child("fonts.conf");
    const auto dir = fonts.getFullPathName();
    fonts.createDirectory();
    for (const juce::File file : files)
        file.createSymbolicLink(fonts.getChildFile(file.getFileName()), true);
    config.replaceWithText("<?xml version=\"1.0\"?>\n<fontconfig>\n<cachedir>" +
                           folder.child("cache").getFullPathName() +
                           "</cachedir>\n<include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n<dir>" + dir +
                           "</dir>\n<selectfont><rejectfont><glob>/*</glob></rejectfont><acceptfont><glob>" + dir +
                           "/*</glob></acceptfont></selectfont>\n</fontconfig>\n");
    setenv("FONTCONFIG_FILE", config.getFullPathName().toRawUTF8(), 1);
}

namespace
{
// JUCE looks up a few window-manager atoms without creating them and sends an invalid request
// when they are missing, which ends the program on an X server that no window manager has
// used, such as a fresh Xvfb. They are created here, on a connection kept open so that the
// server does not reset and drop them.
bool prepareDisplay()
{
    static Display* const display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    for (const char* name :
         { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE",
           "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE_NORMAL" })
        XInternAtom(display, name, False);
    XSync(display, False);
    return true;
}
} // namespace

// Before main(), so before JUCE opens the display.
const bool g_hasDisplay = prepareDisplay();

int main(int argc, char** argv)
{
    TempFolder folder;
    usePrivateFontSet(folder, kFontFiles);
    ::testing::InitGoogleTest(&argc, argv);
    const juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
