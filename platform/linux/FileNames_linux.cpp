#include "FileNames.h"

#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace platform
{

std::string folderOf(const std::string& programPath)
{
    const auto slash = programPath.rfind('/');
    if (slash == std::string::npos)
        return {};
    const auto folder = slash == 0 ? std::string("/") : programPath.substr(0, slash);
    if (isWellFormedUtf8(folder.data(), folder.size()))
        return folder;
    // Left open on purpose: the path below leads to the folder only while the descriptor lives.
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd);
}

// The kernel's own record of the program file, symbolic links resolved, as bytes: JUCE's
// executable path goes through juce::String first.
std::string executableFolder()
{
    static const std::string folder = []
    {
        char path[PATH_MAX];
        const auto length = ::readlink("/proc/self/exe", path, sizeof path);
        return length > 0 && (std::size_t)length < sizeof path ? folderOf(std::string(path, (std::size_t)length))
                                                               : std::string();
    }();
    return folder;
}

} // namespace platform
