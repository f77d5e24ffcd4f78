// vantel ui-tour: opens each of the library's dialog templates as a plain dialog for a moment,
// through the terminal presenter, and lists the controls it holds.
#include "Command.h"
#include "Presenter.h"
#include "PresenterText.h"

#include <afxwin.h>

#include "platform/loader/LibraryModule.h"
#include "resources/resource.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string ControlKind(HWND control) {
    char name[64] = {};
    ::GetClassNameA(control, name, sizeof name);
    std::string className = name;
    DWORD style = static_cast<DWORD>(::GetWindowLongA(control, GWL_STYLE));
    if (className == "Button") {
        switch (style & BS_TYPEMASK) {
        case BS_DEFPUSHBUTTON:
            return "default button";
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return "check box";
        default:
            return "button";
        }
    }
    if (className == "Edit")
        return "edit";
    if (className == "Static")
        return "text";
    if (className == "msctls_progress32")
        return "progress bar";
    if (className == "SysListView32")
        return "list";
    return className;
}

// A template shown as it is: no data exchange, closed by its own timer.
class CTourDialog : public CDialog {
public:
    CTourDialog(UINT nIDTemplate, UINT nPause) : CDialog(nIDTemplate), m_nPause(nPause) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(1, m_nPause, NULL);
        return TRUE;
    }

    afx_msg void OnTimer(UINT nIDEvent) {
        // A tick that comes before the modal loop has shown the dialog does not count.
        if (nIDEvent != 1 || !IsWindowVisible())
            return;
        KillTimer(1);
        ListControls();
        EndDialog(IDOK);
    }

private:
    void ListControls() {
        for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != NULL;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            CString text;
            CWnd::FromHandle(child)->GetWindowText(text);
            int id = static_cast<short>(::GetDlgCtrlID(child));
            std::string line = "  - " + ControlKind(child) + " " + std::to_string(id);
            if (!text.IsEmpty())
                line += " \"" + host::OneLine(text.GetString()) + "\"";
            if (!::IsWindowVisible(child))
                line += " (hidden)";
            std::printf("%s\n", line.c_str());
        }
        std::fflush(stdout);
    }

    UINT m_nPause;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTourDialog, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

int RunUiTour(const std::vector<std::string>& words) {
    host::Args args(words, {});
    std::optional<long long> pause = args.GetNumber("pause", 1000);
    if (!args.Ok()) {
        std::fprintf(stderr, "vantel ui-tour: %s\n", args.Error().c_str());
        return 2;
    }
    if (!args.Positional().empty()) {
        std::fprintf(stderr, "vantel ui-tour: takes no arguments\n");
        return 2;
    }
    if (!pause || *pause < 0 || *pause > 60000) {
        std::fprintf(stderr, "vantel ui-tour: --pause takes 0 to 60000 milliseconds\n");
        return 2;
    }

    // The templates are the library's; until the library's own start-up has put it into the
    // framework's chain of modules, the tour puts it there for its duration.
    std::unique_ptr<CDynLinkLibrary> library;
    LPCSTR first = MAKEINTRESOURCE(IDD_SEND_DIALOG);
    if (::FindResourceA(AfxFindResourceHandle(first, RT_DIALOG), first, RT_DIALOG) == NULL) {
        HMODULE module = VantelLibraryModule();
        if (module != NULL)
            library.reset(new CDynLinkLibrary(module, module));
    }

    host::Presenter presenter;
    int failures = 0;
    for (UINT id = IDD_SEND_DIALOG; id <= IDD_DESIGNSELECT_DIALOG; ++id) {
        CTourDialog dialog(id, static_cast<UINT>(*pause));
        if (dialog.DoModal() != IDOK) {
            std::fprintf(stderr, "vantel ui-tour: dialog template %u cannot be opened\n", id);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

VANTEL_COMMAND("ui-tour", "ui-tour [--pause MS]",
               "show each dialog template of the library for a moment", RunUiTour);
