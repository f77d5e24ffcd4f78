#include "support/Watchdog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

Watchdog::Watchdog(std::string what, int realSeconds) : m_what(std::move(what)) {
    m_thread = std::thread([this, realSeconds] {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_done.wait_for(lock, std::chrono::seconds(realSeconds),
                             [this] { return m_disarmed; })) {
            std::fprintf(stderr, "watchdog: \"%s\" did not finish within %d s (deadlock?)\n",
                         m_what.c_str(), realSeconds);
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_disarmed = true;
    }
    m_done.notify_all();
    m_thread.join();
}

} // namespace testsupport
