// The real program (qel720-updater) as a user runs it, on this run's X server, with the simulated
// QEL-720 behind an emulated hidraw node: its processor use while it waits on the confirmation
// screen (state 1: the worker turns every 1 ms and asks for a redraw each time) and while it sends
// the main file (device date different: all four regions), and its peak resident memory over the
// whole update. Processor time is the program's own (all its threads), from /proc/<pid>/stat; the
// X server's work for the program's drawing is not in it.
//
// Run under a display (xvfb-run -a -s "-screen 0 1024x768x24" build/bench/app/program_bench, or the
// run_benchmarks target); started without umockdev's preload library, it restarts itself under
// umockdev-wrapper.
#include "../UmockdevRestart.h"
#include "BenchDisplay.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <UmockdevHidTestbed.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kVersionQuery = 0x01, kFinish = 0x06, kPrepare = 0x08;
constexpr double kWaitSeconds = 5.0;

testsupport::UmockdevHidTestbed& testbed()
{
    static testsupport::UmockdevHidTestbed instance; // before any udev monitor exists
    return instance;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done())
    {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// This process's environment, with the variables of `changes` replaced or added.
std::vector<std::string> environment(const std::vector<std::string>& changes, bool keepPreload)
{
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e)
    {
        const std::string entry(*e);
        const auto name = entry.substr(0, entry.find('=') + 1);
        bool replaced = !keepPreload && name == "LD_PRELOAD=";
        for (const auto& change : changes)
            replaced = replaced || change.compare(0, name.size(), name) == 0;
        if (!replaced)
            result.push_back(entry);
    }
    result.insert(result.end(), changes.begin(), changes.end());
    return result;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    std::vector<char*> args, vars;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& v : env)
        vars.push_back(const_cast<char*>(v.c_str()));
    args.push_back(nullptr);
    vars.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), vars.data()) == 0 ? pid : -1;
}

// Return on the focused button. The X server has no window manager, so the keyboard goes to the
// window under the pointer, the centred program window.
void pressReturn()
{
    const pid_t pid = spawn({ "xdotool", "key", "Return" }, environment({}, false));
    int status = 0;
    if (pid > 0)
        waitpid(pid, &status, 0);
}

// Processor seconds of every thread of the process so far, ended threads included.
double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2)); // the name may hold spaces
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
    {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return (double)(utime + stime) / (double)sysconf(_SC_CLK_TCK);
}

long statusKiB(pid_t pid, const char* key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, std::strlen(key), key) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}

// The simulated device, counting what it receives.
class CountingDevice
{
public:
    testsupport::OutputReportHandler handler()
    {
        return [this](const std::uint8_t* report, std::size_t length)
        {
            if (report[1] < m_counts.size())
                ++m_counts[report[1]];
            return m_device.handleOutputReport(report, length);
        };
    }
    int received(std::uint8_t command) const { return m_counts[command]; }

    SimulatedQel720 m_device;

private:
    std::array<std::atomic<int>, 16> m_counts{};
};

struct Figures
{
    double waitCpuPercent = 0, sendCpuPercent = 0, sendSeconds = 0;
    long peakKiB = 0;
};

bool runProgram(Figures& f, std::string& error)
{
    TempFolder folder, runtime;
    chmod(runtime.file().getFullPathName().toRawUTF8(), 0700);
    const auto executable = folder.child("qel720-updater");
    if (!juce::File(QEL_UPDATER_PATH).copyFileTo(executable))
        return error = "cannot copy the program", false;
    executable.setExecutePermission(true);
    UpdateFileBuilder().patternRegions().date(0x20240315).version("1.10").write(folder.child("QEL720v110.bin"));

    CountingDevice device;
    device.m_device.setVersion(0x20230101, "1.05");
    const auto id = device.m_device.attach(testbed());
    testbed().setReportHandler(id, device.handler());

    const pid_t pid = spawn({ executable.getFullPathName().toStdString() },
                            environment({ "LANG=en_US.UTF-8", "LANGUAGE=", "LC_ALL=",
                                          "XDG_RUNTIME_DIR=" + runtime.file().getFullPathName().toStdString() },
                                        true));
    auto finish = [&](const char* why)
    {
        if (why != nullptr)
            error = why;
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        testbed().removeDevice(id);
        return why == nullptr;
    };
    if (pid <= 0)
        return finish("cannot start the program");

    // OK on the language screen, until the device checks have passed (state 1).
    if (!waitUntil(
            [&]
            {
                pressReturn();
                return waitUntil([&] { return device.received(kVersionQuery) > 0; }, 1000);
            },
            20000))
        return finish("OK had no effect");
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the confirmation screen settles

    const double waitStart = cpuSeconds(pid);
    const auto waitBegan = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(kWaitSeconds));
    const double waited = std::chrono::duration<double>(Clock::now() - waitBegan).count();
    f.waitCpuPercent = 100.0 * (cpuSeconds(pid) - waitStart) / waited;

    // Start, then the whole transfer.
    if (!waitUntil(
            [&]
            {
                pressReturn();
                return waitUntil([&] { return device.received(kPrepare) > 0; }, 1000);
            },
            10000))
        return finish("Start had no effect");
    const double sendStart = cpuSeconds(pid);
    const auto sendBegan = Clock::now();
    if (!waitUntil([&] { return device.received(kFinish) > 0; }, 120000))
        return finish("the update did not finish");
    f.sendSeconds = std::chrono::duration<double>(Clock::now() - sendBegan).count();
    f.sendCpuPercent = 100.0 * (cpuSeconds(pid) - sendStart) / f.sendSeconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the completion screen
    f.peakKiB = statusKiB(pid, "VmHWM:");
    return finish(nullptr);
}

void RealProgramOnHidraw(benchmark::State& state)
{
    std::vector<Figures> runs;
    for (auto _ : state)
    {
        Figures f;
        std::string error;
        if (!runProgram(f, error))
        {
            state.SkipWithError(error.c_str());
            return;
        }
        runs.push_back(f);
        std::printf("program: waiting for Start %.1f %% of one core; sending %.1f %% of one core for %.1f s; "
                    "peak resident %.1f MB\n",
                    f.waitCpuPercent, f.sendCpuPercent, f.sendSeconds, f.peakKiB / 1024.0);
    }
    auto medianOf = [&](auto field)
    {
        std::vector<double> values;
        for (const auto& f : runs)
            values.push_back((double)(f.*field));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    state.counters["wait_cpu_pct"] = medianOf(&Figures::waitCpuPercent);
    state.counters["send_cpu_pct"] = medianOf(&Figures::sendCpuPercent);
    state.counters["peak_rss_mb"] = medianOf(&Figures::peakKiB) / 1024.0;
}
} // namespace

BENCHMARK(RealProgramOnHidraw)->Iterations(3)->Unit(benchmark::kSecond);

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
