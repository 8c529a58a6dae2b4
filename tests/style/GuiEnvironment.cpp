// JUCE's GUI classes, initialised once for the whole test program.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

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
