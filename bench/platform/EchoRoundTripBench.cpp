// One 64-byte exchange through the real backend: IOHIDDeviceSetReport writes to an emulated
// hidraw node, the device side (umockdev) echoes the report back, and the input-report callback
// delivers it on this thread's run loop. Prints the median and 99th percentile of the round trip.
//
// Needs umockdev's preload library; started without it, the program restarts itself under
// umockdev-wrapper.

#include "../UmockdevRestart.h"
#include "RunLoop.h"
#include <UmockdevHidTestbed.h>
#include <platform/IOKitHID.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace
{
struct Delivered
{
    int reports = 0;
    uint8_t buffer[64]{};
};

testsupport::UmockdevHidTestbed& testbed()
{
    static testsupport::UmockdevHidTestbed instance; // before any udev monitor exists
    return instance;
}

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, (size_t)(fraction * (double)samples.size()))];
}

void EchoRoundTrip(benchmark::State& state)
{
    const auto id = testbed().addDevice({});
    testbed().setReportHandler(id,
                               [](const uint8_t* report, size_t length)
                               {
                                   testsupport::OutputReportOutcome echo;
                                   echo.reply.emplace();
                                   std::copy(report, report + std::min<size_t>(length, 64), echo.reply->begin());
                                   return echo;
                               });

    IOHIDManagerRef manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerSetDeviceMatchingMultiple(manager, nullptr);
    IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone);
    CFSetRef devices = IOHIDManagerCopyDevices(manager);
    if (devices == nullptr)
    {
        state.SkipWithError("no emulated device");
        CFRelease(manager);
        return;
    }
    IOHIDDeviceRef device = nullptr;
    CFSetApplyFunction(
        devices,
        [](const void* value, void* context) { *static_cast<IOHIDDeviceRef*>(context) = (IOHIDDeviceRef)value; },
        &device);
    CFRelease(devices);

    Delivered delivered;
    IOHIDDeviceRegisterInputReportCallback(
        device, delivered.buffer, sizeof delivered.buffer,
        [](void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
        { static_cast<Delivered*>(context)->reports++; },
        &delivered);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    std::vector<uint8_t> report(64);
    std::vector<double> microseconds;
    for (auto _ : state)
    {
        report[0] = 0xF0;
        report[1] = (uint8_t)microseconds.size();
        const int before = delivered.reports;
        const auto start = std::chrono::steady_clock::now();
        if (IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64) != kIOReturnSuccess)
        {
            state.SkipWithError("SetReport failed");
            break;
        }
        while (delivered.reports == before)
            platform::RunLoop::current()->runOnce(1.0);
        microseconds.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["median_us"] = percentile(microseconds, 0.5);
    state.counters["p99_us"] = percentile(microseconds, 0.99);
    std::printf("round trips: %zu  median %.1f us  99th percentile %.1f us\n", microseconds.size(),
                percentile(microseconds, 0.5), percentile(microseconds, 0.99));

    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFRelease(manager);
    testbed().removeDevice(id);
}
} // namespace

BENCHMARK(EchoRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!runUnderUmockdev(argc, argv))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
