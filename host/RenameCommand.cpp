// vantel rename: the "Rename File" / "Rename Folder" dialog over the list of the item's folder,
// then RenameFile or RenameFolder with the name in its normal form.
#include "FileHost.h"

#include "frame/VantelPrintUsb.h"

#include <cstdio>

namespace {

const char kUsage[] = "usage: vantel rename MACHINEPATH [NEWNAME] [--medium M]";

// The host's dialog: when the dialog accepts a name, the rename is made at once, while the
// dialog is still on the screen to own the messages.
class CHostRenameDlg : public CRenameDlg {
public:
    CHostRenameDlg(WORD wMedium, LPCSTR lpszPath, CListCtrl* pList)
        : CRenameDlg(wMedium, lpszPath, pList), original(m_strName) {}
    host::NameDialogState state;
    bool ended = false;
    const CString original;
    CString normal;
    int result = 1;

protected:
    afx_msg void OnOkClicked() {
        CRenameDlg::OnBnClickedOk();
        if (!ended)
            ++state.rejected;
    }
    void OnOK() override {
        ended = true;
        CRenameDlg::OnOK(); // takes the name as typed into m_strName
        normal = m_strName;
        CompareFileName(original, &normal, m_bFolder);
        result = m_bFolder ? RenameFolder(normal) : RenameFile(normal);
    }
    void OnCancel() override {
        ended = true;
        CRenameDlg::OnCancel();
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHostRenameDlg, CRenameDlg)
ON_BN_CLICKED(IDOK, &CHostRenameDlg::OnOkClicked)
END_MESSAGE_MAP()

int RunRename(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "rename", 1);
    if (!medium)
        return 2;
    if (!args.Ok() || args.Positional().empty() || args.Positional().size() > 2) {
        std::fprintf(stderr, "vantel rename: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::string path = args.Positional()[0];
    std::optional<std::string> name;
    if (args.Positional().size() == 2)
        name = args.Positional()[1];

    host::ComHost session;
    host::FolderList list(session.Owner());
    const std::string folder = host::ParentPath(path);
    if (!list.Fill(*medium, folder)) {
        std::fprintf(stderr, "vantel rename: %s on medium %u could not be listed\n", folder.c_str(),
                     *medium);
        return 1;
    }
    CHostRenameDlg dialog(*medium, path.c_str(), list.Control());
    const std::string caption = dialog.m_bFolder ? "Rename Folder" : "Rename File";
    host::UserThread user(
        [&] { host::EnterName(caption, IDC_RENAME_EDIT, name, "New name", dialog.state); });
    const INT_PTR ended = dialog.DoModal();
    user.Join();
    if (ended != IDOK) {
        std::printf("rename: nothing renamed\n");
        return 1;
    }
    if (dialog.result != 0) {
        std::printf("rename: the machine did not rename %s (result %d)\n",
                    static_cast<LPCSTR>(dialog.original), dialog.result);
        return 1;
    }
    std::printf("%s -> %s\n", static_cast<LPCSTR>(dialog.original),
                static_cast<LPCSTR>(dialog.normal));
    return 0;
}

} // namespace

VANTEL_COMMAND("rename", "rename MACHINEPATH [NEWNAME] [--medium M]",
               "rename a design or a folder of the machine with the rename dialog (a design keeps "
               "its .kst; the name " VANTEL_NAME_NOT_GIVEN " when not given)",
               RunRename);
