// A full update of the main file (device date different: all four regions, 0x1E0000 bytes) by the
// program's own window and component, through the real HID layer, against the simulated QEL-720
// that answers at once: behind the in-process device source, and behind an emulated hidraw node.
//
// The simulated device stamps every command as it receives it. The gap between two consecutive
// data chunks (or a chunk and a last-chunk length) is one whole exchange of ours: the worker builds
// and sends the report, the platform layer carries it, the reply comes back through the input
// callback on the message thread, wakes the worker, and the worker judges it. The gaps before the
// other commands hold the protocol's own pauses (a 1 ms turn of the worker's loop before each step,
// 100 ms before each status poll); what the update takes beyond those pauses is our own time.
//
// Run under a display (xvfb-run -a -s "-screen 0 1024x768x24" build/bench/app/update_bench, or the
// run_benchmarks target); started without umockdev's preload library, it restarts itself under
// umockdev-wrapper.
#include "../UmockdevRestart.h"
#include "BenchDisplay.h"
#include "MainComponent.h"
#include "MainWindow.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <AlineButton.h>
#include <FakeHidSource.h>
#include <UmockdevHidTestbed.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace juce
{
// JUCE's own step of its message loop (not in its public headers).
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kDataChunk = 0x03, kPoll = 0x05, kFinish = 0x06, kLastLength = 0x07, kPrepare = 0x08;
// Turns of the worker's loop after the last block that send nothing but finish: entries 4 to 6
// (the DSP files) are stepped over one turn each, and the next turn finishes.
constexpr int kTurnsBeforeFinish = 4;

testsupport::UmockdevHidTestbed& testbed()
{
    static testsupport::UmockdevHidTestbed instance; // before any udev monitor exists
    return instance;
}

// Serves the message loop until `done` holds; false on time-out.
bool runUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    struct Tick : juce::Timer
    {
        void timerCallback() override {}
    } tick; // wakes the loop, so that `done` is looked at while nothing else happens
    tick.startTimer(5);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (Clock::now() > deadline)
            return false;
        juce::dispatchNextMessageOnSystemQueue(false);
    }
    return true;
}

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, (std::size_t)(fraction * (double)samples.size()))];
}

double median(const std::vector<double>& samples) { return percentile(samples, 0.5); }

// The simulated device with a clock on its input.
class StampedDevice
{
public:
    struct Received
    {
        std::uint8_t command;
        Clock::time_point at;
    };

    StampedDevice() { m_log.reserve(40000); }

    testsupport::OutputReportHandler handler()
    {
        return [this](const std::uint8_t* report, std::size_t length)
        {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_log.push_back({ report[1], Clock::now() });
            }
            return m_device.handleOutputReport(report, length);
        };
    }

    std::vector<Received> log() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_log;
    }

    SimulatedQel720 m_device;

private:
    mutable std::mutex m_mutex;
    std::vector<Received> m_log;
};

// One update, taken apart from the commands' arrival times.
struct Figures
{
    double totalMs = 0, pauseMs = 0, nominalPauseMs = 0; // pauseMs: the gaps before the steps
    int exchanges = 0, shortTurns = 0, polls = 0;
    std::vector<double> exchangeUs; // one per data chunk or last-chunk length that follows another
};

Figures analyse(const std::vector<StampedDevice::Received>& log, Clock::time_point start)
{
    Figures f;
    auto isChunk = [](std::uint8_t c) { return c == kDataChunk || c == kLastLength; };
    Clock::time_point previous = start;
    std::uint8_t previousCommand = 0;
    bool started = false;
    for (const auto& r : log)
    {
        if (r.command == kPrepare)
            started = true;
        if (!started)
            continue;
        const double gapUs = microseconds(r.at - previous);
        if (isChunk(r.command) && isChunk(previousCommand))
        {
            f.exchangeUs.push_back(gapUs);
        }
        else
        {
            // A step of its own: prepare, begin block, a block's first chunk, checksum, poll, finish.
            f.pauseMs += gapUs / 1000.0;
            const int turns = r.command == kFinish ? kTurnsBeforeFinish : 1;
            (r.command == kPoll ? f.polls : f.shortTurns) += turns;
        }
        if (r.command != kFinish)
            ++f.exchanges;
        previous = r.at;
        previousCommand = r.command;
    }
    f.totalMs = microseconds(previous - start) / 1000.0;
    f.nominalPauseMs = f.shortTurns * 1.0 + f.polls * 100.0;
    return f;
}

enum class Transport
{
    InProcess,
    Hidraw
};

void FullMainFileUpdate(benchmark::State& state, Transport transport)
{
    TempFolder files;
    UpdateFileBuilder().patternRegions().date(0x20240315).version("1.10").write(files.child("QEL720v110.bin"));

    std::vector<Figures> runs;
    std::vector<double> exchangeUs;
    for (auto _ : state)
    {
        StampedDevice device;
        device.m_device.setVersion(0x20230101, "1.05");
        std::unique_ptr<testsupport::FakeHidSource> source;
        std::string key;
        int id = 0;
        if (transport == Transport::InProcess)
        {
            source = std::make_unique<testsupport::FakeHidSource>();
            source->install();
            key = device.m_device.attach(*source);
            source->setReportHandler(key, device.handler());
        }
        else
        {
            id = device.m_device.attach(testbed());
            testbed().setReportHandler(id, device.handler());
        }

        auto window = std::make_unique<MainWindow>();
        auto& main = *window->m_pMainComponent;
        main.m_updateFolder = files.file();
        main.buttonClicked(main.m_pOkButton);
        runUntil([&] { return main.m_updState != kStateLanguage || !main.isThreadRunning(); });
        const auto start = Clock::now();
        main.buttonClicked(main.m_pOkButton); // Start
        runUntil([&] { return !main.isThreadRunning(); });
        const bool finished = main.m_updState == kStateFinished;
        window.reset();
        if (source != nullptr)
            source->removeDevice(key);
        else
            testbed().removeDevice(id);
        if (!finished)
        {
            state.SkipWithError("the update did not finish");
            return;
        }

        runs.push_back(analyse(device.log(), start));
        const auto& f = runs.back();
        exchangeUs.insert(exchangeUs.end(), f.exchangeUs.begin(), f.exchangeUs.end());
        std::printf("%s: Start to finish %.0f ms, %d exchanges; gaps before the steps %.0f ms (the pauses of %d "
                    "turns of 1 ms and %d polls after 100 ms: %.0f ms); our own %.0f ms, per exchange median %.1f us, "
                    "99th percentile %.1f us\n",
                    transport == Transport::InProcess ? "in-process" : "hidraw", f.totalMs, f.exchanges, f.pauseMs,
                    f.shortTurns, f.polls, f.nominalPauseMs, f.totalMs - f.pauseMs, median(f.exchangeUs),
                    percentile(f.exchangeUs, 0.99));
    }

    auto medianOf = [&](double Figures::*field)
    {
        std::vector<double> values;
        for (const auto& f : runs)
            values.push_back(f.*field);
        return median(values);
    };
    state.counters["total_ms"] = medianOf(&Figures::totalMs);
    state.counters["pause_ms"] = medianOf(&Figures::pauseMs);
    state.counters["own_ms"] = state.counters["total_ms"] - state.counters["pause_ms"];
    state.counters["exchanges"] = runs.empty() ? 0 : runs.front().exchanges;
    state.counters["exchange_med_us"] = median(exchangeUs);
    state.counters["exchange_p99_us"] = percentile(exchangeUs, 0.99);
}
} // namespace

BENCHMARK_CAPTURE(FullMainFileUpdate, in_process, Transport::InProcess)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullMainFileUpdate, hidraw, Transport::Hidraw)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!runUnderUmockdev(argc, argv))
        return 1;
    if (!prepareDisplayForJuce())
    {
        std::fprintf(stderr, "No display: run under xvfb-run.\n");
        return 1;
    }
    testbed();
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
