// The program's entry: hands the process to JUCE's application runner.
#include "Application.h"

#include <platform/Display.h>

#include <cstdio>

juce::JUCEApplicationBase* juce_CreateApplication() { return new Application(); }

int main(int argc, char* argv[])
{
    // JUCE would crash centring the window on a screen that does not exist.
    if (!platform::graphicalDisplayAvailable())
    {
        std::fprintf(stderr, "The QEL-720 update program needs a graphical display (none is reachable; is DISPLAY "
                             "set?).\n");
        return 1;
    }
    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
