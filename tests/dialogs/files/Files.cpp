// The file-management dialogs on the simulated machine: the name rules of "Create Folder" and
// the rename dialog, their commands on the machine, and the deletion of designs and of whole
// folders with the order of its commands.
#include "dialogs/DialogTestKit.h"
#include "frame/VantelPrintUsb.h"
#include "usb/CommError.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using dlgtest::Names;
using dlgtest::Watch;
using testsupport::MakeDesign;
using testsupport::WaitFor;

// The host's list control beside the machine.
class FilesTest : public dlgtest::MachineTest {
protected:
    FilesTest() {
        m_window = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 100, 100, NULL,
                                   NULL, NULL, nullptr);
        m_list.SubclassWindow(m_window);
        m_list.InsertColumn(0, "Name");
    }
    ~FilesTest() override {
        m_list.UnsubclassWindow();
        DestroyWindow(m_window);
    }
    void List(const Names& names) {
        for (const std::string& name : names)
            m_list.InsertItem(m_list.GetItemCount(), name.c_str());
    }
    // The commands the machine received, as "cd PATH", "list", "del NAME", "rename NAME" and
    // "folder PATH".
    Names Commands() {
        const std::map<uint32_t, std::string> words = {{machine::kChangeFolder, "cd "},
                                                       {machine::kDeleteName, "del "},
                                                       {machine::kRenameName, "rename "},
                                                       {machine::kFolderCommandName, "folder "}};
        Names steps;
        const std::vector<machine::TraceEntry> trace = m_machine->Trace();
        for (size_t i = 0; i + 1 < trace.size(); ++i) {
            if (trace[i].kind != machine::IoKind::Control)
                continue;
            if (trace[i].code == machine::kReadFolderList && trace[i].reply[0] == machine::kReady)
                steps.push_back("list");
            else if (words.count(trace[i].code) != 0)
                steps.push_back(words.at(trace[i].code) +
                                reinterpret_cast<const char*>(trace[i + 1].block.data()));
        }
        return steps;
    }

    HWND m_window;
    CListCtrl m_list;
};

// Types a name and presses OK.
void Enter(HWND dialog, int edit, const std::string& name) {
    ui::TypeText(dialog, edit, name);
    WaitFor([&] { return ui::ControlText(dialog, edit) == name; });
    ui::ClickButton(dialog, IDOK);
}
// Whether the edit's whole text is selected.
bool AllSelected(HWND dialog, int edit) {
    DWORD from = 1, to = 0;
    SendMessageA(GetDlgItem(dialog, edit), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    return from == 0 && to == ui::ControlText(dialog, edit).size();
}

const char kForbidden[] = "Rename: A file name cannot contain any of the following characters:\n"
                          " \\ / : * ? \" < > |";

// ---- Create Folder ----

TEST_F(FilesTest, CreateFolderNameRules) {
    List({"NEW", "Other.kst"});
    Watch boxes;
    CCreateDlg dialog(1, "\\EMB", &m_list);
    const INT_PTR result = Run(dialog, "Create Folder", [&](HWND hwnd) {
        EXPECT_EQ(ui::ControlText(hwnd, IDC_CREATE_EDIT), "NewFolder");
        EXPECT_TRUE(AllSelected(hwnd, IDC_CREATE_EDIT));
        Enter(hwnd, IDC_CREATE_EDIT, "new");
        ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 1; }));
        EXPECT_TRUE(WaitFor([&] { return AllSelected(hwnd, IDC_CREATE_EDIT); }));
        Enter(hwnd, IDC_CREATE_EDIT, "a*b");
        ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 2; }));
        Enter(hwnd, IDC_CREATE_EDIT, "");
        Enter(hwnd, IDC_CREATE_EDIT, "Fresh");
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(boxes.Texts(),
              (Names{"Rename: Cannot create new :\n A file with the name you specified already "
                     "exists. Specify a different file name.",
                     kForbidden, ": Make New Folder"})) // the application's title: none here
        << "the empty name did nothing";
    for (const char* name : {"a|b", "x:y", "\"", "\\", "/", "?", "<", ">"})
        EXPECT_FALSE(CCreateDlg::CheckFileName(name)) << name;
}

TEST_F(FilesTest, CreateAndRenameOnTheMachine) {
    Dir({"EMB"}, "OLD");
    Put({"EMB"}, "A.KST");
    Watch boxes;
    CCreateDlg create(1, "\\EMB", &m_list);
    ASSERT_TRUE(create.Create(CCreateDlg::IDD));
    EXPECT_EQ(create.CreateFolder("NEWDIR"), 0);
    EXPECT_TRUE(Exists({"EMB", "NEWDIR"}));
    CRenameDlg folder(1, "\\EMB\\OLD\\", &m_list);
    ASSERT_TRUE(folder.Create(CRenameDlg::IDD));
    EXPECT_EQ(folder.RenameFolder("YOUNG"), 0);
    CRenameDlg file(1, "\\EMB\\A.KST", &m_list);
    ASSERT_TRUE(file.Create(CRenameDlg::IDD));
    EXPECT_EQ(file.RenameFile("b.kst"), 0);
    EXPECT_EQ(Commands(), (Names{"folder \\EMB", "folder \\EMB\\OLD\\", "rename \\EMB\\A.KST"}));
    EXPECT_TRUE(Exists({"EMB", "YOUNG"}) && Exists({"EMB", "b.kst"}));
    // Refusals show the machine's detail under the dialog's title; the port is closed.
    m_machine->RefuseCode(machine::kFolderCommandName, USBCOMM_DETAIL_REGISTER);
    m_machine->RefuseCode(machine::kRenameName, USBCOMM_DETAIL_REGISTER);
    EXPECT_EQ(create.CreateFolder("OTHER"), USBCOMM_ERR_REFUSED);
    EXPECT_EQ(file.RenameFile("c.kst"), USBCOMM_ERR_REFUSED);
    EXPECT_EQ(boxes.Texts(),
              (Names{"Create Folder: Cannot be registered.", "Rename: Cannot be registered."}));
    testsupport::Port exclusive(true, 0);
    EXPECT_TRUE(exclusive.Ok()) << "the port is closed";
    // A path that names nothing: -7 without a word to the machine.
    m_machine->ClearTrace();
    CRenameDlg dots(1, "\\EMB\\..\\", &m_list);
    EXPECT_EQ(dots.RenameFile("x"), USBCOMM_ERR_MEMORY);
    CRenameDlg longPath(1, ("\\EMB\\" + std::string(300, 'x')).c_str(), &m_list);
    EXPECT_EQ(longPath.RenameFolder("x"), USBCOMM_ERR_MEMORY);
    EXPECT_TRUE(m_machine->Trace().empty());
    create.DestroyWindow();
    folder.DestroyWindow();
    file.DestroyWindow();
}

// ---- Rename ----

TEST_F(FilesTest, RenameNormalFormsAndKinds) {
    struct {
        const char* typed;
        bool folder;
        const char* normal;
    } const cases[] = {{"ab", false, "ab.kst"},
                       {"ab.txt", false, "ab.kst"},
                       {"ab.x.kst", false, "ab.kst"},
                       {"new.dir", true, "new"},
                       {"x.y", true, "x"}};
    for (const auto& c : cases) {
        CString name = c.typed;
        EXPECT_TRUE(CRenameDlg::CompareFileName("other", &name, c.folder));
        EXPECT_EQ(std::string(name), c.normal) << c.typed;
    }
    CString same = "abc.kst";
    EXPECT_FALSE(CRenameDlg::CompareFileName("ABC.KST", &same, false));
    CString name;
    EXPECT_TRUE(CRenameDlg::CheckFolder("\\EMB\\SUB\\\\", &name));
    EXPECT_EQ(std::string(name), "SUB");
    EXPECT_FALSE(CRenameDlg::CheckFolder("\\EMB\\SUB\\A.KST", &name));
    EXPECT_EQ(std::string(name), "A.KST");
}

TEST_F(FilesTest, RenameDialogUpdatesTheHostsList) {
    List({"FOO.KST", "OLD.KST"});
    Watch boxes;
    CRenameDlg file(1, "\\EMB\\FOO.KST", &m_list);
    EXPECT_EQ(Run(file, "Rename File",
                  [&](HWND hwnd) {
                      EXPECT_EQ(ui::ControlText(hwnd, IDC_RENAME_EDIT), "FOO.KST");
                      Enter(hwnd, IDC_RENAME_EDIT, "old");
                      ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 1; }));
                      EXPECT_TRUE(WaitFor([&] { return AllSelected(hwnd, IDC_RENAME_EDIT); }));
                      Enter(hwnd, IDC_RENAME_EDIT, "...");
                      ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 2; }));
                      Enter(hwnd, IDC_RENAME_EDIT, "new");
                  }),
              IDOK);
    EXPECT_EQ(boxes.Texts(),
              (Names{"Rename: Cannot rename old.kst :\n A file with the name you specified "
                     "already exists. Specify a different file name.",
                     kForbidden, ": Change the file name"}));
    EXPECT_EQ(std::string(m_list.GetItemText(0, 0)), "new.kst");
    EXPECT_EQ(std::string(file.m_strName), "new") << "as typed";

    CRenameDlg folder(1, "\\EMB\\SUB\\", &m_list);
    EXPECT_EQ(Run(folder, "Rename Folder",
                  [&](HWND hwnd) {
                      EXPECT_EQ(ui::ControlText(hwnd, IDC_RENAME_EDIT), "SUB");
                      EXPECT_EQ(ui::ControlText(hwnd, IDC_RENAME_PROMPT),
                                "Change the folder name.");
                      Enter(hwnd, IDC_RENAME_EDIT, "sub.old");
                  }),
              IDCANCEL)
        << "the same name without regard to case";
    CRenameDlg nothing(1, "\\EMB\\..", &m_list);
    EXPECT_EQ(Run(nothing, "Rename File", [&](HWND hwnd) { Enter(hwnd, IDC_RENAME_EDIT, "z"); }),
              IDCANCEL)
        << "a path that names nothing refuses every name";
    EXPECT_EQ(boxes.Count(), 3u);
}

// ---- Delete ----

using DeleteProbe = dlgtest::Probe<CDeleteDlg>;

std::vector<FILEINFO> Records(const Names& names) {
    std::vector<FILEINFO> records(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        FileInfoSet(&records[i], names[i].c_str());
    return records;
}

void PressDelete(HWND dialog) {
    ui::ClickButton(dialog, IDC_STARTDEL_BTN);
}

TEST_F(FilesTest, DeletingDesigns) {
    Put({"EMB"}, "A.KST");
    Put({"EMB"}, "C.KST");
    Watch boxes;
    std::vector<FILEINFO> three = Records({"\\EMB\\A.KST", "\\EMB\\B.KST", "\\EMB\\C.KST"});
    int deleted = -1;
    CDeleteDlg early(three.data(), 3, 1, &deleted);
    EXPECT_EQ(Run(early, "Delete Designs", [](HWND hwnd) { ui::ClickButton(hwnd, IDCANCEL); }),
              IDCANCEL);
    EXPECT_EQ(m_hooked->opens, 0) << "nothing opened before Delete";

    DeleteProbe refused(three.data(), 3, 1, &deleted); // B.KST is not there
    EXPECT_EQ(Run(refused, "Delete Designs", PressDelete), IDCANCEL);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("Delete: ", 0), 0u);

    Put({"EMB"}, "A.KST");
    m_hooked->after = [&, seen = std::make_shared<int>(0)](uint32_t code, uint8_t*) {
        if (code == machine::kDeleteStart && ++*seen == 1) {
            HWND hwnd = FindWindowA("#32770", "Delete Designs");
            ui::ClickButton(hwnd, IDCANCEL);
            WaitFor([&] { return !IsWindowVisible(hwnd); });
        }
    };
    DeleteProbe cancelled(three.data(), 3, 1, &deleted);
    EXPECT_EQ(Run(cancelled, "Delete Designs", PressDelete), IDCANCEL);
    EXPECT_EQ(cancelled.jobResult, 0);
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(Exists({"EMB", "C.KST"}));
}

// A folder goes depth first: the subfolder's designs, the subfolder, then the folder's own
// designs and the folder. A failure in the subfolder is reported there; the folder then fails.
TEST_F(FilesTest, DeletingAFolderDepthFirst) {
    Dir({"EMB"}, "EMPTY");
    Dir({"EMB"}, "F");
    Dir({"EMB", "F"}, "S");
    Put({"EMB", "F"}, "A.KST");
    Put({"EMB", "F", "S"}, "B.KST");
    int upper = -1;
    CDeleteDlg empty(1, "\\EMB\\EMPTY");
    EXPECT_EQ(Run(empty, "Delete Folder",
                  [&](HWND hwnd) {
                      PressDelete(hwnd);
                      WaitFor([&] { return Commands().size() >= 2; });
                      upper = static_cast<int>(
                          SendDlgItemMessageA(hwnd, IDC_DELETE_PROGRESS, PBM_GETRANGE, FALSE, 0));
                  }),
              IDOK);
    EXPECT_EQ(Commands(), (Names{"cd \\EMB\\EMPTY", "list", "folder \\EMB\\EMPTY"}));
    EXPECT_EQ(upper, 10);

    m_hooked->before = [&, seen = std::make_shared<int>(0)](uint32_t code) {
        if (code == machine::kDeleteName && ++*seen == 1)
            m_machine->RefuseCode(machine::kDeleteName, USBCOMM_DETAIL_DELETE);
        else if (code == machine::kDeleteName)
            m_machine->ClearFaults();
    };
    Watch boxes;
    CDeleteDlg failing(1, "\\EMB\\F");
    EXPECT_EQ(Run(failing, "Delete Folder", PressDelete), IDCANCEL);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Texts()[0], "Delete Folder: Cannot be deleted.") << "reported in S";
    EXPECT_EQ(boxes.Texts()[1].rfind("Delete Folder: ", 0), 0u) << "F still holds S";
    EXPECT_FALSE(Exists({"EMB", "F", "A.KST"}));
    EXPECT_TRUE(Exists({"EMB", "F", "S", "B.KST"}));

    Put({"EMB", "F"}, "A.KST");
    m_machine->ClearTrace();
    CDeleteDlg folder(1, "\\EMB\\F");
    EXPECT_EQ(Run(folder, "Delete Folder", PressDelete), IDOK);
    EXPECT_EQ(Commands(),
              (Names{"cd \\EMB\\F", "list", "cd \\EMB\\F\\S", "list", "del \\EMB\\F\\S\\B.KST",
                     "folder \\EMB\\F\\S", "del \\EMB\\F\\A.KST", "folder \\EMB\\F"}));
    EXPECT_FALSE(Exists({"EMB", "F"}));
}

} // namespace
