#include "Process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace Process
{

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::vector<int>& keepOpen)
{
    std::vector<char*> args, env;
    for (auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (auto& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    // Descriptors are close-on-exec except the ones the child must keep.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : keepOpen)
        posix_spawn_file_actions_adddup2(&actions, fd, fd);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

bool ended(pid_t pid, int& status)
{
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) != pid)
        return false;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return true;
}

int waitForExit(pid_t pid, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = -1;
    while (!ended(pid, status))
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

std::vector<std::string> environmentWithout(const std::vector<std::string>& names)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string variable(*entry);
        const auto named = [&](const std::string& name) { return variable.rfind(name + "=", 0) == 0; };
        if (std::none_of(names.begin(), names.end(), named))
            result.push_back(variable);
    }
    return result;
}

} // namespace Process
