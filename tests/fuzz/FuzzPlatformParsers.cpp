// The Linux backend's parsers; the last byte chooses one: report descriptors (readPrimaryUsage),
// the location ID from a bus number, port path and device number (locationIdOf), one locale
// identifier (canonicalLocaleIdentifier), the locale environment (preferredLanguages).
#include "FuzzSupport.h"
#include "LocaleIdentifiers.h"
#include "LocationId.h"
#include "ReportDescriptor.h"

#include <cstdlib>
#include <regex>

namespace
{
long long runs[4] = {}; // per parser, told at exit: long runs are counted per parser

bool wellFormed(const std::string& id)
{
    return !id.empty() && std::islower((unsigned char)id[0]) && id.find_first_of(".@") == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string texts[] = { { 0x06, 0x00, (char)0xFF, 0x09, 0x01, (char)0xA1, 0x01, 0x09, 0x01, (char)0xC0, 0 },
                                  std::string("1.2.15.3") + "\x05\x00\x02\x00\x01",
                                  "zh_TW.UTF-8@x\x02",
                                  "fr_CA:de:\\ sr@latin\\ \\ C.UTF-8\\ \x03" };
    std::vector<fuzzsupport::Bytes> seeds;
    for (const auto& text : texts)
        seeds.emplace_back(text.begin(), text.end());
    fuzzsupport::writeSeedsIfAsked(seeds);
    std::atexit(
        []
        {
            std::fprintf(stderr,
                         "runs: descriptors %lld, location IDs %lld, locale identifiers %lld, environments %lld\n",
                         runs[0], runs[1], runs[2], runs[3]);
        });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int which = in.ConsumeIntegralInRange(0, 3);
    ++runs[which];
    if (which == 0)
    {
        const auto descriptor = in.ConsumeRemainingBytes<std::uint8_t>(); // sized exactly: ASan sees overreads
        std::uint32_t page = 7, usage = 7;
        const bool found = platform::readPrimaryUsage(descriptor.data(), descriptor.size(), page, usage);
        FUZZ_CHECK(usage <= 0xFFFF && (found || (page == 0 && usage == 0)));
    }
    else if (which == 1)
    {
        const unsigned bus = in.ConsumeIntegral<std::uint16_t>(), number = in.ConsumeIntegral<std::uint16_t>();
        const auto path = in.ConsumeRemainingBytesAsString();
        const auto id = platform::locationIdOf(bus, path.c_str(), number);
        FUZZ_CHECK(id >> 24 == (bus & 0xFF) && (!path.empty() || (id & 0xFFFFFF) == (0xF00000 | (number & 0xFFF))));
        static const std::regex shortPorts("[1-9](\\.[1-9]){0,5}"); // up to six ports below 10: a nibble each
        std::uint32_t code = 0;
        for (const char c : path)
            code = c == '.' ? code : code << 4 | unsigned(c - '0');
        FUZZ_CHECK(!std::regex_match(path, shortPorts) || (id & 0xFFFFFF) == code << 4 * (6 - (path.size() + 1) / 2));
    }
    else if (which == 2)
    {
        // A fixed point, but for text with an empty subtag: "en__Latn" gives "en_LATN", then "en-Latn".
        static const std::regex emptySubtag("^[-_]|[-_]{2}|[-_]$");
        const auto text = in.ConsumeRemainingBytesAsString();
        const auto id = platform::canonicalLocaleIdentifier(text);
        FUZZ_CHECK(id.empty() ||
                   (wellFormed(id) && (std::regex_search(text.substr(0, text.find_first_of(".@")), emptySubtag) ||
                                       platform::canonicalLocaleIdentifier(id) == id)));
    }
    else
    {
        std::string values[4]; // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        for (auto& value : values)
            value = in.ConsumeRandomLengthString(64);
        const auto list = platform::preferredLanguages(values[0], values[1], values[2], values[3]);
        FUZZ_CHECK(list.size() <= (size_t)std::count(values[0].begin(), values[0].end(), ':') + 2 &&
                   std::all_of(list.begin(), list.end(), wellFormed));
    }
    return 0;
}
