#pragma once

// The text of an errno value, safe on any thread (strerror is not).

#include <cstring>
#include <string>

namespace platform
{

inline std::string errorText(int error)
{
    char buffer[128];
    return strerror_r(error, buffer, sizeof buffer); // the GNU variant: returns the text
}

} // namespace platform
