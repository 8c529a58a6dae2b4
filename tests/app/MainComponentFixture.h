#pragma once

#include "MainComponent.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"

#include <AlineButton.h>

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Tests of the main component run on JUCE's message thread (initialised once per program), with
// the HID layer on an in-process device source that has no device until a test plugs one in.
class MainComponentTest : public ::testing::Test
{
public:
    // Serves the message loop (redraws, HID callbacks) until `done` holds; false on time-out.
    static bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000);

protected:
    MainComponentTest() { m_source.install(); }

    testsupport::FakeHidSource m_source;
};

// One update: its folder of update files, the simulated device and a 404 x 126 component whose
// update files are looked for in that folder. One at a time: a process has one HID holder.
class Scenario
{
public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::uint32_t kFileDate = 0x20240315;
    static constexpr const char* kDspNames[] = { "qelc1_dsp_prog.bin", "qelc1_dsp_data.bin",
                                                 "qelc1_dsp_cymbal_data.bin" };

    explicit Scenario(testsupport::FakeHidSource& source) : m_source(source) {}
    ~Scenario();

    void plugIn() { m_key = m_device.attach(m_source); }
    void unplug();
    // The main file (version 1.10) or DSP file `which` (0 program, 1 data, 2 cymbal data); its bytes.
    Bytes writeMainFile(std::uint32_t date = kFileDate);
    Bytes writeDsp(int which);
    // With the program's own reply time-out unless one is given: tests that expect no reply
    // shorten it.
    MainComponent& build(int replyTimeoutMs = 0);

    juce::int32 state() const { return m_main->m_updState.load(); }
    bool running() const { return m_main->isThreadRunning(); }
    void pressOk() { m_main->buttonClicked(m_main->m_pOkButton); }
    // OK, and the device checks to their end (state 1 or an error).
    juce::int32 checkDevice();
    // OK, Start once the checks pass, and on until the worker ends.
    juce::int32 runUpdate();

    int count(std::uint8_t command) const;
    std::uint8_t lastCommand() const; // 0xFF before the first
    // Whether the device holds `size` bytes of `file` from `offset` at `address` of the target,
    // and nothing written after them up to `limit`.
    bool holds(std::uint8_t targetId, std::size_t address, const Bytes& file, std::size_t offset, std::size_t size,
               std::size_t limit) const;

    testsupport::FakeHidSource& m_source;
    TempFolder m_files;
    SimulatedQel720 m_device;
    std::string m_key;
    std::unique_ptr<MainComponent> m_main;
};
