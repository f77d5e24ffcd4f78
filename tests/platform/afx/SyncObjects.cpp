// CEvent, CMutex and CSingleLock across framework threads: a held mutex makes a timed lock
// fail, released it is obtained, an abandoned one counts as obtained, two of one name are one
// object; events reset as asked.
// Waits use the system's own time-outs (scaled by the test clock); nothing asserts a duration.
#include <afxwin.h>
#include <afxmt.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD kLongWait = 60000; // never reached unless something is broken

// Starts fn on a framework thread that keeps its object; JoinThread waits for it and returns
// its exit code.
template <class F> CWinThread* StartThread(F* fn) {
    CWinThread* thread =
        AfxBeginThread([](LPVOID param) -> UINT { return (*static_cast<F*>(param))(); }, fn,
                       THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    EXPECT_NE(nullptr, thread);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    return thread;
}

DWORD JoinThread(CWinThread* thread) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->m_hThread, kLongWait));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    delete thread;
    return code;
}

BOOL Signalled(CSyncObject& object) {
    return object.Lock(0);
}

} // namespace

TEST(CSingleLockTest, HeldMutexTimesOutThenIsObtainedWhenReleased) {
    CMutex mutex;
    CEvent holding(FALSE, TRUE), release(FALSE, TRUE);
    auto holder = [&]() -> UINT {
        CSingleLock lock(&mutex, TRUE);
        if (!lock.IsLocked())
            return 1;
        holding.SetEvent();
        CSingleLock(&release, TRUE); // waits for the main thread
        return 0;                    // the lock's destructor releases the mutex
    };
    CWinThread* thread = StartThread(&holder);
    ASSERT_TRUE(holding.Lock(kLongWait));

    CSingleLock lock(&mutex);
    EXPECT_FALSE(lock.Lock(3000)); // the transfer mutex's wait, run out
    EXPECT_FALSE(lock.IsLocked());

    release.SetEvent();
    EXPECT_TRUE(lock.Lock(kLongWait));
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Unlock()); // nothing held: nothing to release
    EXPECT_EQ(0u, JoinThread(thread));
}

TEST(CSingleLockTest, DestructorReleasesAndAbandonedMutexCountsAsObtained) {
    CMutex mutex;
    {
        CSingleLock lock(&mutex, TRUE);
        EXPECT_TRUE(lock.IsLocked());
    }
    auto abandon = [&]() -> UINT { return mutex.Lock(0) ? 1 : 0; }; // never unlocked
    EXPECT_EQ(1u, JoinThread(StartThread(&abandon)));               // free again after the scope
    CSingleLock lock(&mutex);
    EXPECT_TRUE(lock.Lock(3000)); // WAIT_ABANDONED is success
    EXPECT_TRUE(lock.Unlock());
}

TEST(CSingleLockTest, NamedMutexesAreOneObject) {
    std::string name = "vantel-afx-test-" + std::to_string(GetCurrentProcessId());
    CMutex first(FALSE, name.c_str());
    CMutex second(FALSE, name.c_str());
    CSingleLock held(&first, TRUE);
    auto other = [&]() -> UINT { return CSingleLock(&second).Lock(0) ? 1 : 0; };
    EXPECT_EQ(0u, JoinThread(StartThread(&other)));
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
    EXPECT_EQ(manual.m_hObject, static_cast<HANDLE>(manual));
}
