#include "MainComponent.h"

MainComponent::MainComponent() = default;

bool MainComponent::SetUpdState(juce::int32 value)
{
    auto current = m_updState.load();
    while (current != kErrRemoved)
        if (m_updState.compare_exchange_weak(current, value))
            return true;
    return false;
}
