// The wait core: one queue of blocked waits, completed in arrival order whenever an object's
// state changes, and WaitForSingleObject / WaitForMultipleObjects over it.
#include "kernel.h"

#include <emu.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>

namespace emu {
namespace internal {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait re-tries objects whose state changes outside the process (real time).
constexpr std::chrono::milliseconds kPollInterval{1};

struct Waiter {
    const std::vector<std::shared_ptr<Waitable>>* objects;
    bool waitAll;
    DWORD threadId;
    bool done = false;
    DWORD result = WAIT_FAILED;
    std::condition_variable wake;
};

// The blocked waits in arrival order; guarded by CoreMutex().
std::list<Waiter*>& Queue() {
    static std::list<Waiter*>* queue = new std::list<Waiter*>;
    return *queue;
}

// Tries to complete `waiter`'s wait now. For a wait for all objects, either every object is
// acquired or none stays acquired.
bool TrySatisfy(const Waiter& waiter, const WaitContext& context, DWORD* result) {
    const std::vector<std::shared_ptr<Waitable>>& objects = *waiter.objects;
    if (!waiter.waitAll) {
        for (size_t i = 0; i < objects.size(); ++i) {
            Acquire got = objects[i]->TryAcquire(context);
            if (got == Acquire::NotReady)
                continue;
            DWORD base = got == Acquire::Abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
            *result = base + static_cast<DWORD>(i);
            return true;
        }
        return false;
    }
    std::vector<Acquire> got;
    got.reserve(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        Acquire one = objects[i]->TryAcquire(context);
        if (one == Acquire::NotReady) {
            while (i-- > 0)
                objects[i]->Undo(context, got[i]);
            return false;
        }
        got.push_back(one);
    }
    auto abandoned = std::find(got.begin(), got.end(), Acquire::Abandoned);
    *result = abandoned == got.end()
                  ? WAIT_OBJECT_0
                  : WAIT_ABANDONED_0 + static_cast<DWORD>(abandoned - got.begin());
    return true;
}

} // namespace

std::mutex& CoreMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

void SatisfyWaitersLocked() {
    DWORD self = CurrentThreadId();
    std::list<Waiter*>& queue = Queue();
    for (auto it = queue.begin(); it != queue.end();) {
        Waiter* waiter = *it;
        WaitContext context{waiter->threadId, waiter->threadId == self};
        DWORD result;
        if (TrySatisfy(*waiter, context, &result)) {
            waiter->done = true;
            waiter->result = result;
            waiter->wake.notify_one();
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
}

void NotifyWaiters() {
    std::lock_guard<std::mutex> lock(CoreMutex());
    SatisfyWaitersLocked();
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                     DWORD milliseconds) {
    if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS + 1) {
        Fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (waitAll) {
        for (size_t i = 0; i < objects.size(); ++i) {
            for (size_t j = i + 1; j < objects.size(); ++j) {
                if (objects[i] == objects[j]) {
                    Fail(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
    }
    WatchCurrentThread();
    const bool polling = std::any_of(objects.begin(), objects.end(),
                                     [](const auto& object) { return object->NeedsPolling(); });
    const bool infinite = milliseconds == INFINITE;
    const Clock::time_point deadline =
        infinite ? Clock::time_point::max()
                 : Clock::now() + std::chrono::nanoseconds(ScaledNanoseconds(milliseconds));

    Waiter waiter;
    waiter.objects = &objects;
    waiter.waitAll = waitAll;
    waiter.threadId = CurrentThreadId();
    const WaitContext own{waiter.threadId, true};

    std::unique_lock<std::mutex> lock(CoreMutex());
    DWORD result;
    if (TrySatisfy(waiter, own, &result))
        return result;
    if (milliseconds == 0)
        return WAIT_TIMEOUT;
    Queue().push_back(&waiter);
    for (;;) {
        if (polling)
            waiter.wake.wait_until(lock, std::min(deadline, Clock::now() + kPollInterval));
        else if (infinite)
            waiter.wake.wait(lock);
        else
            waiter.wake.wait_until(lock, deadline);
        if (waiter.done)
            return waiter.result; // the queue no longer holds it
        if (polling && TrySatisfy(waiter, own, &result)) {
            Queue().remove(&waiter);
            return result;
        }
        if (!infinite && Clock::now() >= deadline) {
            Queue().remove(&waiter);
            return WAIT_TIMEOUT;
        }
    }
}

bool ResolveWaitables(DWORD count, const HANDLE* handles,
                      std::vector<std::shared_ptr<Waitable>>* objects) {
    objects->clear();
    objects->reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<Waitable> object = LookupObject<Waitable>(handles[i]);
        if (!object)
            return false;
        objects->push_back(std::move(object));
    }
    return true;
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::vector<std::shared_ptr<Waitable>> objects;
    if (!ResolveWaitables(1, &hHandle, &objects))
        return WAIT_FAILED;
    return WaitForObjects(objects, false, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    if (!ResolveWaitables(nCount, lpHandles, &objects))
        return WAIT_FAILED;
    return WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}

} // extern "C"
