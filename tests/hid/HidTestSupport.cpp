#include "HidTestSupport.h"

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "HidUtil.h"

#include <algorithm>
#include <chrono>

namespace hidtest
{

std::vector<uint8_t> makeReport(std::vector<uint8_t> head, uint8_t fill, size_t size)
{
    head.resize(size, fill);
    return head;
}

int RecordingHandler::count(const std::string& kind) const
{
    return (int)std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.kind == kind; });
}

void RecordingHandler::record(const char* kind, int argument)
{
    Event event{ kind, argument, -1, 0, {} };
    if (ctrl != nullptr)
    {
        event.connected = ctrl->m_bConnected;
        event.dataLen = ctrl->m_dataLen;
        event.data.assign(ctrl->m_data, ctrl->m_data + sizeof(ctrl->m_data));
    }
    events.push_back(std::move(event));
}

void resetHidGlobals()
{
    if (HidUtil::m_pinstance != nullptr)
        HidUtil::m_pinstance->finalize();
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
    {
        CFRelease(gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
    }
    gDeviceIndex = 0;
}

} // namespace hidtest
