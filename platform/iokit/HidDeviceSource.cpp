#include "HidDeviceSource.h"

#include <mutex>

namespace platform
{

namespace
{
std::mutex factoryMutex;
HidDeviceSourceFactory& installedFactory()
{
    static HidDeviceSourceFactory factory;
    return factory;
}
} // namespace

void setHidDeviceSourceFactory(HidDeviceSourceFactory factory)
{
    std::lock_guard<std::mutex> lock(factoryMutex);
    installedFactory() = std::move(factory);
}

std::unique_ptr<HidDeviceSource> createHidDeviceSource()
{
    HidDeviceSourceFactory factory;
    {
        std::lock_guard<std::mutex> lock(factoryMutex);
        factory = installedFactory();
    }
    return factory ? factory() : createSystemHidDeviceSource();
}

} // namespace platform
