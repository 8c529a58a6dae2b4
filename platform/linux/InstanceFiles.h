#pragma once

// The per-user folder of the single-instance lock and socket (see platform/SingleInstance.h for
// where it is and how an untrusted one is mended or refused). Any thread; it touches the file
// system only to make or mend the folder and to open the lock file.

#include <optional>
#include <string>

namespace platform
{

struct InstanceFiles
{
    std::string lock;
    std::string socket;
    int lockFd = -1; // the lock file, open (not locked); the caller owns it
};

// Nothing, after one line on stderr giving the cause, when no folder can be had safely.
std::optional<InstanceFiles> findInstanceFiles(const std::string& applicationName);

} // namespace platform
