#include "HidTestSupport.h"

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "HidUtil.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace hidtest
{

bool pumpUntil (const std::function<bool()>& done, double timeoutSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double> (timeoutSeconds);
    while (! done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.01, true);
    }
    return true;
}

void pumpFor (double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);
    while (std::chrono::steady_clock::now() < deadline)
        CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.01, false);
}

std::vector<uint8_t> makeReport (std::vector<uint8_t> head, uint8_t fill, size_t size)
{
    std::vector<uint8_t> report (size, fill);
    for (size_t i = 0; i < head.size() && i < size; ++i)
        report[i] = head[i];
    return report;
}

int RecordingHandler::count (const std::string& kind) const
{
    int n = 0;
    for (auto& event : events)
        n += event.kind == kind ? 1 : 0;
    return n;
}

void RecordingHandler::record (const char* kind, int argument)
{
    Event event;
    event.kind = kind;
    event.argument = argument;
    if (ctrl != nullptr)
    {
        event.connected = ctrl->m_bConnected;
        event.dataLen = ctrl->m_dataLen;
        event.data.assign (ctrl->m_data, ctrl->m_data + sizeof (ctrl->m_data));
    }
    events.push_back (std::move (event));
}

StderrCapture::StderrCapture()
{
    fflush (stderr);
    char path[] = "/tmp/hid-stderr-XXXXXX";
    m_fileFd = mkstemp (path);
    if (m_fileFd < 0)
        abort();
    unlink (path);
    m_savedFd = dup (STDERR_FILENO);
    dup2 (m_fileFd, STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    finish();
}

std::string StderrCapture::finish()
{
    if (m_savedFd < 0)
        return {};
    fflush (stderr);
    dup2 (m_savedFd, STDERR_FILENO);
    close (m_savedFd);
    m_savedFd = -1;

    std::string text;
    char buffer[512];
    lseek (m_fileFd, 0, SEEK_SET);
    for (ssize_t n; (n = read (m_fileFd, buffer, sizeof (buffer))) > 0;)
        text.append (buffer, (size_t) n);
    close (m_fileFd);
    m_fileFd = -1;
    return text;
}

void resetHidGlobals()
{
    if (HidUtil::m_pinstance != nullptr)
        HidUtil::m_pinstance->finalize();
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
    {
        CFRelease (gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
    }
    gDeviceIndex = 0;
}

} // namespace hidtest
