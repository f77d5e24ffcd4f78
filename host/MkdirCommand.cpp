// vantel mkdir: the "Create Folder" dialog over the parent folder's list, then CreateFolder with
// the name it accepted.
#include "FileHost.h"

#include "frame/VantelPrintUsb.h"

#include <cstdio>

namespace {

const char kUsage[] = "usage: vantel mkdir FOLDER [NAME] [--medium M]";

// The host's dialog: when the dialog accepts a name, the folder is made at once, while the
// dialog is still on the screen to own the messages.
class CHostCreateDlg : public CCreateDlg {
public:
    using CCreateDlg::CCreateDlg;
    host::NameDialogState state;
    bool ended = false;
    CString accepted;
    int result = 1;

protected:
    // A click of OK that leaves the dialog open refused the name (or there was none).
    afx_msg void OnOkClicked() {
        CCreateDlg::OnBnClickedOk();
        if (!ended)
            ++state.rejected;
    }
    void OnOK() override {
        ended = true;
        m_editName.GetWindowText(accepted);
        result = CreateFolder(accepted);
        CCreateDlg::OnOK();
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHostCreateDlg, CCreateDlg)
ON_BN_CLICKED(IDOK, &CHostCreateDlg::OnOkClicked)
END_MESSAGE_MAP()

int RunMkdir(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "mkdir", 1);
    if (!medium)
        return 2;
    if (!args.Ok() || args.Positional().empty() || args.Positional().size() > 2) {
        std::fprintf(stderr, "vantel mkdir: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::string parent = args.Positional()[0];
    std::optional<std::string> name;
    if (args.Positional().size() == 2)
        name = args.Positional()[1];

    host::ComHost session;
    host::FolderList list(session.Owner());
    if (!list.Fill(*medium, parent)) {
        std::fprintf(stderr, "vantel mkdir: %s on medium %u could not be listed\n", parent.c_str(),
                     *medium);
        return 1;
    }
    CHostCreateDlg dialog(*medium, parent.c_str(), list.Control());
    host::UserThread user([&] {
        host::EnterName("Create Folder", IDC_CREATE_EDIT, name, "New folder name", dialog.state);
    });
    const INT_PTR ended = dialog.DoModal();
    user.Join();
    if (ended != IDOK) {
        std::printf("mkdir: no folder made\n");
        return 1;
    }
    if (dialog.result != 0) {
        std::printf("mkdir: the machine did not make %s (result %d)\n",
                    static_cast<LPCSTR>(dialog.accepted), dialog.result);
        return 1;
    }
    std::printf("%s\\%s made on medium %u\n", parent.c_str(), static_cast<LPCSTR>(dialog.accepted),
                *medium);
    return 0;
}

} // namespace

VANTEL_COMMAND("mkdir", "mkdir FOLDER [NAME] [--medium M]",
               "make a folder in a machine folder with the \"Create Folder\" dialog (the "
               "name " VANTEL_NAME_NOT_GIVEN " when not given)",
               RunMkdir);
