// The library's load and unload: its entry point, its place in the framework's chain of
// libraries, the transfer mutex shared by the processes that load it, and its exported names.
#include "stdafx.h"
#include "frame/TransferMutex.h"
#include "frame/VantelPrintUsb.h"
#include "platform/loader/LibraryModule.h"
#include "resources/resource.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

// The module in which the framework finds a resource of the library.
HINSTANCE FoundIn(UINT id, LPCSTR type) {
    return AfxFindResourceHandle(MAKEINTRESOURCE(id), type);
}

TEST(LibraryEntry, LoadingPutsTheLibraryIntoTheChainAndEachReasonDoesWhatItShould) {
    HMODULE module = VantelLibraryModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FoundIn(IDB_DESIGN_IMAGES, RT_BITMAP), module);
    EXPECT_EQ(DllMain(module, DLL_THREAD_ATTACH, nullptr), 1);
    EXPECT_EQ(DllMain(module, DLL_THREAD_DETACH, nullptr), 1);
    EXPECT_EQ(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "thread calls change nothing";

    EXPECT_EQ(DllMain(module, DLL_PROCESS_DETACH, nullptr), 1);
    EXPECT_NE(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "detach leaves the chain";

    EXPECT_EQ(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr), 0) << "no module: the load fails";
    EXPECT_NE(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module) << "and joins nothing";

    EXPECT_EQ(DllMain(module, DLL_PROCESS_ATTACH, nullptr), 1);
    EXPECT_EQ(FoundIn(IDD_SEND_DIALOG, RT_DIALOG), module);
}

// IsConnectRX4400 under its plain name in the library's dynamic symbols; the classes under
// their C++ names.
TEST(LibraryExports, PlainFunctionsKeepTheirUndecoratedNames) {
    Dl_info info = {};
    ASSERT_NE(dladdr(reinterpret_cast<const void*>(&IsConnectRX4400), &info), 0);
    std::string symbols;
    ASSERT_EQ(
        testsupport::RunCommand(std::string("nm -D --defined-only ") + info.dli_fname, &symbols),
        0);
    EXPECT_NE(symbols.find(" T IsConnectRX4400\n"), std::string::npos) << symbols;
    EXPECT_NE(symbols.find(" T ReceiveDesignDialog\n"), std::string::npos);
    EXPECT_NE(symbols.find(" T _ZN8CConvert9PlusToKstEPPhPi\n"), std::string::npos);
    EXPECT_NE(symbols.find(" T _ZN9CFileData9DivideKstE"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The transfer mutex in two processes that load the library: this program started again, in an
// object namespace of the test's own (so that nothing else running at the same time meets them).

const char* const kChildVariable = "VANTEL_TEST_TRANSFER_CHILD";

TEST(TransferMutexChild, Serve) {
    if (getenv(kChildVariable) == nullptr)
        GTEST_SKIP() << "runs only as a process of the cross-process test";
    testsupport::ServeTransferMutex();
}

TEST(TransferMutex, IsOneObjectForTwoProcessesThatLoadTheLibrary) {
    const std::string space = testsupport::OwnNamespace("frame");
    auto otherTakes = [&] {
        std::string output;
        testsupport::RunCommand(
            "echo take | " +
                testsupport::ChildCommand("TransferMutexChild.Serve", kChildVariable, space),
            &output);
        return output.find("took 1") != std::string::npos;
    };
    testsupport::TransferMutexHolder holder("TransferMutexChild.Serve", kChildVariable, space);
    ASSERT_TRUE(holder.Says("", "ready"));
    EXPECT_TRUE(otherTakes()) << "the process that made it does not own it";
    ASSERT_TRUE(holder.Says("take\n", "took 1"));
    EXPECT_FALSE(otherTakes()) << "the other process's 3000 ms wait runs out";
    ASSERT_TRUE(holder.Says("release\n", "released 1"));
    EXPECT_TRUE(otherTakes());
}

} // namespace
