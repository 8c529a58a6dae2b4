// Entry of the font test programs: the private font set first, since fontconfig reads
// FONTCONFIG_FILE when it is first initialised; then JUCE's GUI classes for the whole program.
#include "FontTestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    TempFolder folder;
    usePrivateFontSet(folder, privateFontFiles());

    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        result = RUN_ALL_TESTS();
    }
    return result;
}
