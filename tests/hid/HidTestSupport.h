#pragma once

// Shared helpers of the HID layer's tests: serving the test thread's run loop, a HidHandler that
// records what reaches it, and clean-up of the layer's process-wide state.

#include "HidHandler.h"
#include "RunLoopPump.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class HidCtrl;

namespace hidtest
{

using ::pumpFor;
using ::pumpUntil;

// A 64-byte report filled with `fill`, with the given leading bytes.
std::vector<uint8_t> makeReport(std::vector<uint8_t> head, uint8_t fill = 0, size_t size = 64);

// Records every event in order. When `ctrl` is set, it also notes the link's cache as the
// event arrives, to show what the client sees inside its callbacks.
class RecordingHandler : public HidHandler
{
public:
    struct Event
    {
        std::string kind; // "removal", "matching" or "input"
        int argument = 0;
        int connected = -1;
        unsigned long dataLen = 0;
        std::vector<uint8_t> data; // the link's m_data (all 64 bytes) at that moment
    };

    void removalCallBack() override { record("removal", 0); }
    void matchingCallBack() override { record("matching", 0); }
    void inputCallBack(int argument) override { record("input", argument); }

    int count(const std::string& kind) const;
    const Event& last() const { return events.back(); }

    HidCtrl* ctrl = nullptr;
    std::vector<Event> events;

private:
    void record(const char* kind, int argument);
};

// Puts the HID layer's globals back to "no manager, no list, no holder" after a test.
void resetHidGlobals();

} // namespace hidtest
