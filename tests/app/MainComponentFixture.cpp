#include "MainComponentFixture.h"

#include "UpdateFileBuilder.h"

#include <algorithm>
#include <chrono>

namespace juce
{
// JUCE's own step of its message loop (not in its public headers): dispatches what is pending, or
// waits until something can be dispatched.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
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

bool MainComponentTest::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    // A step waits until something is dispatched; the ticks make sure something is, so that the
    // condition is looked at again while nothing else happens.
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

Scenario::~Scenario()
{
    m_main.reset();
    unplug();
}

void Scenario::unplug()
{
    if (!m_key.empty())
        m_source.removeDevice(m_key);
    m_key.clear();
}

Scenario::Bytes Scenario::writeMainFile(std::uint32_t date)
{
    const auto builder = UpdateFileBuilder().patternRegions().date(date).version("1.10");
    builder.write(m_files.child("QEL720v110.bin"));
    return builder.image();
}

Scenario::Bytes Scenario::writeDsp(int which)
{
    static const std::size_t sizes[] = { 0x2E000, 0x20000, 0x40000 };
    juce::MemoryBlock data;
    UpdateFileBuilder::writeDsp(m_files.child(kDspNames[which]), sizes[which]).loadFileAsData(data);
    const auto* bytes = static_cast<const std::uint8_t*>(data.getData());
    return Bytes(bytes, bytes + data.getSize());
}

MainComponent& Scenario::build(int replyTimeoutMs)
{
    m_main = std::make_unique<MainComponent>();
    m_main->setSize(404, 126);
    m_main->m_updateFolder = m_files.file();
    if (replyTimeoutMs > 0)
        m_main->m_replyTimeoutMs = replyTimeoutMs;
    return *m_main;
}

juce::int32 Scenario::checkDevice()
{
    pressOk();
    EXPECT_TRUE(MainComponentTest::runUntil([&] { return state() != kStateLanguage || !running(); }));
    return state();
}

juce::int32 Scenario::runUpdate()
{
    if (checkDevice() == kStateWaitStart)
        pressOk();
    // A main file takes seconds with the simulated device; a minute allows for a busy machine.
    EXPECT_TRUE(MainComponentTest::runUntil([&] { return !running(); }, 60000));
    return state();
}

int Scenario::count(std::uint8_t command) const
{
    const auto commands = m_device.commands();
    return (int)std::count_if(commands.begin(), commands.end(), [&](auto& c) { return c[1] == command; });
}

std::uint8_t Scenario::lastCommand() const
{
    const auto commands = m_device.commands();
    return commands.empty() ? 0xFF : commands.back()[1];
}

bool Scenario::holds(std::uint8_t targetId, std::size_t address, const Bytes& file, std::size_t offset,
                     std::size_t size, std::size_t limit) const
{
    const auto flash = m_device.flash(targetId);
    const auto start = flash.begin() + (long)address;
    return std::equal(start, start + (long)size, file.begin() + (long)offset) &&
           std::all_of(start + (long)size, start + (long)limit, [](auto b) { return b == 0xFF; });
}
