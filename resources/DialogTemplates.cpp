#include "stdafx.h"

#include "resources/DialogTemplates.h"
#include "resources/resource.h"

#include <commctrl.h>

namespace {

// Window classes of the templates' controls.
const char kButton[] = "Button";
const char kEdit[] = "Edit";
const char kStatic[] = "Static";
const char kProgress[] = PROGRESS_CLASSA;
const char kListView[] = WC_LISTVIEWA;

// Control kinds, with the style bits a resource script gives them.
const DWORD kDefPushButton = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
const DWORD kPushButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
const DWORD kCheckBox = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
const DWORD kLeftText = WS_VISIBLE | WS_GROUP | SS_LEFT;
const DWORD kCentredText = WS_VISIBLE | WS_GROUP | SS_CENTER;
const DWORD kNameEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
const DWORD kProgressBar = WS_VISIBLE;

const DWORD kModalPopup = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
const DWORD kModalFrame = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
const char kFont[] = "MS Shell Dlg";
const WORD kPoints = 8;

const DIALOGCONTROL kSendControls[] = {
    {IDCANCEL, kButton, kDefPushButton, "Cancel", 129, 7, 50, 14},
    {IDC_SEND_PROGRESS, kProgress, kProgressBar, "", 21, 55, 143, 11},
    {IDC_SEND_STATUS, kStatic, kLeftText, "Now Sending\r\n\t\t?/?\nabc", 37, 25, 110, 26},
};

const DIALOGCONTROL kReceiveControls[] = {
    {IDCANCEL, kButton, kDefPushButton, "Cancel", 129, 7, 50, 14},
    {IDC_RECEIVE_PROGRESS, kProgress, kProgressBar, "", 21, 55, 143, 11},
    {IDC_RECEIVE_STATUS, kStatic, kLeftText, "Now Receiving", 29, 31, 132, 18},
};

const DIALOGCONTROL kDeleteControls[] = {
    {IDC_STARTDEL_BTN, kButton, kDefPushButton, "Delete", 129, 7, 50, 14},
    {IDCANCEL, kButton, kPushButton, "Cancel", 129, 24, 50, 14},
    {IDC_DELETE_PROGRESS, kProgress, kProgressBar, "", 21, 55, 143, 11},
    {IDC_DELETE_FILENAME, kStatic, kLeftText | SS_CENTERIMAGE, "File Name", 21, 43, 144, 10},
};

const DIALOGCONTROL kInformationControls[] = {
    {IDC_INFO_MESSAGE, kStatic, kCentredText, "Receiving Folder lists from the machine.", 7, 7, 172,
     11},
    {IDC_INFO_WAIT, kStatic, kCentredText, "Please wait . . .", 59, 21, 67, 12},
    {IDCANCEL, kButton, kDefPushButton & ~WS_VISIBLE, "CANCEL", 138, 27, 41, 13},
};

const DIALOGCONTROL kRenameControls[] = {
    {IDC_RENAME_EDIT, kEdit, kNameEdit, "", 15, 20, 142, 12},
    {IDOK, kButton, kDefPushButton, "OK", 21, 37, 50, 14},
    {IDCANCEL, kButton, kPushButton, "Cancel", 101, 37, 50, 14},
    {IDC_RENAME_PROMPT, kStatic, kLeftText, "Change the file name.", 7, 7, 161, 13},
};

const DIALOGCONTROL kCreateControls[] = {
    {IDC_CREATE_EDIT, kEdit, kNameEdit, "", 15, 20, 142, 12},
    {IDOK, kButton, kDefPushButton, "OK", 21, 37, 50, 14},
    {IDCANCEL, kButton, kPushButton, "Cancel", 101, 37, 50, 14},
    {IDC_CREATE_PROMPT, kStatic, kLeftText, "Enter the new folder name to create.", 7, 7, 161, 12},
};

const DIALOGCONTROL kUsbDriverControls[] = {
    {IDOK, kButton, kDefPushButton & ~WS_VISIBLE, "OK", 25, 31, 50, 14},
    {IDCANCEL, kButton, kPushButton & ~WS_VISIBLE, "Cancel", 102, 31, 50, 14},
    {IDC_DRIVER_WAIT, kStatic, kCentredText | SS_CENTERIMAGE, "Please wait . . .", 18, 7, 147, 23},
};

const DIALOGCONTROL kDesignSelectControls[] = {
    {IDC_DESIGN_LIST, kListView,
     WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_SMALLICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
         LVS_ALIGNLEFT,
     "", 10, 47, 165, 96},
    {IDC_BUILTIN_BTN, kButton, kPushButton, "Built-in", 7, 7, 50, 14},
    {IDC_ATACARD_BTN, kButton, kPushButton, "ATA Card", 67, 7, 50, 14},
    {IDC_USBMEMORY_BTN, kButton, kPushButton, "USB Memory", 129, 7, 50, 14},
    {IDC_STATIC, kStatic, kLeftText, "Folder :", 12, 31, 29, 8},
    {IDC_FOLDER_LABEL, kStatic, kLeftText, "", 43, 30, 131, 12},
    {IDC_OPEN_BTN, kButton, kPushButton, "Open", 7, 161, 50, 14},
    {IDOK, kButton, kDefPushButton, "Receive", 68, 161, 50, 14},
    {IDCANCEL, kButton, kPushButton, "Close", 129, 161, 50, 14},
    {IDC_RZONLY_CHECK, kButton, kCheckBox, "Show RZ design only", 14, 146, 135, 10},
};

#define CONTROLS(table) table, static_cast<int>(sizeof(table) / sizeof(table[0]))

const DIALOGRESOURCE kDialogs[] = {
    {IDD_SEND_DIALOG, "Send Designs", kModalPopup, kFont, kPoints, 0, 0, 186, 78,
     CONTROLS(kSendControls)},
    {IDD_RECEIVE_DIALOG, "Receive Designs", kModalPopup, kFont, kPoints, 0, 0, 186, 78,
     CONTROLS(kReceiveControls)},
    {IDD_DELETE_DIALOG, "Delete Designs", kModalPopup, kFont, kPoints, 0, 0, 186, 78,
     CONTROLS(kDeleteControls)},
    {IDD_INFORMATION_DIALOG, "Receive folder List", kModalFrame, kFont, kPoints, 0, 0, 186, 47,
     CONTROLS(kInformationControls)},
    {IDD_RENAME_DIALOG, "Rename Dialog", kModalPopup, kFont, kPoints, 0, 0, 175, 58,
     CONTROLS(kRenameControls)},
    {IDD_CREATE_DIALOG, "Create Folder", kModalPopup, kFont, kPoints, 0, 0, 175, 58,
     CONTROLS(kCreateControls)},
    {IDD_USBDRIVER_DIALOG, "Search USB Driver", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
     kFont, kPoints, 0, 0, 184, 52, CONTROLS(kUsbDriverControls)},
    {IDD_DESIGNSELECT_DIALOG, "Receive a Design", kModalFrame, kFont, kPoints, 0, 0, 186, 182,
     CONTROLS(kDesignSelectControls)},
};

// Predefined control classes are written as an atom instead of their name.
WORD ClassAtom(LPCSTR lpszClass) {
    if (lstrcmpiA(lpszClass, kButton) == 0)
        return 0x0080;
    if (lstrcmpiA(lpszClass, kEdit) == 0)
        return 0x0081;
    if (lstrcmpiA(lpszClass, kStatic) == 0)
        return 0x0082;
    return 0;
}

class TemplateWriter {
public:
    explicit TemplateWriter(std::vector<BYTE>& bytes) : m_bytes(bytes) { m_bytes.clear(); }

    void Word(WORD w) {
        m_bytes.push_back(LOBYTE(w));
        m_bytes.push_back(HIBYTE(w));
    }
    void Dword(DWORD dw) {
        Word(LOWORD(dw));
        Word(HIWORD(dw));
    }
    // Texts of the templates are single-byte; each byte becomes one 16-bit character.
    void Text(LPCSTR lpsz) {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(lpsz); *p != 0; ++p)
            Word(*p);
        Word(0);
    }
    void AlignDword() {
        while (m_bytes.size() % 4 != 0)
            m_bytes.push_back(0);
    }

private:
    std::vector<BYTE>& m_bytes;
};

} // namespace

const DIALOGRESOURCE* GetDialogResources(int* pnCount) {
    if (pnCount != NULL)
        *pnCount = static_cast<int>(sizeof(kDialogs) / sizeof(kDialogs[0]));
    return kDialogs;
}

const DIALOGRESOURCE* FindDialogResource(WORD wID) {
    for (const DIALOGRESOURCE& dialog : kDialogs) {
        if (dialog.wID == wID)
            return &dialog;
    }
    return NULL;
}

bool BuildDialogTemplate(const DIALOGRESOURCE& dialog, std::vector<BYTE>& bytes) {
    if (dialog.nControls < 0 || dialog.nControls > 0xFFFF ||
        (dialog.nControls > 0 && dialog.pControls == NULL))
        return false;
    TemplateWriter out(bytes);
    out.Dword(dialog.dwStyle | DS_SETFONT);
    out.Dword(0); // extended style
    out.Word(static_cast<WORD>(dialog.nControls));
    out.Word(static_cast<WORD>(dialog.x));
    out.Word(static_cast<WORD>(dialog.y));
    out.Word(static_cast<WORD>(dialog.cx));
    out.Word(static_cast<WORD>(dialog.cy));
    out.Word(0); // no menu
    out.Word(0); // the dialog manager's own window class
    out.Text(dialog.lpszCaption);
    out.Word(dialog.wPointSize);
    out.Text(dialog.lpszFont);
    for (int i = 0; i < dialog.nControls; ++i) {
        const DIALOGCONTROL& control = dialog.pControls[i];
        if (control.nID < -32768 || control.nID > 0xFFFF) {
            bytes.clear();
            return false;
        }
        out.AlignDword();
        out.Dword(control.dwStyle | WS_CHILD);
        out.Dword(0); // extended style
        out.Word(static_cast<WORD>(control.x));
        out.Word(static_cast<WORD>(control.y));
        out.Word(static_cast<WORD>(control.cx));
        out.Word(static_cast<WORD>(control.cy));
        out.Word(static_cast<WORD>(control.nID));
        WORD atom = ClassAtom(control.lpszClass);
        if (atom != 0) {
            out.Word(0xFFFF);
            out.Word(atom);
        } else {
            out.Text(control.lpszClass);
        }
        out.Text(control.lpszText);
        out.Word(0); // no creation data
    }
    return true;
}
