// The shared test support itself: a child's whole output is read while signals arrive.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/time.h>

TEST(TestSupport, RunCommandReadsTheWholeOutputWhileSignalsInterruptItsReads) {
    // A timer signal every millisecond whose handler does not restart the calls it interrupts,
    // as libFuzzer's alarm handler does not.
    struct sigaction action = {}, previous = {};
    action.sa_handler = [](int) {};
    ASSERT_EQ(0, sigaction(SIGALRM, &action, &previous));
    itimerval timer = {{0, 1000}, {0, 1000}};
    setitimer(ITIMER_REAL, &timer, nullptr);
    std::string output;
    const int status = testsupport::RunCommand("sleep 0.2; echo done; exit 3", &output);
    timer = {};
    setitimer(ITIMER_REAL, &timer, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(3, status);
    EXPECT_EQ("done\n", output);
}
