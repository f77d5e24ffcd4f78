// The machine storage browser on the simulated machine: the folder-list dialog, "Receive a
// Design" (its list sorted by image, then name) driven through the UI driver, and the hand-over
// of ReceiveDesignDialog.
#include "dialogs/DialogTestKit.h"
#include "dialogs/browser/DesignSelectDlg.h"
#include "frame/VantelPrintUsb.h"
#include "usb/CommError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

using testsupport::MakeDesign;
using testsupport::WaitFor;
using Bytes = std::vector<uint8_t>;

using dlgtest::Watch;

// A folder-list dialog whose job and buffer can be looked at.
class CFolderListProbe : public dlgtest::Probe<CIntormationDlg> {
public:
    using Probe::Probe;
    BYTE* Buffer() const { return m_pBuffer; }
};

// The machine (with designs put straight into its storage), a temporary folder of the test's
// own, and the browser run on this thread while a user acts from another.
class BrowserTest : public dlgtest::MachineTest {
protected:
    BrowserTest() : m_oldTemp(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "") {
        setenv("TMPDIR", m_temp.Path().c_str(), 1);
    }
    ~BrowserTest() override {
        m_oldTemp.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", m_oldTemp.c_str(), 1);
    }

    // A design whose hoop code has the low byte given.
    static Bytes Design(uint8_t hoop, int stitches = 10) {
        Bytes bytes = MakeDesign(2, stitches);
        bytes[32] = hoop;
        return bytes;
    }

    // What ReceiveDesignDialog handed over (a block it did not allocate: nothing).
    struct Outcome {
        int result = 0;
        std::optional<Bytes> design, companion;
        std::string name;
        DWORD medium = 0;
        BYTE showAll = 0;
    };
    Outcome Browse(const std::function<void(HWND)>& user, DWORD medium = 1, BYTE showAll = 0) {
        Outcome out{0, {}, {}, "", medium, showAll};
        BYTE *design = nullptr, *companion = nullptr;
        DWORD designSize = 0, companionSize = 0;
        char name[512] = {};
        out.result = Acting("Receive a Design", user, [&] {
            return ReceiveDesignDialog(NULL, &design, &designSize, name, &companion, &companionSize,
                                       &out.medium, &out.showAll);
        });
        auto take = [](BYTE* block, DWORD size) {
            const auto bytes =
                block ? std::optional<Bytes>(Bytes(block, block + size)) : std::nullopt;
            HeapFree(GetProcessHeap(), 0, block);
            return bytes;
        };
        out.design = take(design, designSize);
        out.companion = take(companion, companionSize);
        out.name = name;
        return out;
    }

    testsupport::TempDir m_temp;
    const std::string m_oldTemp;
};

// ---- What a user sees and does in the browser ----

std::vector<std::string> Listed(HWND dialog) {
    std::vector<std::string> names;
    for (int i = 0; i < ui::ListCount(dialog, IDC_DESIGN_LIST); ++i)
        names.push_back(ui::ListItemText(dialog, IDC_DESIGN_LIST, i));
    return names;
}
int Image(HWND dialog, int index) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    SendMessageA(GetDlgItem(dialog, IDC_DESIGN_LIST), LVM_GETITEMA, 0,
                 reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}
std::string Label(HWND dialog) {
    return ui::ControlText(dialog, IDC_FOLDER_LABEL);
}
bool Enabled(HWND dialog, int id) {
    return ui::IsControlEnabled(dialog, id);
}
// Double-clicks the entry and waits until the label says the folder is open.
void OpenFolder(HWND dialog, int index, const std::string& label) {
    ui::DoubleClickListItem(dialog, IDC_DESIGN_LIST, index);
    ASSERT_TRUE(WaitFor([&] { return Label(dialog) == label; })) << Label(dialog);
}
void Click(HWND dialog, int index) {
    ui::SelectListItem(dialog, IDC_DESIGN_LIST, index);
    WaitFor([&] { return ui::ListSelection(dialog, IDC_DESIGN_LIST) == index; });
}

using dlgtest::Names;

TEST_F(BrowserTest, RootListsFoldersOnlyAndTheButtonsFollowClicks) {
    Put({"EMB"}, "LOOSE.KST", Design(1));
    Dir({"EMB"}, "B");
    Dir({"EMB"}, "a");
    Put({"EMB", "a"}, "X.KST", Design(1));
    const Outcome outcome = Browse([&](HWND dialog) {
        EXPECT_EQ(Label(dialog), "Built-in:");
        EXPECT_EQ(Listed(dialog), (Names{"a", "B"})) << "designs in the root are not listed";
        EXPECT_FALSE(Enabled(dialog, IDC_OPEN_BTN));
        EXPECT_FALSE(Enabled(dialog, IDOK));
        // A keyboard move selects without a click: the buttons stay as they were.
        LVITEMA select = {};
        select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(GetDlgItem(dialog, IDC_DESIGN_LIST), LVM_SETITEMSTATE, 0,
                     reinterpret_cast<LPARAM>(&select));
        EXPECT_EQ(ui::ListSelection(dialog, IDC_DESIGN_LIST), 0);
        EXPECT_FALSE(Enabled(dialog, IDC_OPEN_BTN));
        Click(dialog, 0);
        EXPECT_TRUE(WaitFor([&] { return Enabled(dialog, IDC_OPEN_BTN); }));
        EXPECT_FALSE(Enabled(dialog, IDOK)) << "a folder is not received";
        OpenFolder(dialog, 0, "Built-in:a");
        EXPECT_EQ(ui::ControlText(dialog, IDC_OPEN_BTN), "Up");
        EXPECT_TRUE(Enabled(dialog, IDC_OPEN_BTN)) << "Up, with nothing selected";
        EXPECT_TRUE(Listed(dialog).empty()) << "X.KST has no companion: filtered";
        ui::ClickButton(dialog, IDC_OPEN_BTN);
        EXPECT_TRUE(WaitFor([&] { return Label(dialog) == "Built-in:"; }));
        EXPECT_EQ(Listed(dialog), (Names{"a", "B"}));
        ui::ClickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_FALSE(outcome.design) << "Close writes no block";
    EXPECT_EQ(outcome.medium, 1u);
    EXPECT_EQ(outcome.showAll, 0);
}

TEST_F(BrowserTest, CompanionFilterAndImages) {
    Dir({"EMB"}, "F");
    Put({"EMB", "F"}, "A.KST", Design(1));
    Put({"EMB", "F"}, "A.RZF", {1, 2, 3});
    Put({"EMB", "F"}, "B.KST", Design(1));
    Put({"EMB", "F"}, "c.kst+", Design(1));
    Put({"EMB", "F"}, "c.RZF", {4});
    Put({"EMB", "F"}, "notes.txt", {5});
    const Outcome outcome = Browse([&](HWND dialog) {
        OpenFolder(dialog, 0, "Built-in:F");
        EXPECT_EQ(Listed(dialog), (Names{"c.kst+", "A.KST"})) << "extended designs first";
        EXPECT_EQ(Image(dialog, 0), DESIGN_IMAGE_EXTENDED);
        EXPECT_EQ(Image(dialog, 1), DESIGN_IMAGE_PLAIN);
        ui::SetCheckBox(dialog, IDC_RZONLY_CHECK, false);
        EXPECT_TRUE(WaitFor([&] { return Listed(dialog).size() == 3; }));
        EXPECT_EQ(Listed(dialog), (Names{"c.kst+", "A.KST", "B.KST"}));
        // A double click on a design does nothing.
        ui::DoubleClickListItem(dialog, IDC_DESIGN_LIST, 1);
        WaitFor([&] { return Enabled(dialog, IDOK); });
        EXPECT_EQ(Label(dialog), "Built-in:F");
        ui::ClickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(outcome.showAll, 1) << "the check box was left unchecked";
}

// The design and its companion handed over, by the hoop code's low byte.
TEST_F(BrowserTest, ReceiveHandsOverTheDesignAndItsCompanion) {
    const Bytes plain = Design(1, 30), large = Design(26, 40);
    Dir({"EMB"}, "F");
    Put({"EMB", "F"}, "PLAIN.KST", plain);
    Put({"EMB", "F"}, "PLAIN.RZF", {7, 7});
    Put({"EMB", "F"}, "LARGE.KST", large);
    Put({"EMB", "F"}, "LARGE.RZF", {8, 8, 8});
    Put({"EMB", "F"}, "ALONE.KST", plain);
    auto receive = [&](const std::string& name, BYTE showAll) {
        return Browse(
            [&](HWND dialog) {
                OpenFolder(dialog, 0, "Built-in:F");
                ASSERT_TRUE(WaitFor([&] {
                    for (int i = 0; i < ui::ListCount(dialog, IDC_DESIGN_LIST); ++i)
                        if (ui::ListItemText(dialog, IDC_DESIGN_LIST, i) == name) {
                            Click(dialog, i);
                            return Enabled(dialog, IDOK);
                        }
                    return false;
                }));
                ui::ClickButton(dialog, IDOK);
            },
            1, showAll);
    };
    auto withZero = [](Bytes bytes) {
        bytes.push_back(0);
        return bytes;
    };
    const Outcome large26 = receive("LARGE.KST", 0);
    EXPECT_EQ(large26.result, IDOK);
    EXPECT_EQ(large26.name, "LARGE.KST");
    EXPECT_EQ(large26.design, withZero(large)) << "the file and one zero byte";
    EXPECT_EQ(large26.companion, withZero({8, 8, 8}));
    const Outcome plain1 = receive("PLAIN.KST", 0);
    EXPECT_EQ(plain1.design, withZero(plain));
    EXPECT_EQ(plain1.companion, Bytes()) << "received, not handed over";
    const Outcome alone = receive("ALONE.KST", 1);
    EXPECT_EQ(alone.companion, Bytes());
    EXPECT_EQ(alone.showAll, 1);
    // The companion's reception fails: the design is handed over all the same.
    m_hooked->before = [&, seen = std::make_shared<int>(0)](uint32_t code) {
        if (code == machine::kReceiveDesignName && ++*seen == 2)
            m_machine->RefuseCode(machine::kReceiveDesignName, 9);
    };
    Watch boxes;
    const Outcome failed = receive("LARGE.KST", 0);
    EXPECT_EQ(failed.design, withZero(large));
    EXPECT_EQ(failed.companion, Bytes());
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(m_temp.Path())) << "no temporary file is left";
}

TEST_F(BrowserTest, OtherMediaAndANullNameBuffer) {
    Watch boxes;
    const Outcome other = Browse(
        [&](HWND dialog) {
            EXPECT_EQ(Label(dialog), "") << "no label for a medium other than 1 to 3";
            EXPECT_TRUE(Listed(dialog).empty());
            ui::ClickButton(dialog, IDC_USBMEMORY_BTN);
            EXPECT_TRUE(WaitFor([&] { return Label(dialog) == "USB Memory:"; }));
            ui::ClickButton(dialog, IDC_ATACARD_BTN);
            EXPECT_TRUE(WaitFor([&] { return Label(dialog) == "ATA Card:"; }));
            ui::ClickButton(dialog, IDCANCEL);
        },
        7);
    EXPECT_EQ(other.medium, 2u) << "the medium shown last";
    EXPECT_EQ(boxes.Texts().size(), 1u) << "medium 7's listing failed once";

    BYTE* design = reinterpret_cast<BYTE*>(1);
    BYTE* companion = reinterpret_cast<BYTE*>(1);
    DWORD designSize = 5, companionSize = 5, medium = 1;
    BYTE showAll = 0;
    EXPECT_EQ(ReceiveDesignDialog(NULL, &design, &designSize, nullptr, &companion, &companionSize,
                                  &medium, &showAll),
              3);
    EXPECT_TRUE(design == nullptr && companion == nullptr && designSize == 0 && companionSize == 0);
}

// ---- The folder-list dialog ----

TEST_F(BrowserTest, FolderListResults) {
    Watch boxes;
    {
        Dir({"EMB"}, "EMPTY");
        CFolderListProbe empty(1, "\\EMB\\EMPTY");
        EXPECT_EQ(empty.DoModal(), IDOK);
        EXPECT_EQ(empty.GetFileCount(), 0);
        EXPECT_EQ(empty.GetFolderInfo(), empty.Buffer() + 4) << "just past the count";
    }
    {
        m_machine->RefuseCode(machine::kChangeFolder, 5);
        CFolderListProbe refused(1, "\\EMB\\EMPTY");
        EXPECT_EQ(refused.DoModal(), IDCANCEL);
        EXPECT_EQ(refused.GetFileCount(), 0);
        EXPECT_EQ(refused.GetFolderInfo(), nullptr);
        m_machine->ClearFaults();
    }
    EXPECT_EQ(boxes.Texts(), (Names{"Design List: Cannot be received."})) << "-12 with detail 97";
}

TEST_F(BrowserTest, ClosingTheFolderListWhileItReads) {
    m_machine->StayNotReady(true);
    CFolderListProbe dialog(1, "\\EMB");
    EXPECT_EQ(Run(dialog, "Receive folder List",
                  [](HWND hwnd) {
                      ASSERT_TRUE(WaitFor([&] {
                          return (GetMenuState(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND) &
                                  MF_GRAYED) == 0;
                      }));
                      ui::CloseWindowAsUser(hwnd);
                  }),
              IDCANCEL);
    EXPECT_EQ(dialog.jobResult, USBCOMM_ERR_CANCELLED) << "the worker has ended";
    EXPECT_EQ(dialog.GetFileCount(), 0);
}

} // namespace
