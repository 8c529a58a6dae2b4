// The program's entry: checks that it can open a window and that it is the user's only instance,
// then hands the process to JUCE's application runner.
#include "Application.h"

#include <platform/Display.h>
#include <platform/SingleInstance.h>

#include <cstdio>

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

    // A later launch hands its command line to the running instance, which comes to the front,
    // and ends here before any window exists.
    platform::SingleInstance singleInstance(Application::kName);
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add(juce::String::fromUTF8(argv[i]));
    if (!singleInstance.claim(arguments.joinIntoString(" ")))
        return 0;
    g_pSingleInstance = &singleInstance;

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
