// The send and receive dialogs on the simulated machine, driven as a user would: what they show
// and send, how they end, cancelling at the moments that matter, the transfer mutex held by
// another, and a teardown that must serve the worker's messages.
#include "dialogs/DialogTestKit.h"
#include "frame/TransferMutex.h"
#include "frame/VantelPrintUsb.h"
#include "usb/CommError.h"

#include <gtest/gtest.h>

#include <iterator>
#include <list>
#include <sstream>
#include <map>
#include <thread>

namespace {

using testsupport::MakeDesign;
using testsupport::WaitFor;

using SendProbe = dlgtest::Probe<CSendDlg>;
using dlgtest::Names;
using dlgtest::NamesOf;
using dlgtest::Watch;

// The job's result of a dialog whose job never ran.
const int kNoJob = 1;

// Designs in memory and on the PC for the machine.
class TransferTest : public dlgtest::MachineTest {
protected:
    // Designs in memory named a.kst, b.kst, ... (`bad` is not a design the machine accepts).
    CObList& Designs(int count, int bad = -1) {
        m_list.RemoveAll();
        for (int i = 0; i < count; ++i) {
            m_bytes.push_back(i == bad ? std::vector<uint8_t>(600, 0xEE) : MakeDesign(2, 10 + i));
            CFileData& design = m_designs.emplace_back();
            design.m_pData = reinterpret_cast<DWORD_PTR>(m_bytes.back().data());
            design.m_nLength = static_cast<int>(m_bytes.back().size());
            design.m_strFileName =
                std::string(1, static_cast<char>('a' + i)).append(".kst").c_str();
            m_list.AddTail(reinterpret_cast<CObject*>(&design));
        }
        return m_list;
    }
    // Files of the PC holding designs (an empty name gives an empty record).
    std::vector<FILEINFO> Files(std::initializer_list<const char*> names) {
        std::vector<FILEINFO> records;
        for (const char* name : names) {
            FILEINFO& record = records.emplace_back();
            if (*name == '\0') {
                FileInfoSet(&record, "");
                continue;
            }
            testsupport::WriteFileBytes(m_pc.File(name), MakeDesign(2, 12));
            FileInfoSet(&record, m_pc.File(name).c_str());
        }
        return records;
    }
    // Whether the design "\\EMB\\<name>" is stored on medium 1.
    bool OnMachine(const std::string& name) { return Exists({"EMB", name}); }
    // Runs a `Dialog` made of `args` whose job is recorded: its result and the job's.
    template <class Dialog, class... Args> std::pair<INT_PTR, int> Ran(Args&&... args) {
        dlgtest::Probe<Dialog> dialog(std::forward<Args>(args)...);
        const INT_PTR result = Run(dialog);
        return {result, dialog.jobResult};
    }

    testsupport::TempDir m_pc;
    std::list<std::vector<uint8_t>> m_bytes;
    std::list<CFileData> m_designs;
    CObList m_list;
};

// ---- Sending ----

TEST_F(TransferTest, DirectModeCountsDesignsAndFillsTheBarBeforeItEnds) {
    Watch watch(IDC_SEND_STATUS);
    int sent = -1;
    SendProbe dialog(&Designs(3), 1, "\\EMB", &sent);
    EXPECT_EQ(Run(dialog), IDOK);
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(dialog.jobResult, 0);
    EXPECT_TRUE(OnMachine("a.kst") && OnMachine("b.kst") && OnMachine("c.kst"));
    ASSERT_EQ(watch.texts.size(), 4u);
    EXPECT_EQ(watch.texts[0], "Now Sending : a.kst\r\n\t\t1/3");
    EXPECT_EQ(watch.texts[2], "Now Sending : c.kst\r\n\t\t3/3");
    EXPECT_EQ(watch.texts[3], "Now Sending : c.kst\r\n\t\t3/3");
    EXPECT_EQ(watch.rangeUpper, 30);
    EXPECT_EQ(watch.furthest, 30) << "each design fills its 10 steps before the dialog ends";
    EXPECT_TRUE(watch.Texts().empty());
    EXPECT_FALSE(watch.usableAtShow) << "Cancel and Close are greyed while the dialog starts";
}

// The folder text ends with a backslash: file mode adds none, direct mode always adds one.
TEST_F(TransferTest, FileModeShowsTheFilesCountedFromZero) {
    int sent = 0;
    CSendDlg direct(&Designs(1), 1, "\\EMB\\", &sent);
    EXPECT_EQ(Run(direct), IDOK);
    Watch watch(IDC_SEND_STATUS);
    std::vector<FILEINFO> files = Files({"b.kst", "c.kst", "d.kst"});
    CSendDlg dialog(files.data(), 3, 1, "\\EMB\\");
    EXPECT_EQ(Run(dialog), IDOK);
    ASSERT_EQ(watch.texts.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(watch.texts[i], "Now Sending : " + m_pc.File(std::string(1, 'b' + i) + ".kst") +
                                      "\r\n\t\t" + std::to_string(i) + "/3");
    EXPECT_NE(watch.texts[3].find("\t\t3/3"), std::string::npos);
    EXPECT_EQ(watch.furthest, 30);
    EXPECT_EQ(NamesOf(*m_machine, machine::kSendDesignName),
              (Names{"\\EMB\\\\a.kst", "\\EMB\\b.kst", "\\EMB\\c.kst", "\\EMB\\d.kst"}));
}

// Runs that end early: the result, the job's, the messages, the count written and the names
// the machine received (and no traffic at all when none).
TEST_F(TransferTest, RefusalsEndTheRunAndKeepWhatWasSent) {
    auto ends = [&](const char* what, const std::function<std::pair<INT_PTR, int>(int*)>& run,
                    INT_PTR result, int job, const Names& boxes, int sent, const Names& names) {
        SCOPED_TRACE(what);
        m_machine->ClearTrace();
        Watch watch;
        int count = -1;
        EXPECT_EQ(run(&count), std::make_pair(result, job));
        EXPECT_EQ(watch.Texts(), boxes);
        EXPECT_EQ(count, sent);
        EXPECT_EQ(NamesOf(*m_machine, machine::kSendDesignName), names);
        EXPECT_TRUE(!names.empty() || m_machine->Trace().empty()) << "no traffic";
    };
    ends("a design the machine refuses",
         [&](int* sent) { return Ran<CSendDlg>(&Designs(3, 1), 1, "\\EMB", sent); }, IDCANCEL,
         USBCOMM_ERR_REJECTED, {"Sending: Failed to send a design."}, 1,
         {"\\EMB\\a.kst", "\\EMB\\b.kst"});
    EXPECT_TRUE(OnMachine("a.kst")) << "a refusal keeps the designs sent before";
    std::vector<FILEINFO> blank = Files({"e.kst", ""});
    ends("an empty record, refused without a message",
         [&](int*) { return Ran<CSendDlg>(blank.data(), 2, 1, "\\EMB"); }, IDCANCEL,
         USBCOMM_ERR_REJECTED, {}, -1, {"\\EMB\\e.kst"});
    CObList none;
    ends("no designs", [&](int* sent) { return Ran<CSendDlg>(&none, 1, "\\EMB", sent); }, IDOK, 0,
         {}, 0, {});
    const std::string folder = "\\EMB\\" + std::string(250, 'x');
    ends("a folder that does not fit the name: refused, not overrun",
         [&](int* sent) { return Ran<CSendDlg>(&Designs(1), 1, folder.c_str(), sent); }, IDCANCEL,
         USBCOMM_ERR_MEMORY, {"Sending: Failed to allocate memory."}, -1, {});
    std::vector<FILEINFO> far(1);
    FileInfoSet(&far[0], "x.kst");
    const std::string pc = m_pc.Path() + "/" + std::string(260, 'y');
    ends("a PC path that does not fit",
         [&](int* sent) { return Ran<CReceiveDlg>(far.data(), 1, 1, pc.c_str(), sent); }, IDCANCEL,
         USBCOMM_ERR_FILE_OPEN, {"Receiving: Failed to open the file."}, -1, {});
    testsupport::Port holder(true, 0); // another program holds the device
    ends("no machine at start: no worker, no count",
         [&](int* sent) { return Ran<CSendDlg>(&Designs(2), 1, "\\EMB", sent); }, IDCANCEL, kNoJob,
         {"Sending: Failed to initialize communication port."}, -1, {});
}

// Direct mode: a cancel between designs stops before the next one; the job still ends well.
TEST_F(TransferTest, CancelBetweenDesignsInDirectMode) {
    int sent = -1;
    SendProbe dialog(&Designs(3), 1, "\\EMB", &sent);
    auto seen = std::make_shared<int>(0);
    m_hooked->after = [&, seen](uint32_t code, uint8_t* /*reply*/) {
        // While the first design goes out: cancel, and go on once the dialog has gone.
        if (code == machine::kSendDesignData && ++*seen == 1) {
            HWND hwnd = dialog.GetSafeHwnd();
            ui::ClickButton(hwnd, IDCANCEL);
            WaitFor([&] { return !::IsWindowVisible(hwnd); });
        }
    };
    EXPECT_EQ(Run(dialog), IDCANCEL);
    EXPECT_EQ(dialog.jobResult, 0);
    EXPECT_EQ(sent, 1);
    EXPECT_FALSE(OnMachine("b.kst"));
}

// File mode: the transport watches the cancel event while the machine stores the design.
TEST_F(TransferTest, CancelWhileTheMachineStores) {
    Watch watch;
    m_machine->SetStoringPolls(100000);
    std::vector<FILEINFO> files = Files({"a.kst"});
    SendProbe dialog(files.data(), 1, 1, "\\EMB");
    EXPECT_EQ(Run(dialog, "Send Designs", CancelWhen([&] {
                      return NamesOf(*m_machine, machine::kSendDesignName).size() == 1;
                  })),
              IDCANCEL);
    EXPECT_EQ(dialog.jobResult, USBCOMM_ERR_CANCELLED) << "the worker has ended";
    EXPECT_TRUE(watch.Texts().empty());
    testsupport::Port exclusive(true, 0);
    EXPECT_TRUE(exclusive.Ok()) << "the port is closed";
}

// The worker sets a text after the user cancels while it waits for the bar: the teardown,
// waiting for the worker, must serve it. The bar never moves here, so a cancel must also end
// the worker's wait for it.
class CStuckBarSendDlg : public CSendDlg {
public:
    using CSendDlg::CSendDlg;
    afx_msg void OnTimer(UINT /*nIDEvent*/) {}
    // The worker asks for the bar when it begins its design and when it waits for the bar.
    BOOL GetProgress(PROGRESS* progress) override {
        if (::GetCurrentThreadId() != m_ui)
            ++workerAsks;
        return CSendDlg::GetProgress(progress);
    }
    BOOL DestroyWindow() override {
        // Tear down once the worker is blocked in a message to this thread (as it is after a
        // cancel: it reads the bar or sets the last status text).
        blocked =
            WaitFor([] { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE); });
        return CSendDlg::DestroyWindow();
    }
    const DWORD m_ui = ::GetCurrentThreadId();
    std::atomic<int> workerAsks{0};
    bool blocked = false;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CStuckBarSendDlg, CSendDlg)
ON_WM_TIMER()
END_MESSAGE_MAP()

TEST_F(TransferTest, TeardownServesTheWorkersMessages) {
    int sent = -1;
    CStuckBarSendDlg dialog(&Designs(1), 1, "\\EMB", &sent);
    // Cancel once the worker waits for the bar: a cancel seen before would skip that wait.
    EXPECT_EQ(Run(dialog, "Send Designs", CancelWhen([&] { return dialog.workerAsks == 2; })),
              IDCANCEL);
    EXPECT_TRUE(dialog.blocked) << "the worker was waiting for this thread at the teardown";
    EXPECT_EQ(sent, 1);
}

// ---- Receiving ----

// Designs put on the machine (in \\EMB), those asked for, how many were received, the result
// and each PC file with the design it holds ("temp.kst=A.kst"), as words.
struct ReceiveCase {
    const char* what;
    const char *onMachine, *asked;
    int received;
    INT_PTR result;
    const char* files;
};

std::vector<std::string> Words(const char* text) {
    std::istringstream in(text);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
}

class ReceiveTest : public TransferTest, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(ReceiveTest, WritesTempWithTheDesignsExtension) {
    const ReceiveCase& c = GetParam();
    std::map<std::string, std::vector<uint8_t>> designs;
    for (const std::string& name : Words(c.onMachine)) {
        designs[name] = MakeDesign(1 + static_cast<int>(designs.size()), 10);
        testsupport::Port port;
        ASSERT_TRUE(port.SendDesign(1, "\\EMB\\" + name, designs[name]));
    }
    const std::vector<std::string> asked = Words(c.asked);
    std::vector<FILEINFO> records(asked.size());
    for (size_t i = 0; i < asked.size(); ++i)
        FileInfoSet(&records[i], ("\\EMB\\" + asked[i]).c_str());
    Watch watch(IDC_RECEIVE_STATUS);
    int received = -1;
    CReceiveDlg dialog(records.data(), static_cast<int>(records.size()), 1, m_pc.Path().c_str(),
                       &received);
    EXPECT_EQ(Run(dialog), c.result);
    EXPECT_EQ(received, c.received);
    for (const std::string& file : Words(c.files)) {
        const size_t is = file.find('=');
        EXPECT_EQ(testsupport::ReadFileBytes(m_pc.File(file.substr(0, is))),
                  designs[file.substr(is + 1)])
            << file;
    }
    ASSERT_FALSE(watch.texts.empty());
    EXPECT_EQ(watch.texts.back(), "Now Receiving : \\EMB\\" + asked.back());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveTest,
    ::testing::Values(ReceiveCase{"DesignAndCompanion", "A.kst A.rzf", "A.kst A.rzf", 2, IDOK,
                                  "temp.kst=A.kst temp.rzf=A.rzf"},
                      ReceiveCase{"SameExtensionReplaces", "A.kst B.kst", "A.kst B.kst", 2, IDOK,
                                  "temp.kst=B.kst"},
                      ReceiveCase{"SecondFails", "A.kst", "A.kst GONE.rzf", 1, IDCANCEL,
                                  "temp.kst=A.kst"},
                      ReceiveCase{"NoExtension", "PLAIN", "PLAIN", 1, IDOK, "temp=PLAIN"}),
    [](const ::testing::TestParamInfo<ReceiveCase>& info) { return info.param.what; });

// Another holder of the transfer mutex (a thread here; the frame's tests show that processes
// share it): the receive and folder-list dialogs wait 3000 ms for it, then give up without a port.
TEST_F(TransferTest, TheDialogsThatReadTimeOutWhileAnotherHoldsTheTransferMutex) {
    std::atomic<bool> held{false}, done{false};
    std::thread holder([&] {
        CSingleLock lock(&g_transferMutex, TRUE);
        held = true;
        WaitFor([&] { return done.load(); });
    });
    ASSERT_TRUE(WaitFor([&] { return held.load(); }));
    Watch watch;
    std::vector<FILEINFO> records(1);
    FileInfoSet(&records[0], "\\EMB\\A.kst");
    int received = -1;
    CReceiveDlg receive(records.data(), 1, 1, m_pc.Path().c_str(), &received);
    EXPECT_EQ(Run(receive), IDCANCEL);
    CIntormationDlg folders(1, "\\EMB");
    EXPECT_EQ(Run(folders), IDCANCEL);
    done = true;
    holder.join();
    EXPECT_EQ(watch.Texts(), Names(2, "Design List: Communication time out."));
    EXPECT_EQ(m_hooked->opens, 0);
    EXPECT_TRUE(m_machine->Trace().empty());
}

} // namespace
