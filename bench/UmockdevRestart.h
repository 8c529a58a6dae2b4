#pragma once

// A benchmark that needs an emulated hidraw node restarts itself under umockdev-wrapper when it was
// started without umockdev's preload library.

#include <UmockdevHidTestbed.h>

#include <cstdio>
#include <unistd.h>
#include <vector>

// Returns only when the process already runs under umockdev (true) or could not be restarted (false).
inline bool runUnderUmockdev(int argc, char** argv)
{
    if (testsupport::UmockdevHidTestbed::available())
        return true;
    std::vector<char*> args{ const_cast<char*>("umockdev-wrapper") };
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    execvp("umockdev-wrapper", args.data());
    std::perror("umockdev-wrapper");
    return false;
}
