// CWinThread and AfxBeginThread: suspended start, the procedure's result as exit code, and
// objects that delete themselves when their thread ends.
#include <afxwin.h>
#include <afxmt.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

const DWORD kLongWait = 60000; // never reached unless something is broken

struct Job {
    std::atomic<bool> ran{false};
    std::atomic<CWinThread*> current{nullptr};
    std::atomic<bool> autoDelete{false};
    UINT result = 0;
};

UINT RunJob(LPVOID param) {
    Job* job = static_cast<Job*>(param);
    UINT result = job->result;
    CWinThread* current = AfxGetThread();
    job->current = current;
    job->autoDelete = current != NULL && current->m_bAutoDelete;
    job->ran = true; // the last touch: the job may go away once this is seen
    return result;
}

// A thread object whose deletion can be seen.
class CWatchedThread : public CWinThread {
public:
    CWatchedThread(AFX_THREADPROC proc, LPVOID param, CEvent* deleted)
        : CWinThread(proc, param), m_pDeleted(deleted) {}
    ~CWatchedThread() override { m_pDeleted->SetEvent(); }
    CEvent* m_pDeleted;
};

DWORD ExitCodeAfterEnd(HANDLE thread) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kLongWait));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

} // namespace

TEST(CWinThreadTest, SuspendedThreadRunsOnResumeAndExitsWithTheResult) {
    Job job;
    job.result = 42;
    CWinThread* thread = AfxBeginThread(RunJob, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, thread);
    EXPECT_TRUE(thread->m_bAutoDelete);

    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    EXPECT_FALSE(job.ran);

    thread->m_bAutoDelete = FALSE;         // as the progress dialogs do before resuming
    EXPECT_EQ(1u, thread->ResumeThread()); // it was suspended once
    EXPECT_EQ(42u, ExitCodeAfterEnd(thread->m_hThread));
    EXPECT_TRUE(job.ran);
    EXPECT_EQ(thread, job.current.load());
    EXPECT_FALSE(job.autoDelete);
    delete thread; // kept alive by the cleared flag; closes the handle
}

TEST(CWinThreadTest, AutoDeleteObjectGoesAwayWithItsThread) {
    CEvent deleted(FALSE, TRUE);
    Job job;
    CWinThread* thread = new CWatchedThread(RunJob, &job, &deleted);
    ASSERT_TRUE(thread->CreateThread());
    EXPECT_TRUE(deleted.Lock(kLongWait));
    EXPECT_TRUE(job.ran);
    EXPECT_TRUE(job.autoDelete);

    // AfxBeginThread's own objects: the sanitizer build's leak check sees one left behind.
    Job started;
    ASSERT_NE(nullptr, AfxBeginThread(RunJob, &started));
    EXPECT_TRUE(testsupport::WaitFor([&] { return started.ran.load(); }));
}

TEST(CWinThreadTest, StartFailuresAndTheMainThread) {
    EXPECT_EQ(nullptr, AfxBeginThread(NULL, NULL));
    EXPECT_EQ(nullptr, AfxGetThread()); // not started by the framework

    CWinThread noProcedure;
    EXPECT_FALSE(noProcedure.CreateThread());
}
