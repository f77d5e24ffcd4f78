// Framework threads and their sync objects: AfxBeginThread's suspended start as the progress
// dialogs use it, the procedure's result as exit code; a held mutex makes a timed lock fail,
// released it is obtained, an abandoned one counts as obtained (two processes on one named
// mutex: the frame tests); events reset as asked.
// Waits use the system's own time-outs (scaled by the test clock); nothing asserts a duration.
#include <afxwin.h>
#include <afxmt.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

const DWORD kLongWait = 60000; // never reached unless something is broken

template <class F> UINT RunFn(LPVOID fn) {
    return (*static_cast<F*>(fn))();
}

// Starts fn on a framework thread that keeps its object; JoinThread waits for it and returns
// its exit code.
template <class F> CWinThread* StartThread(F* fn) {
    CWinThread* thread = AfxBeginThread(&RunFn<F>, fn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    EXPECT_NE(nullptr, thread);
    thread->m_bAutoDelete = FALSE;         // as the progress dialogs do before resuming
    EXPECT_EQ(1u, thread->ResumeThread()); // it was suspended once
    return thread;
}

DWORD JoinThread(CWinThread* thread) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->m_hThread, kLongWait));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    delete thread; // kept alive by the cleared flag; closes the handle
    return code;
}

BOOL Signalled(CSyncObject& object) {
    return object.Lock(0);
}

} // namespace

TEST(CWinThreadTest, ThreadRunsOnResumeAsItsObjectAndExitsWithTheResult) {
    std::atomic<bool> ran{false};
    std::atomic<CWinThread*> current{nullptr};
    auto job = [&]() -> UINT {
        current = AfxGetThread();
        ran = true;
        return 42;
    };
    CWinThread* thread = StartThread(&job); // resumed once: it was suspended
    const CWinThread* started = thread;
    EXPECT_EQ(42u, JoinThread(thread));
    EXPECT_TRUE(ran);
    EXPECT_EQ(started, current.load());

    EXPECT_EQ(nullptr, AfxBeginThread(NULL, NULL));
    EXPECT_EQ(nullptr, AfxGetThread()); // not started by the framework
}

TEST(CSingleLockTest, HeldMutexTimesOutThenIsObtainedWhenReleased) {
    CMutex mutex;
    CEvent holding(FALSE, TRUE), release(FALSE, TRUE);
    auto holder = [&]() -> UINT {
        CSingleLock lock(&mutex, TRUE);
        holding.SetEvent();
        return release.Lock(kLongWait) && lock.IsLocked() ? 0 : 1; // the lock's end releases
    };
    CWinThread* thread = StartThread(&holder);
    ASSERT_TRUE(holding.Lock(kLongWait));
    CSingleLock lock(&mutex);
    EXPECT_FALSE(lock.Lock(3000)); // the transfer mutex's wait, run out
    EXPECT_FALSE(lock.IsLocked());
    release.SetEvent();
    EXPECT_TRUE(lock.Lock(kLongWait));
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_EQ(0u, JoinThread(thread));
}

TEST(CSingleLockTest, AbandonedMutexCountsAsObtained) {
    CMutex mutex;
    auto abandon = [&]() -> UINT { return mutex.Lock(0) ? 1 : 0; }; // never unlocked
    EXPECT_EQ(1u, JoinThread(StartThread(&abandon)));
    CSingleLock lock(&mutex);
    EXPECT_TRUE(lock.Lock(3000)); // WAIT_ABANDONED is success
    EXPECT_TRUE(lock.Unlock());
}

TEST(CEventTest, AutomaticAndManualReset) {
    CEvent automatic;
    EXPECT_FALSE(Signalled(automatic));
    EXPECT_TRUE(automatic.SetEvent());
    EXPECT_TRUE(Signalled(automatic));
    EXPECT_FALSE(Signalled(automatic)); // taken by the first wait

    CEvent manual(TRUE, TRUE);
    EXPECT_TRUE(Signalled(manual));
    EXPECT_TRUE(Signalled(manual)); // stays signalled
    EXPECT_TRUE(manual.ResetEvent());
    EXPECT_FALSE(Signalled(manual));
}
