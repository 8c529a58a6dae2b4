#include "InstanceFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform
{
namespace
{

bool isPrivateFolder(const struct stat& status)
{
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() && (status.st_mode & 0777) == 0700;
}

std::optional<InstanceFiles> filesIn(const std::string& folder, const std::string& stem)
{
    InstanceFiles files{ folder + "/" + stem + ".lock", folder + "/" + stem + ".socket" };
    if (files.socket.size() >= sizeof(sockaddr_un::sun_path))
        return std::nullopt;
    return files;
}

// The lock file, made if need be and opened read-write; -1 when it cannot be, with the cause in
// `why`. Only a regular file of this user counts: a lock that others can take is no lock.
int openLock(const std::string& path, std::string& why)
{
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
    {
        why = std::strerror(errno);
        return -1;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid())
    {
        close(fd);
        why = "its lock file is not the user's";
        return -1;
    }
    return fd;
}

// The session's folder is used as it is or not at all; it is not ours to mend. One where our lock
// file cannot be had (a read-only file system, someone else's file in its place) is passed over
// like one that is not private.
std::optional<InstanceFiles> inRuntimeFolder(const std::string& name)
{
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    struct stat status;
    if (folder == nullptr || folder[0] != '/' || stat(folder, &status) != 0 || !isPrivateFolder(status))
        return std::nullopt;
    auto files = filesIn(folder, name);
    std::string why;
    if (!files || (files->lockFd = openLock(files->lock, why)) < 0)
        return std::nullopt;
    return files;
}

// $XDG_CACHE_HOME when it is an absolute path, otherwise ".cache" in the home folder; empty when
// the user has no home folder.
std::string cacheFolder()
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/')
        return cache;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
    {
        const passwd* user = getpwuid(geteuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.cache" : std::string();
}

// A home folder may be shared by several machines: each has its own lock and socket there.
std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0' || std::strchr(name, '/') != nullptr)
        return "localhost";
    return name;
}

// "<name>" in the user's cache folder, made with mode 0700. Only the user can make an entry there,
// so nobody else can take the name first; should one stand there all the same, it is mended or
// refused. On failure `why` says what went wrong, for the one line on stderr.
std::optional<InstanceFiles> inCacheFolder(const std::string& name, std::string& folder, std::string& why)
{
    const auto base = cacheFolder();
    if (base.empty())
    {
        folder = "~/.cache/" + name;
        why = "the user has no home folder";
        return std::nullopt;
    }
    folder = base + "/" + name;
    auto files = filesIn(folder, hostName());
    if (!files)
    {
        why = "its path is too long for a socket";
        return std::nullopt;
    }
    // A first program to use the cache makes it; an existing one is left as it is. Where it cannot
    // be made, that is the cause to give, not the folder inside it then missing.
    const int baseError = mkdir(base.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;

    // Two rounds: the second only checks what the first mended.
    for (int round = 0; round < 2; ++round)
    {
        if (mkdir(folder.c_str(), 0700) == 0)
            chmod(folder.c_str(), 0700); // the umask may have taken bits away
        else if (errno != EEXIST)
        {
            why = std::strerror(errno == ENOENT && baseError != 0 ? baseError : errno);
            return std::nullopt;
        }
        struct stat status;
        if (lstat(folder.c_str(), &status) != 0)
        {
            why = std::strerror(errno);
            return std::nullopt;
        }
        if (isPrivateFolder(status))
        {
            if ((files->lockFd = openLock(files->lock, why)) < 0)
                return std::nullopt;
            return files;
        }
        if (status.st_uid != geteuid())
        {
            why = "it belongs to another user";
            return std::nullopt;
        }
        if (S_ISDIR(status.st_mode))
        {
            // Closed first, so nothing new appears; then whatever others may have planted goes.
            if (chmod(folder.c_str(), 0700) != 0 || (unlink(files->lock.c_str()) != 0 && errno != ENOENT) ||
                (unlink(files->socket.c_str()) != 0 && errno != ENOENT))
            {
                why = std::strerror(errno);
                return std::nullopt;
            }
        }
        else if (unlink(folder.c_str()) != 0) // a link or file of ours in its place
        {
            why = std::strerror(errno);
            return std::nullopt;
        }
    }
    why = "it cannot be made private";
    return std::nullopt;
}

} // namespace

std::optional<InstanceFiles> findInstanceFiles(const std::string& applicationName)
{
    if (auto files = inRuntimeFolder(applicationName))
        return files;
    std::string folder;
    std::string why;
    auto files = inCacheFolder(applicationName, folder, why);
    if (!files)
        std::fprintf(stderr, "SingleInstance: no safe folder %s (%s); running as the only instance\n", folder.c_str(),
                     why.c_str());
    return files;
}

} // namespace platform
