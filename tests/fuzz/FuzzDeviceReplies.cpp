// The worker of a real MainComponent against a device whose replies come from the input: codes,
// reasons, echo bytes, version replies, lengths 0 to 64, reports nobody asked for (also between
// commands, at a time the input picks), removal at a command, while waiting for Start or at any
// time after a command; where the input says so the simulated QEL-720 answers, so that whole
// updates get through. Checks: the run ends in state 7 or an error identifier; after an error
// nothing more reaches the device but the rest of a block whose chunk was refused (or the one
// command a removal overtakes: a report of no bytes reads as the end of the node); every data byte
// sent, and every byte the device flashes, is the checked file's byte for that address; a block's
// checksum goes out only after all its bytes, with their sum; a block is begun, and finish sent,
// only after the last block was reported done to a status poll; a command left unanswered is
// waited for no longer than the reply timeout.
// Once the files are checked, most inputs cut every entry of the update table to a size they pick,
// 1 to 240 bytes (a last chunk of any length, one to four whole ones); one in 16 keeps the real
// sizes, whole 0x20000-byte blocks and entries of several blocks. The checks take the sizes of the
// entries actually sent.
#include "FuzzSupport.h"
#include "MainComponent.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <AlineButton.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using fuzzsupport::Bytes;

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kTimeoutMs = 10;
constexpr int kPauseMs = 1; // between status polls, and after a removal
// What may pass, beyond the timeout, between an unanswered command and the worker's next step or
// recorded error. A machine busy with other jobs delays the worker's wake-up by up to 100 ms and
// more (seen at a load of 15 on 8 cores); what the bound must catch is a wait that ignores the
// shortened timeout (the program's 10 s) or never ends.
constexpr double kUnansweredSlackMs = 500;
double longestGap = 0, longestUnansweredGap = 0; // after a command, over the process

// The folders' updates: DSP data alone (one block at full size), the program alone (two blocks),
// an invalid program alone (nothing to send), a main file (the version query, then fifteen blocks;
// the simulated device holds an older date).
const char* const kFiles[] = { "qelc1_dsp_data.bin", "qelc1_dsp_prog.bin", "qelc1_dsp_prog.bin", "QEL720v123.bin" };
const juce::int64 kSizes[] = { 0x20000, 0x2E000, 7, 0 };
const std::vector<std::uint8_t> kSent[] = { { 0xF5 }, { 0xF4 }, {}, { 0xF1, 0xF2, 0xF3, 0xF7 } }; // target ids
constexpr std::uint32_t kMainFileDate = 0x20240315;
juce::File folder(int which)
{
    static TempFolder root;
    return root.child(juce::String(which).toRawUTF8());
}

// What each target id may hold once flashed: the checked file's bytes over the entry's addresses,
// 0xFF (never written) elsewhere; and those addresses.
std::map<std::uint8_t, Bytes> images;
std::map<std::uint8_t, std::pair<juce::int64, juce::int64>> ranges;
void addImage(std::uint8_t targetId, const Bytes& file, size_t offset, size_t address, size_t size)
{
    ranges[targetId] = { (juce::int64)address, (juce::int64)(address + size) };
    auto& image = images[targetId];
    image.assign(SimulatedQel720::kFlashSize, 0xFF);
    std::copy(file.begin() + (long)offset, file.begin() + (long)(offset + size), image.begin() + (long)address);
}
void makeFilesAndImages()
{
    for (int which = 0; which < 3; ++which)
        folder(which).createDirectory(),
            UpdateFileBuilder::writeDsp(folder(which).getChildFile(kFiles[which]), (size_t)kSizes[which]);
    folder(3).createDirectory();
    const auto main = UpdateFileBuilder().patternRegions().write(folder(3).getChildFile(kFiles[3]));
    const auto read = [](const juce::File& file)
    {
        juce::MemoryBlock bytes; // loadFileAsData appends
        file.loadFileAsData(bytes);
        return Bytes((const std::uint8_t*)bytes.begin(), (const std::uint8_t*)bytes.end());
    };
    addImage(0xF5, read(folder(0).getChildFile(kFiles[0])), 0, 0x160000, 0x20000);
    addImage(0xF4, read(folder(1).getChildFile(kFiles[1])), 0, 0x120000, 0x2E000);
    const auto image = read(main);
    addImage(0xF1, image, 0, 0, 0x90000);
    addImage(0xF2, image, 0x90000, 0x90000, 0x90000);
    addImage(0xF3, image, 0x120000, 0x120000, 0xB0000);
    addImage(0xF7, image, 0x1D0000, 0x1D0000, 0x10000);
}

// The loops over whole blocks and flash images are left out of the coverage: their byte
// comparisons would cost more than the run and tell the fuzzer nothing.
// Whether a flash image holds, at each address from first to end, the file's byte or 0xFF (never
// written), and 0xFF at every other.
__attribute__((no_sanitize("coverage"))) bool flashedFrom(const Bytes& flash, const Bytes& image, size_t first,
                                                          size_t end)
{
    static const Bytes erased(SimulatedQel720::kFlashSize, 0xFF);
    if (flash.size() != erased.size() || std::memcmp(flash.data(), erased.data(), first) != 0 ||
        std::memcmp(flash.data() + end, erased.data() + end, flash.size() - end) != 0)
        return false;
    if (std::memcmp(flash.data() + first, image.data() + first, end - first) == 0)
        return true; // all written
    for (size_t a = first; a < end; ++a)
        if (flash[a] != 0xFF && flash[a] != image[a])
            return false;
    return true;
}
__attribute__((no_sanitize("coverage"))) std::uint32_t sum(const std::uint8_t* bytes, juce::int64 length)
{
    std::uint32_t total = 0;
    for (juce::int64 i = 0; i < length; ++i)
        total += bytes[i];
    return total;
}

// The size the input cuts the table's entries to, or 0 for their real sizes.
juce::int64 entrySizeFrom(FuzzedDataProvider& in)
{
    const int choice = in.ConsumeIntegralInRange(0, 255);
    return choice >= 240 ? 0 : choice + 1;
}

// The component, with the start and the end of its worker seen (on the worker's thread).
struct TimedMainComponent : MainComponent
{
    TimedMainComponent(std::function<void()> started, std::function<void()> ended)
        : m_started(std::move(started)),
          m_ended(std::move(ended))
    {
    }
    void run() override
    {
        m_started();
        MainComponent::run();
        m_ended();
    }
    std::function<void()> m_started, m_ended;
};

struct Run
{
    explicit Run(FuzzedDataProvider& input) : in(input) {}

    void go()
    {
        key = device.attach(source);
        source.setReportHandler(key, [this](const std::uint8_t* r, size_t n) { return onCommand(r, n); });
        main = std::make_unique<TimedMainComponent>([this] { cutEntries(); }, [this] { onWorkerEnd(); });
        main->m_updateFolder = folder(which);
        main->m_replyTimeoutMs = kTimeoutMs;
        main->m_pollPauseMs = main->m_removalPauseMs = kPauseMs;
        // Each component loads its fonts at its first layout, on the message thread, which also
        // delivers the replies: done before the worker starts, that does not eat the first timeout.
        main->UpdateDrawing();
        std::atomic<bool> watching{ true };
        std::thread watcher([&] { watchState(watching); });
        main->buttonClicked(main->m_pOkButton); // OK: the file checks, then the worker
        bool waiting = false, clicked = false;
        Clock::time_point waitingSince;
        FUZZ_CHECK(fuzzsupport::pumpUntil(
            [&]
            {
                const bool waitStart = main->m_updState.load() == kStateWaitStart;
                if (!waiting && waitStart)
                {
                    waiting = true, waitingSince = Clock::now();
                    std::lock_guard<std::mutex> lock(mutex);
                    if (in.remaining_bytes() > 0 && in.ConsumeIntegralInRange(0, 15) == 0)
                        source.removeDevice(key); // while waiting for Start
                    else
                        clicked = true, main->buttonClicked(main->m_pOkButton); // Start
                }
                // A device already gone during its checks (a report of no bytes reads as the end of
                // its node) is not removed again, and the removal, ignored then, leaves the Start
                // screen up: the user goes on (a removal that lands later breaks the update).
                if (waitStart && !clicked && Clock::now() - waitingSince > std::chrono::milliseconds(50))
                    clicked = true, main->buttonClicked(main->m_pOkButton);
                return !main->isThreadRunning();
            },
            30000));
        const int s = main->m_updState.load();
        FUZZ_CHECK(s == 7 || (s >= 0xE01 && s <= 0xE05) || s == 0xE11 || s == 0xE21 || (s >= 0xE31 && s <= 0xE37) ||
                   s == 0xE41);
        FUZZ_CHECK(which != 2 || commands == 0);
        watching = false;
        watcher.join();
        checkFlash();
        main.reset();
        source.removeDevice(key); // unknown keys are ignored
    }

    // When the state word last changed, seen from a thread of its own: the worker records a
    // timeout at once, but its last redraw request may then wait for the message thread's screen.
    void watchState(const std::atomic<bool>& watching)
    {
        for (int seen = main->m_updState.load(); watching; std::this_thread::sleep_for(std::chrono::microseconds(500)))
            if (const int state = main->m_updState.load(); state != seen)
            {
                seen = state;
                std::lock_guard<std::mutex> lock(mutex);
                changed = Clock::now();
            }
    }

    // Worker thread, as it starts: the table is the worker's from then on.
    void cutEntries()
    {
        if (entrySize > 0)
            for (auto& target : main->m_updTargets)
                target.m_size = std::min(target.m_size, entrySize);
    }

    // Whether the device holds the main file's date: region 0 is then left out, and of region 3
    // only its head goes.
    bool sameDate() const { return which == 3 && main->m_deviceDate == kMainFileDate; }

    // How many bytes of the target id's entry this run sends: its size, cut as the input said.
    juce::int64 entryLength(std::uint8_t id) const
    {
        const auto [first, end] = ranges.at(id);
        if (id == 0xF7 && sameDate())
            return 0x1000;
        return entrySize > 0 ? std::min(entrySize, end - first) : end - first;
    }

    // Worker thread, as it ends.
    void onWorkerEnd()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (commands > 0)
            noteGap(changed > last ? changed : Clock::now());
    }

    void noteGap(Clock::time_point now)
    {
        const double ms = std::chrono::duration<double, std::milli>(now - last).count();
        longestGap = std::max(longestGap, ms);
        longestUnansweredGap = answered ? longestUnansweredGap : std::max(longestUnansweredGap, ms);
        if (!answered && lastCommand != 0x06 && ms >= kTimeoutMs + kUnansweredSlackMs)
            std::fprintf(stderr, "command %02X unanswered for %.1f ms, state %X\n", lastCommand, ms,
                         (unsigned)main->m_updState.load());
        FUZZ_CHECK(answered || lastCommand == 0x06 || ms < kTimeoutMs + kUnansweredSlackMs);
        FUZZ_CHECK(ms < 100.0 * kTimeoutMs); // with a reply: a gross bound, as poll pauses come between
    }

    // Every byte the device flashed is the checked file's, at an address this run may send. Done
    // while the component, whose worker has ended, still holds the date it read.
    void checkFlash() const
    {
        if (device.blocksWritten() == 0)
            return;
        for (const auto id : begun)
        {
            const auto first = (size_t)ranges.at(id).first;
            FUZZ_CHECK(flashedFrom(device.flash(id), images.at(id), first, first + (size_t)entryLength(id)));
        }
    }

    // The reply buffer has held "block done" since a poll of the block went out.
    void noteDone() { done = done || (polled && recv[0] == blockTarget && recv[1] == 0x85); }

    // The commands of a block: its range lies in its entry's, each data byte is the file's, and the
    // checksum follows the last byte and is their sum.
    void checkBlockCommand(const std::uint8_t* r)
    {
        const auto image = images.find(r[0]);
        FUZZ_CHECK(image != images.end() && r[0] == blockTarget);
        const auto* bytes = image->second.data() + blockAddress;
        if (r[1] == 0x07)
            FUZZ_CHECK(r[2] >= 1 && r[2] <= 62 && blockSent + r[2] == blockLength), announced = r[2];
        else if (r[1] == 0x03)
        {
            const int count = announced > 0 ? announced : 62;
            FUZZ_CHECK(blockSent + count <= blockLength && std::equal(r + 2, r + 2 + count, bytes + blockSent));
            blockSent += count, announced = 0;
        }
        else
        {
            FUZZ_CHECK(blockSent == blockLength &&
                       (r[2] | r[3] << 8 | r[4] << 16 | std::uint32_t(r[5]) << 24) == sum(bytes, blockLength));
        }
    }

    // Worker thread, inside the send.
    testsupport::OutputReportOutcome onCommand(const std::uint8_t* r, size_t n)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto now = Clock::now();
        const int state = main->m_updState.load();
        if (commands++ > 0)
            noteGap(now);
        last = now, answered = false, lastCommand = r[1];
        FUZZ_CHECK(n == 64);
        switch (r[1])
        {
            case 0x02: // begin block
            {
                FUZZ_CHECK(blockLength == 0 || done);
                blockTarget = r[0], blockAddress = r[2] | r[3] << 8 | r[4] << 16 | std::uint32_t(r[5]) << 24;
                blockLength = r[7] | r[8] << 8 | r[9] << 16 | r[10] << 24, sent += blockLength;
                const auto range = ranges.find(r[0]);
                FUZZ_CHECK(range != ranges.end() && blockLength > 0 && blockLength <= 0x20000 &&
                           blockAddress >= range->second.first &&
                           blockAddress + blockLength <= range->second.first + entryLength(r[0]));
                begun.insert(r[0]);
                chunks = blockSent = announced = 0, summed = polled = done = false;
                break;
            }
            case 0x03:
            case 0x07: ++chunks, checkBlockCommand(r); break;
            case 0x04: summed = true, checkBlockCommand(r); break;
            case 0x05: polled = summed, noteDone(); break;
            case 0x06: // a device that holds the main file's date gets region 0 left out
            {
                juce::int64 total = 0;
                for (const auto id : kSent[which])
                    total += id == 0xF1 && sameDate() ? 0 : entryLength(id);
                FUZZ_CHECK(state == 7 && done && sent == total);
                break;
            }
        }
        // The worker looks for a removal just before each send; one that the message thread records
        // in between lets that one command out.
        afterRemoval += state == 0xE37;
        const bool allowed =
            state <= 7 || (state == 0xE37 && afterRemoval == 1) ||
            (state == 0xE41 && (r[1] == 0x03 || r[1] == 0x07) && chunks <= (blockLength + 61) / 62 + 1);
        if (!allowed)
            std::fprintf(stderr, "command %02X sent in state %X (%d commands)\n", r[1], (unsigned)state, commands);
        FUZZ_CHECK(allowed);

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
            switch (in.ConsumeIntegralInRange(0, 7))
            {
                case 0: normalLeft = in.ConsumeIntegral<std::uint16_t>(), normal(); break;
                case 1: custom(); break;
                case 2: break; // no reply: the worker times out
                case 3: normal(), remove = true; break;
                case 4: remove = true; break;
                case 5: normal(), custom(); break; // and a report nobody waits for
                case 6: custom(), custom(); break;
                default: later(), normal(); break;
            }
        for (const auto& report : reports)
        {
            source.injectInputReport(key, report);
            if (!report.empty() && report[0] >= 0xF0) // what reaches the component's reply buffer
                std::copy(report.begin(), report.end(), recv), answered = true, noteDone();
        }
        return { std::nullopt, remove };
    }

    // After a pause the input chooses (within a poll pause and two timeouts), from the message thread:
    // the device goes, or sends a report of its own.
    void later()
    {
        const int delayMs = in.ConsumeIntegralInRange(0, kPauseMs + 2 * kTimeoutMs);
        if (in.ConsumeBool())
            return juce::Timer::callAfterDelay(delayMs, [&source = source, key = key] { source.removeDevice(key); });
        const auto report = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
        juce::Timer::callAfterDelay(delayMs,
                                    [&source = source, key = key, report] { source.injectInputReport(key, report); });
    }

    FuzzedDataProvider& in;
    testsupport::FakeHidSource& source = fuzzsupport::guiWithFakeDevices();
    const int which = in.ConsumeIntegralInRange(0, 3);
    const juce::int64 entrySize = entrySizeFrom(in);
    SimulatedQel720 device;
    std::unique_ptr<TimedMainComponent> main;
    std::string key;
    std::mutex mutex; // the worker's sends and its end, and the message thread's use of the input
    Clock::time_point start = Clock::now(), last, changed;
    bool answered = false, summed = false, polled = false, done = false;
    int commands = 0, normalLeft = 0, chunks = 0, announced = 0, afterRemoval = 0;
    std::uint8_t recv[64] = {}, blockTarget = 0, lastCommand = 0; // recv: the reply buffer once all reports came in
    std::set<std::uint8_t> begun;                                 // target ids of the blocks begun
    juce::int64 blockAddress = 0, blockLength = 0, blockSent = 0, sent = 0;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Choices are read from the end: the folder, the entries' size (0xF0: real sizes), then one per
    // command. Whole updates of one and of two blocks, and of a main file's entries cut to 63
    // bytes; a removal at the 101st command; the first data chunk of a 100-byte entry refused;
    // nothing to send; a main file's update up to its 200th command; a removal while waiting for
    // Start; a report of its own 5 ms after the device answered the mode query.
    fuzzsupport::writeSeedsIfAsked({ { 0xFF, 0xFF, 0, 0xF0, 0 },
                                     { 0xFF, 0xFF, 0, 0xF0, 1 },
                                     { 0xFF, 0xFF, 0, 62, 3 },
                                     { 4, 1, 99, 0, 0, 0xF0, 0 },
                                     { 0xF5, 0x81, 0x02, 0xFF, 0xFF, 0, 0, 3, 1, 1, 2, 0, 0, 99, 0 },
                                     { 2 },
                                     { 200, 0, 0, 0xF0, 3 },
                                     { 0, 0, 0, 0, 0, 0 },
                                     { 0xF0, 0x80, 2, 0, 5, 7, 0, 0 } });
    makeFilesAndImages();
    {
        // The first component of a process loads fonts and fills caches: not within a run's timeouts.
        fuzzsupport::guiWithFakeDevices();
        MainComponent warmUp;
        warmUp.UpdateDrawing();
    }
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
