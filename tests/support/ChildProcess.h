// Tests that need a second process run this test program again: the child runs a single test
// entry that does nothing unless its environment variable is set, in an object namespace it
// shares with the other processes of the test (so that named mutexes meet there and nowhere
// else).
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

// The command line that runs this program again as a child running only `testName`, with
// `variable`=1 and VANTEL_OBJECT_NAMESPACE=`objectNamespace` (plus `environment`, "NAME=value
// ..." words, when given).
std::string ChildCommand(const std::string& testName, const char* variable,
                         const std::string& objectNamespace, const std::string& environment = "");
// An object namespace of this test process's own.
std::string OwnNamespace(const char* prefix);

// The child side of TransferMutexHolder: obeys the lines of standard input ("take" waits 3000 ms
// for the transfer mutex, "release" lets it go) and prints each result.
void ServeTransferMutex();

// Another process that loads the library and holds the transfer mutex while this object lives.
// The program must have a test entry `testName` that calls ServeTransferMutex() when
// `variable` is set.
class TransferMutexHolder {
public:
    TransferMutexHolder(const std::string& testName, const char* variable,
                        const std::string& objectNamespace);
    ~TransferMutexHolder();
    TransferMutexHolder(const TransferMutexHolder&) = delete;
    TransferMutexHolder& operator=(const TransferMutexHolder&) = delete;

    // Sends the command line and waits until the child's output holds `report`.
    bool Says(const char* command, const char* report);

private:
    std::string m_output;
    FILE* m_child;
};

} // namespace testsupport
