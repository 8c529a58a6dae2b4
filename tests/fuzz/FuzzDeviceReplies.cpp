// The worker of a real MainComponent against a device whose replies come from the input: codes,
// reasons, echo bytes, lengths 0 to 64, reports nobody asked for, removal at any command; where the
// input says so the simulated QEL-720 answers, so that whole updates get through. Checks: the run
// ends in state 7 or an error identifier; after an error nothing more reaches the device but the
// rest of a block whose chunk was refused; a block is begun, and finish sent, only after the last
// block was reported done to a status poll; the worker never waits grossly longer than its timeout.
#include "FuzzSupport.h"
#include "MainComponent.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <AlineButton.h>

#include <mutex>

using fuzzsupport::Bytes;

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kTimeoutMs = 20;
double longestGap = 0, longestUnansweredGap = 0; // after a command, over the process

// The folders' updates: DSP data alone (one block), the program alone (two blocks), an invalid
// program alone (nothing to send).
const char* const kFiles[] = { "qelc1_dsp_data.bin", "qelc1_dsp_prog.bin", "qelc1_dsp_prog.bin" };
const juce::int64 kSizes[] = { 0x20000, 0x2E000, 7 }, kTotals[] = { 0x20000, 0x2E000, 0 };
juce::File folder(int which)
{
    static TempFolder root;
    return root.child(juce::String(which).toRawUTF8());
}

struct Run
{
    explicit Run(FuzzedDataProvider& input) : in(input) {}

    void go()
    {
        key = device.attach(source);
        source.setReportHandler(key, [this](const std::uint8_t* r, size_t n) { return onCommand(r, n); });
        main = std::make_unique<MainComponent>();
        main->m_updateFolder = folder(which);
        main->m_replyTimeoutMs = kTimeoutMs;
        main->buttonClicked(main->m_pOkButton); // OK: the file checks, then the worker
        bool started = false;
        FUZZ_CHECK(fuzzsupport::pumpUntil(
            [&]
            {
                if (!started && main->m_updState.load() == kStateWaitStart)
                    started = true, main->buttonClicked(main->m_pOkButton); // Start
                return !main->isThreadRunning();
            },
            30000));
        const int s = main->m_updState.load();
        FUZZ_CHECK(s == 7 || (s >= 0xE01 && s <= 0xE05) || s == 0xE11 || s == 0xE21 || (s >= 0xE31 && s <= 0xE37) ||
                   s == 0xE41);
        if (commands > 0)
            noteGap(Clock::now());
        main.reset();
        if (!removed)
            source.removeDevice(key);
    }

    void noteGap(Clock::time_point now)
    {
        const double ms = std::chrono::duration<double, std::milli>(now - last).count();
        longestGap = std::max(longestGap, ms);
        longestUnansweredGap = answered ? longestUnansweredGap : std::max(longestUnansweredGap, ms);
        FUZZ_CHECK(ms < 100.0 * kTimeoutMs); // a gross bound: the timing is noisy
    }

    // The reply buffer has held "block done" since a poll of the block went out.
    void noteDone() { done = done || (polled && recv[0] == blockTarget && recv[1] == 0x85); }

    // Worker thread, inside the send.
    testsupport::OutputReportOutcome onCommand(const std::uint8_t* r, size_t n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto now = Clock::now();
        const int state = main->m_updState.load();
        if (commands++ > 0)
            noteGap(now);
        last = now, answered = false;
        switch (r[1])
        {
            case 0x02: // begin block
                FUZZ_CHECK(blockLength == 0 || done);
                blockTarget = r[0], blockLength = r[7] | r[8] << 8 | r[9] << 16 | r[10] << 24, sent += blockLength;
                chunks = 0, summed = polled = done = false;
                break;
            case 0x03:
            case 0x07: ++chunks; break;
            case 0x04: summed = true; break;
            case 0x05: polled = summed, noteDone(); break;
            case 0x06: FUZZ_CHECK(state == 7 && done && sent == kTotals[which]); break;
        }
        FUZZ_CHECK(state <= 7 ||
                   (state == 0xE41 && (r[1] == 0x03 || r[1] == 0x07) && chunks <= (blockLength + 61) / 62 + 1));

        const auto answer = device.handleOutputReport(r, n); // keeps the simulation in step
        std::vector<Bytes> reports;
        bool remove = false;
        const auto normal = [&]
        {
            if (answer.reply)
                reports.emplace_back(answer.reply->begin(), answer.reply->end());
        };
        const auto custom = [&]
        {
            auto report = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
            if (!report.empty() && in.ConsumeBool())
                report[0] = r[0]; // an echo that passes
            reports.push_back(report);
        };
        const bool quiet = now - start > std::chrono::seconds(2); // then nothing answers: runs end soon
        if (!quiet && normalLeft > 0)
            --normalLeft, normal();
        else if (!quiet && in.remaining_bytes() > 0)
            switch (in.ConsumeIntegralInRange(0, 6))
            {
                case 0: normalLeft = in.ConsumeIntegral<std::uint16_t>(), normal(); break;
                case 1: custom(); break;
                case 2: break; // no reply: the worker times out
                case 3: normal(), remove = true; break;
                case 4: remove = true; break;
                case 5: normal(), custom(); break; // and a report nobody waits for
                default: custom(), custom(); break;
            }
        for (const auto& report : reports)
        {
            source.injectInputReport(key, report);
            if (!report.empty() && report[0] >= 0xF0) // what reaches the component's reply buffer
                std::copy(report.begin(), report.end(), recv), answered = true, noteDone();
        }
        removed = removed || remove;
        return { std::nullopt, remove };
    }

    FuzzedDataProvider& in;
    testsupport::FakeHidSource& source = fuzzsupport::guiWithFakeDevices();
    const int which = in.ConsumeIntegralInRange(0, 2);
    SimulatedQel720 device;
    std::unique_ptr<MainComponent> main;
    std::string key;
    std::mutex mutex; // the worker's sends and the message thread's end of the run
    Clock::time_point start = Clock::now(), last;
    bool removed = false, answered = false, summed = false, polled = false, done = false;
    int commands = 0, normalLeft = 0, chunks = 0;
    std::uint8_t recv[64] = {}, blockTarget = 0; // recv: the reply buffer once all reports sent came in
    juce::int64 blockLength = 0, sent = 0;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Choices are read from the end: the folder, then one per command. Whole updates of one and of
    // two blocks; a removal after 100 commands; the first data chunk refused; nothing to send.
    fuzzsupport::writeSeedsIfAsked({ { 0xFF, 0xFF, 0, 0 },
                                     { 0xFF, 0xFF, 0, 1 },
                                     { 3, 100, 0, 0, 0 },
                                     { 0xF5, 0x81, 0x02, 0, 3, 1, 3, 0, 0, 0 },
                                     { 2 } });
    for (int which = 0; which < 3; ++which)
        folder(which).createDirectory(),
            UpdateFileBuilder::writeDsp(folder(which).getChildFile(kFiles[which]), (size_t)kSizes[which]);
    std::atexit(
        []
        {
            std::fprintf(stderr, "longest gap after a command %.1f ms, after an unanswered one %.1f ms\n", longestGap,
                         longestUnansweredGap);
        });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Run(in).go();
    return 0;
}
