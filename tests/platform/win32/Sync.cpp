// Events, mutexes, waits and handles of the Win32 emulation, within one process (CEvent's
// and CSingleLock's tests cover manual-reset events, named mutexes and blocking waits).
#include <windows.h>
#include <emu.h>

#include "platform/win32/Win32TestThreads.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using testsupport::WaitFor;
using win32test::Join;
using win32test::StartThread;

namespace {

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("vantel-test-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(counter++);
}

// ---------------------------------------------------------------------------------------
// Events

TEST(Events, AutoResetWakesExactlyOneOfTwoWaiters) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        DWORD result = WaitForSingleObject(event, INFINITE);
        ++woken;
        return result;
    };
    HANDLE first = StartThread(waiter);
    HANDLE second = StartThread(waiter);

    ASSERT_TRUE(SetEvent(event));
    ASSERT_TRUE(WaitFor([&] { return woken == 1; }));
    // The signal went to one waiter: the event is reset and the other one still waits.
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(woken, 1);

    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(Join(first), WAIT_OBJECT_0);
    EXPECT_EQ(Join(second), WAIT_OBJECT_0);
    EXPECT_EQ(woken, 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

// ---------------------------------------------------------------------------------------
// Waiting for several objects

// Up to MAXIMUM_WAIT_OBJECTS distinct handles; none, more, a repeated or a null one fail.
TEST(WaitMultiple, TakesUpToTheMaximumAndRejectsBadArguments) {
    std::vector<HANDLE> events;
    for (int i = 0; i <= MAXIMUM_WAIT_OBJECTS; ++i)
        events.push_back(CreateEventA(nullptr, TRUE, i == MAXIMUM_WAIT_OBJECTS - 1, nullptr));
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events.data(), FALSE, 0),
              WAIT_OBJECT_0 + MAXIMUM_WAIT_OBJECTS - 1);
    HANDLE twice[2] = {events[0], events[0]};
    HANDLE withNull[2] = {events[0], nullptr};
    struct Row {
        DWORD count;
        HANDLE* handles;
        BOOL all;
        DWORD error;
    } rows[] = {{MAXIMUM_WAIT_OBJECTS + 1, events.data(), FALSE, ERROR_INVALID_PARAMETER},
                {0, events.data(), FALSE, ERROR_INVALID_PARAMETER},
                {2, twice, TRUE, ERROR_INVALID_PARAMETER}, // the same object twice
                {2, withNull, FALSE, ERROR_INVALID_HANDLE}};
    for (const Row& row : rows) {
        EXPECT_EQ(WaitForMultipleObjects(row.count, row.handles, row.all, 0), WAIT_FAILED)
            << row.count;
        EXPECT_EQ(GetLastError(), row.error) << row.count;
    }
    for (HANDLE event : events)
        CloseHandle(event);
}

// ---------------------------------------------------------------------------------------
// Mutexes

TEST(Mutexes, OwnershipIsRecursiveAndPerThread) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // owned three times now

    auto tryTake = [&] {
        HANDLE other = StartThread([&] {
            DWORD result = WaitForSingleObject(mutex, 0);
            if (result == WAIT_OBJECT_0)
                ReleaseMutex(mutex);
            return result;
        });
        return Join(other);
    };
    HANDLE other = StartThread([&] { return ReleaseMutex(mutex) ? 0u : GetLastError(); });
    EXPECT_EQ(Join(other), static_cast<DWORD>(ERROR_NOT_OWNER)) << "released by a non-owner";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryTake(), static_cast<DWORD>(WAIT_TIMEOUT)) << "released too early";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryTake(), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

// Two threads counting under one critical section, each entering it twice per step, lose no
// step.
TEST(CriticalSections, RecursiveForTheOwnerAndExclusiveBetweenThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    volatile long count = 0;
    auto countUnderLock = [&] {
        for (int i = 0; i < 100000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);
            count = count + 1;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
        return 0u;
    };
    HANDLE first = StartThread(countUnderLock);
    HANDLE second = StartThread(countUnderLock);
    EXPECT_EQ(Join(first), 0u);
    EXPECT_EQ(Join(second), 0u);
    EXPECT_EQ(count, 200000);
    DeleteCriticalSection(&section);
}

// A thread that ends owning a mutex abandons it: the next waiter is told so and owns it.
void ExpectAbandonedToNextWaiter(HANDLE mutex, bool foreignThread) {
    auto holdAndEnd = [&] { return WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0 ? 0u : 1u; };
    if (foreignThread) {
        std::thread([&] { holdAndEnd(); }).join();
    } else {
        EXPECT_EQ(Join(StartThread(holdAndEnd)), 0u);
    }
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE objects[2] = {other, mutex};
    DWORD result = WaitForMultipleObjects(2, objects, FALSE, 3000);
    EXPECT_EQ(result, WAIT_ABANDONED_0 + 1);
    EXPECT_TRUE(ReleaseMutex(mutex)) << "the abandoned mutex was not given to the waiter";
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "abandonment is reported once";
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(other);
}

TEST(Mutexes, ThreadEndingWhileOwningAbandonsIt) {
    for (const char* name : {static_cast<const char*>(nullptr), "abandon"}) {
        std::string unique = name != nullptr ? UniqueName(name) : "";
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name != nullptr ? unique.c_str() : nullptr);
        ASSERT_NE(mutex, nullptr);
        ExpectAbandonedToNextWaiter(mutex, false);
        ExpectAbandonedToNextWaiter(mutex, true); // a thread CreateThread did not start
        CloseHandle(mutex);
    }
}

// ---------------------------------------------------------------------------------------
// Handles and the last error

TEST(KernelHandles, ClosedHandleStaysInvalidAndNeverAliases) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(event));
    std::vector<HANDLE> later;
    for (int i = 0; i < 200; ++i) {
        later.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        EXPECT_NE(later.back(), event);
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    for (HANDLE handle : later)
        CloseHandle(handle);
}

TEST(KernelHandles, LastErrorIsPerThread) {
    SetLastError(1234);
    HANDLE other = StartThread([] {
        DWORD inherited = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
        return inherited;
    });
    EXPECT_EQ(Join(other), 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

} // namespace
