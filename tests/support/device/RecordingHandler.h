#pragma once

// A HidHandler that records every event in order. With `ctrl` set it also notes the link's cache
// as each event arrives, to show what a client sees inside its callbacks.
//
// Threading: the HID layer calls it on the test's thread, where the tests read it.

#include "HidCtrl.h"
#include "HidHandler.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport
{

class RecordingHandler : public HidHandler
{
public:
    struct Event
    {
        std::string kind; // "removal", "matching" or "input"
        int connected = -1;
        unsigned long dataLen = 0;
        std::vector<uint8_t> data; // the link's m_data (all 64 bytes) at that moment
    };

    void removalCallBack() override { record("removal"); }
    void matchingCallBack() override { record("matching"); }
    void inputCallBack(int) override { record("input"); }

    int count(const std::string& kind) const
    {
        return (int)std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.kind == kind; });
    }
    const Event& last() const { return events.back(); }

    HidCtrl* ctrl = nullptr;
    std::vector<Event> events;
    // Runs after each event is recorded, inside the callback.
    std::function<void(const Event&)> onEvent;

private:
    void record(const char* kind)
    {
        Event event{ kind, -1, 0, {} };
        if (ctrl != nullptr)
            event = {
                kind, ctrl->m_bConnected, ctrl->m_dataLen, { ctrl->m_data, ctrl->m_data + sizeof(ctrl->m_data) }
            };
        events.push_back(event);
        if (onEvent)
            onEvent(events.back());
    }
};

} // namespace testsupport
