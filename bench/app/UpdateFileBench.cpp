// Checking one valid 2 MiB main update file: load, date word, version text and the bit-by-bit
// CRC-16, all of which run on the message thread when the user presses OK.
#include "MainComponent.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <benchmark/benchmark.h>

namespace
{
void parseValidMainFile(benchmark::State& state)
{
    TempFolder folder;
    const auto file = UpdateFileBuilder().patternRegions().write(folder.child("QEL720v001.bin"));

    for (auto _ : state)
    {
        unsigned int date = 0;
        juce::String version;
        const int result = MainComponent::ParseUpdFile(file, 0x200000, &date, version);
        if (result != 1)
            state.SkipWithError("the benchmark file did not pass its checks");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * 0x200000);
}

void crcOfMainImage(benchmark::State& state)
{
    const auto image = UpdateFileBuilder().patternRegions().image();
    for (auto _ : state)
        benchmark::DoNotOptimize(MainComponent::CalcCRC(image.data(), 0x1FFFFE));
    state.SetBytesProcessed(state.iterations() * 0x1FFFFE);
}
} // namespace

BENCHMARK(parseValidMainFile)->Unit(benchmark::kMillisecond);
BENCHMARK(crcOfMainImage)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
