#pragma once

#include "UpdateState.h"
#include "UpdateTarget.h"

#include <juce_core/juce_core.h>

#include <atomic>

// The updater: window content and update engine in one object. This is the engine's part so
// far: the update files and the state word. Everything here runs on the message thread until
// the worker is started; after that the worker alone uses the update table.
class MainComponent
{
public:
    MainComponent();

    // Finds and checks the update files beside the executable and fills the update table, or
    // leaves the error identifier in the state word. Message thread, before the worker starts.
    void CheckUpdFile();
    // The same for the update files of another folder (the executable's folder stays the default).
    void CheckUpdFile(const juce::File& folder);

    // Checks one update file: 1 when valid, else 0xE01..0xE05. For the main file the date word
    // goes to *date and the version text to version, both before they are checked; the DSP files
    // (recognised by name) are only checked for their length and leave both untouched.
    static int ParseUpdFile(const juce::File& file, int expectedSize, unsigned int* date, juce::String& version);
    // True for a version text of the form digit, point, digit, digit.
    static bool CheckSysVer(juce::String& version);
    // CRC-16/XMODEM of the first length bytes; 0 for a length of 0 or less.
    static juce::uint16 CalcCRC(const unsigned char* data, long length);

    // Writes the state word unless it holds 0xE37 (device removed), which nothing replaces.
    // Returns whether the value was written. Safe from any thread.
    bool SetUpdState(juce::int32 value);

    // The folder searched for update files: the one that holds the running executable.
    static juce::File updateFolder();

    UpdateTarget m_updTargets[kUpdateTargetCount];
    juce::int64 m_totalDataSize = 0;
    // Written by the worker, the user's actions and the removal handler on different threads.
    std::atomic<juce::int32> m_updState{ kStateLanguage };
    juce::int32 m_updMask = 0;
    juce::uint32 m_fileDate = 0;
    juce::String m_fileSysVer;

private:
    bool CheckDspFiles(const juce::File& folder);
    void CheckMainFile(const juce::File& candidate);
    static juce::File FindMainFileCandidate(const juce::File& folder);

    JUCE_DECLARE_NON_COPYABLE(MainComponent)
};
