#pragma once

#include <juce_core/juce_core.h>

// One entry of the update table: which bytes of which file go to which device address, under
// which target id. The file checks fill it on the message thread before the worker starts; after
// that only the worker touches it.
struct UpdateTarget
{
    juce::File m_file;          // the file that holds the entry's bytes
    juce::int64 m_size = 0;     // number of bytes to send
    juce::int64 m_offset = 0;   // position of the entry's first byte in m_file
    juce::int64 m_address = 0;  // device address of the entry's first byte
    juce::int32 m_status = 0;   // UpdateStatus value, or the file check's error identifier
    juce::uint8 m_targetId = 0; // byte 0 of every report that concerns this entry
};

// Values of UpdateTarget::m_status besides the file errors 0xE01..0xE05.
enum UpdateStatus : juce::int32
{
    kStatusEmpty = 0,      // not filled
    kStatusValid = 1,      // the entry's file passed its checks
    kStatusToSend = 2,     // the device checks chose the entry for sending
    kStatusSameVersion = 3 // entry 0 only: the device already holds the file's date word
};

constexpr int kUpdateTargetCount = 7;
