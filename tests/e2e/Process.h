#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Child processes for the end-to-end tests: started with an explicit environment, waited for with
// a time limit, never left behind.
namespace Process
{
// Starts `argv` (looked up in PATH) with `environment`; `keepOpen` descriptors stay open in the
// child. Returns the pid, or -1.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::vector<int>& keepOpen = {});
// The exit status, or -1 when the process did not end in time (it is then killed and reaped).
int waitForExit(pid_t pid, int timeoutMs);
// Whether the process has ended (and reaps it if so); `status` gets its exit status.
bool ended(pid_t pid, int& status);
// This process's environment without the variables.
std::vector<std::string> environmentWithout(const std::vector<std::string>& names);
} // namespace Process
