// The emulated clock: every Sleep, wait time-out and tick count goes through one scale
// factor so that tests run the system's real timings at a fraction of real time.
#include <windows.h>
#include <emu.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

double ReadScaleFromEnvironment() {
    const char* text = std::getenv("VANTEL_TIME_SCALE");
    if (text == nullptr || *text == '\0')
        return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0.0) || value > 1000.0)
        return 1.0; // not a positive factor: keep real time
    return value;
}

std::atomic<double>& Scale() {
    static std::atomic<double> scale{ReadScaleFromEnvironment()};
    return scale;
}

// Real time at which emulated tick 0 lay, and the emulated ticks accumulated before the last
// change of scale, so that GetTickCount never runs backwards when a test changes the scale.
struct TickBase {
    std::mutex lock; // guards the two fields below and changes of the scale
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
    double ticksAtOrigin = 0.0;
};

TickBase& Base() {
    static TickBase* base = new TickBase; // never destroyed: threads may outlive exit
    return *base;
}

} // namespace

namespace emu {

double TimeScale() {
    return Scale().load();
}

void SetTimeScale(double scale) {
    if (!(scale > 0.0))
        return;
    TickBase& base = Base();
    std::lock_guard<std::mutex> lock(base.lock);
    auto now = std::chrono::steady_clock::now();
    double elapsed = std::chrono::duration<double, std::milli>(now - base.origin).count();
    base.ticksAtOrigin += elapsed / Scale().load();
    base.origin = now;
    Scale().store(scale);
}

long long ScaledNanoseconds(DWORD milliseconds) {
    return static_cast<long long>(static_cast<double>(milliseconds) * 1e6 * Scale().load());
}

} // namespace emu

extern "C" {

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    long long ns = emu::ScaledNanoseconds(dwMilliseconds);
    if (ns <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

DWORD WINAPI GetTickCount(void) {
    TickBase& base = Base();
    std::lock_guard<std::mutex> lock(base.lock);
    double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - base.origin)
            .count();
    double ticks = base.ticksAtOrigin + elapsed / Scale().load();
    return static_cast<DWORD>(static_cast<unsigned long long>(ticks));
}

} // extern "C"
