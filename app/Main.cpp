// The program's entry: checks that it can open a window and that it is the user's only instance,
// then hands the process to JUCE's application runner.
#include "Application.h"

#include <platform/Display.h>
#include <platform/FileNames.h>
#include <platform/SingleInstance.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
// Owned by main(); outlives the application object that listens on it.
platform::SingleInstance* g_pSingleInstance = nullptr;
} // namespace

juce::JUCEApplicationBase* juce_CreateApplication() { return new Application(g_pSingleInstance); }

int main(int argc, char* argv[])
{
    // JUCE would crash centring the window on a screen that does not exist.
    if (!platform::graphicalDisplayAvailable())
    {
        std::fprintf(stderr, "The QEL-720 update program needs a graphical display (none is reachable; is DISPLAY "
                             "set?).\n");
        return 1;
    }

    // The program takes no arguments, but JUCE makes each one into a juce::String, and one that is
    // not UTF-8 (a file name in another encoding, handed over by a file manager) it would copy
    // past the room it makes for it. Such an argument is left out.
    std::vector<const char*> kept{ argv[0] };
    for (int i = 1; i < argc; ++i)
        if (platform::isWellFormedUtf8(argv[i], std::strlen(argv[i])))
            kept.push_back(argv[i]);

    // A later launch hands its command line to the running instance, which comes to the front,
    // and ends here before any window exists.
    platform::SingleInstance singleInstance(Application::kName);
    juce::StringArray arguments;
    for (size_t i = 1; i < kept.size(); ++i)
        arguments.add(juce::String::fromUTF8(kept[i]));
    if (!singleInstance.claim(arguments.joinIntoString(" ")))
        return 0;
    g_pSingleInstance = &singleInstance;

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main((int)kept.size(), kept.data());
}
