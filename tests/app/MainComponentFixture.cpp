#include "MainComponentFixture.h"

#include <chrono>

namespace juce
{
// JUCE's own step of its message loop (not in its public headers): dispatches what is pending, or
// waits for the next event when asked to.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
// JUCE's GUI classes, once for the whole test program.
class GuiEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_juce = std::make_unique<juce::ScopedJuceInitialiser_GUI>(); }
    void TearDown() override { m_juce.reset(); }

private:
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> m_juce;
};

[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
} // namespace

MainComponentTest::MainComponentTest() { m_source.install(); }

MainComponentTest::~MainComponentTest() { m_main.reset(); }

void MainComponentTest::makeComponent()
{
    m_main = std::make_unique<MainComponent>();
    m_main->setSize(404, 126);
}

bool MainComponentTest::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    // JUCE's step waits until something is dispatched; the ticks make sure something is, so the
    // condition is looked at again even while nothing else happens.
    struct Tick : juce::Timer
    {
        void timerCallback() override {}
    } tick;
    tick.startTimer(5);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        juce::dispatchNextMessageOnSystemQueue(false);
    }
    return true;
}
