#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include "stdafx.h"
#include "frame/TransferMutex.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace testsupport {

std::string ChildCommand(const std::string& testName, const char* variable,
                         const std::string& objectNamespace, const std::string& environment) {
    return std::string(variable) + "=1 VANTEL_OBJECT_NAMESPACE=" + objectNamespace + " " +
           environment + " " + std::filesystem::read_symlink("/proc/self/exe").string() +
           " --gtest_filter=" + testName;
}

std::string OwnNamespace(const char* prefix) {
    return std::string(prefix) + "-" + std::to_string(getpid());
}

void ServeTransferMutex() {
    CSingleLock lock(&g_transferMutex);
    std::printf("ready\n");
    std::fflush(stdout);
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "take")
            std::printf("took %d\n", lock.Lock(USBCOMM_MUTEX_WAIT));
        else if (command == "release")
            std::printf("released %d\n", lock.Unlock());
        std::fflush(stdout);
    }
}

TransferMutexHolder::TransferMutexHolder(const std::string& testName, const char* variable,
                                         const std::string& objectNamespace)
    : m_output(std::filesystem::temp_directory_path() /
               ("vantel-holder-" + std::to_string(getpid()) + "-" +
                std::to_string(reinterpret_cast<uintptr_t>(this)))) {
    m_child =
        popen((ChildCommand(testName, variable, objectNamespace) + " > " + m_output).c_str(), "w");
}

TransferMutexHolder::~TransferMutexHolder() {
    if (m_child != nullptr)
        pclose(m_child); // the end of its input ends the child, which lets the mutex go
    std::filesystem::remove(m_output);
}

bool TransferMutexHolder::Says(const char* command, const char* report) {
    if (m_child == nullptr)
        return false;
    std::fputs(command, m_child);
    std::fflush(m_child);
    return WaitFor([&] {
        std::ifstream in(m_output);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        return text.find(report) != std::string::npos;
    });
}

} // namespace testsupport
