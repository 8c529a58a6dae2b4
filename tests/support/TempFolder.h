#pragma once

#include <juce_core/juce_core.h>

// A folder of this test process's own, made with mkdtemp under the system's temporary folder,
// and deleted with everything in it when the object goes. ctest runs tests in parallel
// processes, so no two of them may share a fixed name.
class TempFolder
{
public:
    // Under the system's temporary folder, or under `parent` (to stay on its file system).
    explicit TempFolder(const juce::File& parent = juce::File::getSpecialLocation(juce::File::tempDirectory));
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const juce::File& file() const { return m_folder; }
    juce::File child(const char* name) const { return m_folder.getChildFile(name); }

private:
    juce::File m_folder;
};
