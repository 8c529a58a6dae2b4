#pragma once

// A test's helper thread that is always stopped and joined before the test goes on past it or
// leaves early (a failed ASSERT): join(), or the destructor, first calls `stop` (which must make
// the body return: set a flag, open a latch) and then joins. So no check ever runs while the
// thread still runs, and a failure never ends in std::terminate or a hang.

#include <functional>
#include <thread>

namespace testsupport
{

class ScopedThread
{
public:
    explicit ScopedThread(std::function<void()> body, std::function<void()> stop = {})
        : m_stop(std::move(stop)),
          m_thread(std::move(body))
    {
    }
    ~ScopedThread() { join(); }

    void join()
    {
        if (!m_thread.joinable())
            return;
        if (m_stop)
            m_stop();
        m_thread.join();
    }

private:
    std::function<void()> m_stop;
    std::thread m_thread;
};

} // namespace testsupport
