#pragma once

#include "MainComponent.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A MainComponent of 404 x 126 on JUCE's message thread, with the HID layer on an in-process
// device source: no device until a test plugs one in.
class MainComponentTest : public ::testing::Test
{
public:
    // Serves the message loop (redraws, HID callbacks) until `done` holds; false on time-out.
    static bool runUntil(const std::function<bool()>& done, int timeoutMs = 20000);

protected:
    MainComponentTest();
    ~MainComponentTest() override;

    // Builds the component (the HID link looks for the device now).
    void makeComponent();
    testsupport::FakeHidSource m_source;
    std::unique_ptr<MainComponent> m_main;
};
