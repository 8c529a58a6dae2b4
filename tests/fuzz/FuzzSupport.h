#pragma once

// What the fuzz targets share: a check that ends the run as a crash (libFuzzer keeps the input),
// JUCE's GUI with an empty in-process device source and few fonts, serving JUCE's message loop,
// and writing a target's seed corpus.

#include <FakeHidSource.h>
#include <TempFolder.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <chrono>
#include <cstdio>

#define FUZZ_CHECK(c)                                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #c), std::abort()))

namespace juce
{
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages); // JUCE's loop step, not in its headers
}

namespace fuzzsupport
{
using Bytes = std::vector<std::uint8_t>;

// A fontconfig set-up of DejaVu alone, with its cache in a folder of this process: every
// MainComponent loads fontconfig's configuration when it first lays out text, and the system's
// (dozens of configuration files, every installed font) would cost more than a run.
inline void useFewFonts()
{
    static TempFolder folder;
    const auto config = folder.child("fonts.conf");
    config.replaceWithText("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                           "<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>" +
                           folder.child("cache").getFullPathName() + "</cachedir></fontconfig>\n");
    setenv("FONTCONFIG_FILE", config.getFullPathName().toRawUTF8(), 1);
}

// JUCE's GUI classes and an installed fake HID source, made once on the calling thread (the
// message thread from then on) and never destroyed: no manager sees the system's devices. Nothing
// is shown, so no X server is used: without DISPLAY JUCE would take :0, and Xlib ends the process
// when whoever runs that server stops it.
inline testsupport::FakeHidSource& guiWithFakeDevices()
{
    static auto* gui = (setenv("DISPLAY", ":65535", 1), useFewFonts(), new juce::ScopedJuceInitialiser_GUI());
    static auto* source = []
    {
        auto* fake = new testsupport::FakeHidSource();
        fake->install();
        return fake;
    }();
    return (void)gui, *source;
}

// Serves JUCE's message loop until done() holds or the time is up; returns done().
template <typename Done>
bool pumpUntil(Done done, int timeoutMs)
{
    struct Tick : juce::Timer // JUCE's step waits for a message; the ticks make sure one comes
    {
        void timerCallback() override {}
    } tick;
    tick.startTimer(1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        juce::dispatchNextMessageOnSystemQueue(false);
    return done();
}

// With QEL_FUZZ_SEEDS=<folder> in the environment (scripts/fuzz.sh), writes the seed inputs there
// and exits: the seed corpora come from the code that reads the inputs.
inline void writeSeedsIfAsked(const std::vector<Bytes>& seeds)
{
    if (const char* folder = std::getenv("QEL_FUZZ_SEEDS"))
    {
        for (size_t i = 0; i < seeds.size(); ++i)
            juce::File(folder)
                .getChildFile("seed-" + juce::String(i))
                .replaceWithData(seeds[i].data(), seeds[i].size());
        std::exit(0);
    }
}
} // namespace fuzzsupport
