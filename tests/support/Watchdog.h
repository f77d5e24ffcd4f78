// Turns a hang into a failure: a test that could deadlock (as Windows would) arms a watchdog;
// if the watchdog is not disarmed (destroyed) within its real-time limit, it reports what
// hung and ends the test program with a failure status.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class Watchdog {
public:
    explicit Watchdog(std::string what, int realSeconds = 30);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string m_what;
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_disarmed = false;
    std::thread m_thread;
};

} // namespace testsupport
