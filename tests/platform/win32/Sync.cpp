// Events, mutexes, waits and handles of the Win32 emulation, within one process.
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

TEST(Events, ManualResetWakesAllAndStaysSignalledUntilReset) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i)
        threads.push_back(StartThread([&] { return WaitForSingleObject(event, INFINITE); }));
    ASSERT_TRUE(SetEvent(event));
    for (HANDLE thread : threads)
        EXPECT_EQ(Join(thread), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 700), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

TEST(Events, InitialStateAndPulseWithoutWaiters) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // A pulse releases only threads waiting at that moment: none here, so nothing stays set.
    ASSERT_TRUE(PulseEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

TEST(Events, NamedEventsAreSharedWithinTheProcess) {
    std::string name = UniqueName("event");
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    ASSERT_TRUE(SetEvent(second));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);

    // The name is of an event: a mutex cannot take it.
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    // Every handle closed: the name is gone.
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---------------------------------------------------------------------------------------
// Waiting for several objects

TEST(WaitMultiple, AnyReportsTheLowestSignalledIndex) {
    HANDLE events[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, TRUE, nullptr),
                        CreateEventA(nullptr, TRUE, TRUE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    ResetEvent(events[1]);
    ResetEvent(events[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 700), static_cast<DWORD>(WAIT_TIMEOUT));

    HANDLE setter = StartThread([&] { return SetEvent(events[2]) ? 0u : 1u; });
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(Join(setter), 0u);
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(WaitMultiple, AllTakesNothingUntilEveryObjectIsSignalled) {
    HANDLE ready = CreateEventA(nullptr, FALSE, TRUE, nullptr); // auto-reset, set
    HANDLE later = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    HANDLE objects[3] = {ready, mutex, later};

    EXPECT_EQ(WaitForMultipleObjects(3, objects, TRUE, 700), static_cast<DWORD>(WAIT_TIMEOUT));
    // The failed wait consumed neither the auto-reset event nor the mutex.
    HANDLE probe = StartThread([&] {
        DWORD result = WaitForSingleObject(mutex, 0);
        ReleaseMutex(mutex);
        return result;
    });
    EXPECT_EQ(Join(probe), WAIT_OBJECT_0) << "the mutex stayed owned after a failed wait";
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    SetEvent(ready);

    HANDLE setter = StartThread([&] { return SetEvent(later) ? 0u : 1u; });
    EXPECT_EQ(WaitForMultipleObjects(3, objects, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(Join(setter), 0u);
    // All were taken: both auto-reset events are reset, the mutex is this thread's.
    EXPECT_EQ(WaitForSingleObject(ready, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(later, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(mutex));
    for (HANDLE object : objects)
        CloseHandle(object);
}

TEST(WaitMultiple, RejectsBadArguments) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE twice[2] = {event, event};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, event);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(many.size()), many.data(), FALSE, 0),
              WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE withNull[2] = {event, nullptr};
    EXPECT_EQ(WaitForMultipleObjects(2, withNull, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
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
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryTake(), static_cast<DWORD>(WAIT_TIMEOUT)) << "released too early";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryTake(), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST(Mutexes, ReleaseByAnotherThreadFails) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    HANDLE other = StartThread([&] {
        BOOL released = ReleaseMutex(mutex);
        return released ? 0u : GetLastError();
    });
    EXPECT_EQ(Join(other), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_TRUE(ReleaseMutex(mutex));
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
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    ExpectAbandonedToNextWaiter(mutex, false);
    ExpectAbandonedToNextWaiter(mutex, true); // a thread CreateThread did not start
    CloseHandle(mutex);
}

TEST(Mutexes, NamedThreadEndingWhileOwningAbandonsIt) {
    std::string name = UniqueName("abandon");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    ExpectAbandonedToNextWaiter(mutex, false);
    ExpectAbandonedToNextWaiter(mutex, true);
    CloseHandle(mutex);
}

TEST(Mutexes, WaiterBlockedOnOwnedMutexGetsItOnRelease) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    std::atomic<bool> got{false};
    HANDLE waiter = StartThread([&] {
        DWORD result = WaitForSingleObject(mutex, INFINITE);
        got = true;
        ReleaseMutex(mutex);
        return result;
    });
    EXPECT_EQ(WaitForSingleObject(waiter, 700), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(got);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    EXPECT_TRUE(got);
    CloseHandle(mutex);
}

TEST(Mutexes, NamedMutexSecondCreateInProcessSharesTheObject) {
    std::string name = UniqueName("mutex");
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The second create did not take it again (ownership is asked only of a new mutex).
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    HANDLE holder = StartThread([&] { return WaitForSingleObject(opened, 0); });
    EXPECT_EQ(Join(holder), WAIT_OBJECT_0); // and abandoned on the thread's end
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(second));

    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
}

// ---------------------------------------------------------------------------------------
// Handles and the last error

TEST(KernelHandles, ClosedHandleStaysInvalidAndNeverAliases) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    std::vector<HANDLE> later;
    for (int i = 0; i < 200; ++i) {
        later.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        EXPECT_NE(later.back(), event);
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    for (HANDLE handle : later)
        CloseHandle(handle);
}

TEST(KernelHandles, CallsCheckTheKindOfObject) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_FALSE(ReleaseMutex(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    char byte;
    DWORD read;
    EXPECT_FALSE(ReadFile(event, &byte, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ResumeThread(event), static_cast<DWORD>(-1));
    EXPECT_FALSE(SetEvent(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(SetEvent(nullptr));
    CloseHandle(event);
    CloseHandle(mutex);
}

TEST(KernelHandles, DuplicateOutlivesTheOriginal) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_NE(copy, event);
    CloseHandle(event);
    EXPECT_TRUE(SetEvent(copy));
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    CloseHandle(copy);
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

// ---------------------------------------------------------------------------------------
// The emulated clock

TEST(ScaledClock, SleepsAndTimeOutsAdvanceTheTickCountByTheirLength) {
    DWORD start = GetTickCount();
    Sleep(700);
    DWORD afterSleep = GetTickCount();
    EXPECT_GE(afterSleep - start, 700u);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount() - afterSleep, 3000u);
    CloseHandle(event);
}

TEST(ScaledClock, ChangingTheScaleKeepsTicksMonotonic) {
    double scale = emu::TimeScale();
    DWORD before = GetTickCount();
    emu::SetTimeScale(scale * 10);
    DWORD during = GetTickCount();
    emu::SetTimeScale(scale);
    EXPECT_GE(during, before);
    EXPECT_GE(GetTickCount(), during);
    EXPECT_EQ(emu::TimeScale(), scale);
    emu::SetTimeScale(0); // not a positive factor: ignored
    EXPECT_EQ(emu::TimeScale(), scale);
}

} // namespace
