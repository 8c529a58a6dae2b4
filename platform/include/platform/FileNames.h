#pragma once

// File names that JUCE can take. JUCE reads every path and name as UTF-8 and never checks it: a
// name that is not (as an archive made on another system may leave a folder's or a file's name)
// corrupts its strings, and the program's memory with them, when it is made into a juce::String.

#include <cstddef>
#include <string>

namespace platform
{

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF) without a NUL: what JUCE can hold without harm. Any thread.
bool isWellFormedUtf8(const char* bytes, std::size_t length);

// The folder that holds the running program, as a path JUCE can take: the folder's own path, or,
// when that is not well-formed UTF-8, "/proc/self/fd/N" for a descriptor of the folder that stays
// open while the program runs. Empty when it cannot be found. Any thread; the first call decides.
std::string executableFolder();

// The same for the program at programPath (raw bytes), opening a new descriptor when one is needed.
std::string folderOf(const std::string& programPath);

} // namespace platform
