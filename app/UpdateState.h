#pragma once

#include <cstdint>

// Values of the update state word: states 0..7 of the update, then error identifiers.
enum UpdateState : std::int32_t
{
    kStateLanguage = 0, // first screen; after OK also the device checks
    kStateWaitStart = 1,
    kStatePrepare = 2,
    kStateBeginBlock = 3,
    kStateData = 4,
    kStateChecksum = 5,
    kStatePoll = 6,
    kStateFinished = 7,

    kErrNoFile = 0xE01,        // no update file beside the executable
    kErrFileLoad = 0xE02,      // the file cannot be loaded
    kErrFileSize = 0xE03,      // the file has not the expected length
    kErrFileForm = 0xE04,      // date word or version text out of form
    kErrFileCrc = 0xE05,       // CRC-16 wrong
    kErrDeviceVersion = 0xE11, // device date word or version text out of form
    kErrNotConnected = 0xE21,  // OK pressed while no device is connected
    kErrModeReason1 = 0xE31,
    kErrFileOpen = 0xE32, // the entry's file cannot be opened during the transfer
    kErrReason2 = 0xE33,
    kErrReason3 = 0xE34,
    kErrReason4 = 0xE35,
    kErrTimeout = 0xE36, // no reply within 10 s
    kErrRemoved = 0xE37, // device removed during the update; never overwritten
    kErrOther = 0xE41    // every other failure
};
