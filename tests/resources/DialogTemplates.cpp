// The library's dialog templates: the bytes the builder lays out are read back by an
// independent reader of the dialog-template format, and the resource section holds each
// template and the bitmap under its identifier.
#include "resources/DialogTemplates.h"
#include "resources/ResourceSection.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct ParsedControl {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    WORD classAtom = 0; // 0 when the class is given by name
    std::string className;
    std::string text;
};

struct ParsedDialog {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<ParsedControl> controls;
};

// Reads a dialog template as the dialog manager does, refusing anything that runs past the
// end of the bytes or does not end exactly at their end.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& bytes) : m_bytes(bytes) {}

    std::optional<ParsedDialog> Read() {
        ParsedDialog dialog;
        WORD count = 0;
        if (!Dword(dialog.style) || !Skip(4) || !Word(count) || !Short(dialog.x) ||
            !Short(dialog.y) || !Short(dialog.cx) || !Short(dialog.cy))
            return std::nullopt;
        WORD menu = 0, windowClass = 0;
        if (!Word(menu) || menu != 0 || !Word(windowClass) || windowClass != 0)
            return std::nullopt;
        if (!Text(dialog.caption))
            return std::nullopt;
        if (dialog.style & DS_SETFONT) {
            if (!Word(dialog.pointSize) || !Text(dialog.font))
                return std::nullopt;
        }
        for (WORD i = 0; i < count; ++i) {
            m_pos = (m_pos + 3) & ~size_t(3);
            ParsedControl control;
            WORD extra = 0;
            if (!Dword(control.style) || !Skip(4) || !Short(control.x) || !Short(control.y) ||
                !Short(control.cx) || !Short(control.cy) || !Word(control.id))
                return std::nullopt;
            if (!NameOrOrdinal(control.classAtom, control.className))
                return std::nullopt;
            WORD textOrdinal = 0;
            if (!NameOrOrdinal(textOrdinal, control.text) || textOrdinal != 0)
                return std::nullopt;
            if (!Word(extra) || !Skip(extra))
                return std::nullopt;
            dialog.controls.push_back(control);
        }
        if (m_pos != m_bytes.size())
            return std::nullopt;
        return dialog;
    }

private:
    bool Skip(size_t n) {
        if (m_bytes.size() - m_pos < n)
            return false;
        m_pos += n;
        return true;
    }
    bool Word(WORD& w) {
        if (m_bytes.size() - m_pos < 2)
            return false;
        w = static_cast<WORD>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
        return true;
    }
    bool Short(int& n) {
        WORD w = 0;
        if (!Word(w))
            return false;
        n = static_cast<short>(w);
        return true;
    }
    bool Dword(DWORD& dw) {
        WORD lo = 0, hi = 0;
        if (!Word(lo) || !Word(hi))
            return false;
        dw = lo | (static_cast<DWORD>(hi) << 16);
        return true;
    }
    // A zero-terminated text of 16-bit characters (single-byte texts only).
    bool Text(std::string& text) {
        text.clear();
        for (;;) {
            WORD ch = 0;
            if (!Word(ch))
                return false;
            if (ch == 0)
                return true;
            if (ch > 0xFF)
                return false;
            text.push_back(static_cast<char>(ch));
        }
    }
    bool NameOrOrdinal(WORD& ordinal, std::string& name) {
        if (m_bytes.size() - m_pos >= 2 && m_bytes[m_pos] == 0xFF && m_bytes[m_pos + 1] == 0xFF) {
            m_pos += 2;
            return Word(ordinal);
        }
        ordinal = 0;
        return Text(name);
    }

    const std::vector<BYTE>& m_bytes;
    size_t m_pos = 0;
};

std::optional<ParsedDialog> Build(WORD id) {
    const DIALOGRESOURCE* resource = FindDialogResource(id);
    if (resource == NULL)
        return std::nullopt;
    std::vector<BYTE> bytes;
    if (!BuildDialogTemplate(*resource, bytes))
        return std::nullopt;
    return TemplateReader(bytes).Read();
}

const ParsedControl* Control(const ParsedDialog& dialog, WORD id) {
    for (const ParsedControl& control : dialog.controls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

std::string ClassOf(const ParsedControl& control) {
    switch (control.classAtom) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    default:
        return control.className;
    }
}

} // namespace

TEST(DialogTemplates, EveryTableReadsBackExactlyAsWritten) {
    int count = 0;
    const DIALOGRESOURCE* dialogs = GetDialogResources(&count);
    ASSERT_EQ(8, count);
    for (int i = 0; i < count; ++i) {
        const DIALOGRESOURCE& table = dialogs[i];
        SCOPED_TRACE(table.wID);
        EXPECT_EQ(IDD_SEND_DIALOG + i, table.wID);
        std::optional<ParsedDialog> parsed = Build(table.wID);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(table.dwStyle | DS_SETFONT, parsed->style);
        EXPECT_EQ(table.lpszCaption, parsed->caption);
        EXPECT_EQ(table.cx, parsed->cx);
        EXPECT_EQ(table.cy, parsed->cy);
        EXPECT_EQ("MS Shell Dlg", parsed->font);
        EXPECT_EQ(8, parsed->pointSize);
        ASSERT_EQ(static_cast<size_t>(table.nControls), parsed->controls.size());
        for (int c = 0; c < table.nControls; ++c) {
            const DIALOGCONTROL& expected = table.pControls[c];
            const ParsedControl& got = parsed->controls[c];
            SCOPED_TRACE(expected.nID);
            EXPECT_EQ(static_cast<WORD>(expected.nID), got.id);
            EXPECT_EQ(expected.lpszClass, ClassOf(got));
            EXPECT_EQ(expected.lpszText, got.text);
            EXPECT_EQ(expected.dwStyle | WS_CHILD, got.style);
            EXPECT_EQ(expected.x, got.x);
            EXPECT_EQ(expected.y, got.y);
            EXPECT_EQ(expected.cx, got.cx);
            EXPECT_EQ(expected.cy, got.cy);
        }
    }
}

TEST(DialogTemplates, PredefinedClassesAreAtomsAndCommonControlsNames) {
    std::optional<ParsedDialog> send = Build(IDD_SEND_DIALOG);
    ASSERT_TRUE(send.has_value());
    EXPECT_EQ(0x0080, Control(*send, IDCANCEL)->classAtom);
    EXPECT_EQ(0x0082, Control(*send, IDC_SEND_STATUS)->classAtom);
    EXPECT_EQ(0, Control(*send, IDC_SEND_PROGRESS)->classAtom);
    EXPECT_EQ(PROGRESS_CLASSA, Control(*send, IDC_SEND_PROGRESS)->className);

    std::optional<ParsedDialog> select = Build(IDD_DESIGNSELECT_DIALOG);
    ASSERT_TRUE(select.has_value());
    EXPECT_EQ(WC_LISTVIEWA, Control(*select, IDC_DESIGN_LIST)->className);
    // The static nobody addresses has the identifier -1.
    const ParsedControl* label = Control(*select, 0xFFFF);
    ASSERT_NE(nullptr, label);
    EXPECT_EQ("Folder :", label->text);
}

TEST(DialogTemplates, StylesTheDialogsDependOn) {
    // The folder-list dialog's Cancel exists but is not visible: the window's Close command
    // still reaches it.
    std::optional<ParsedDialog> info = Build(IDD_INFORMATION_DIALOG);
    ASSERT_TRUE(info.has_value());
    const ParsedControl* cancel = Control(*info, IDCANCEL);
    ASSERT_NE(nullptr, cancel);
    EXPECT_EQ(0u, cancel->style & WS_VISIBLE);
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), cancel->style & BS_TYPEMASK);

    // The driver search shows no buttons at all; its dialog is visible from the start.
    std::optional<ParsedDialog> driver = Build(IDD_USBDRIVER_DIALOG);
    ASSERT_TRUE(driver.has_value());
    EXPECT_NE(0u, driver->style & WS_VISIBLE);
    EXPECT_EQ(0u, Control(*driver, IDOK)->style & WS_VISIBLE);
    EXPECT_EQ(0u, Control(*driver, IDCANCEL)->style & WS_VISIBLE);
    EXPECT_EQ(static_cast<DWORD>(SS_CENTER | SS_CENTERIMAGE),
              Control(*driver, IDC_DRIVER_WAIT)->style & (SS_TYPEMASK | SS_CENTERIMAGE));

    // The design browser: a small-icon list with one selection, shown while unfocused, and
    // an automatic check box.
    std::optional<ParsedDialog> select = Build(IDD_DESIGNSELECT_DIALOG);
    ASSERT_TRUE(select.has_value());
    DWORD listStyle = Control(*select, IDC_DESIGN_LIST)->style;
    EXPECT_EQ(static_cast<DWORD>(LVS_SMALLICON), listStyle & LVS_TYPEMASK);
    EXPECT_NE(0u, listStyle & LVS_SINGLESEL);
    EXPECT_NE(0u, listStyle & LVS_SHOWSELALWAYS);
    EXPECT_NE(0u, listStyle & WS_TABSTOP);
    EXPECT_EQ(static_cast<DWORD>(BS_AUTOCHECKBOX),
              Control(*select, IDC_RZONLY_CHECK)->style & BS_TYPEMASK);
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), Control(*select, IDOK)->style & BS_TYPEMASK);

    // The name edits scroll sideways; every control is a child.
    for (WORD id : {IDD_RENAME_DIALOG, IDD_CREATE_DIALOG}) {
        std::optional<ParsedDialog> dialog = Build(id);
        ASSERT_TRUE(dialog.has_value());
        for (const ParsedControl& control : dialog->controls) {
            EXPECT_NE(0u, control.style & WS_CHILD);
            if (ClassOf(control) == "Edit") {
                EXPECT_NE(0u, control.style & ES_AUTOHSCROLL);
            }
        }
    }
}

TEST(DialogTemplates, SendStatusKeepsItsLineBreaksAndTabs) {
    std::optional<ParsedDialog> send = Build(IDD_SEND_DIALOG);
    ASSERT_TRUE(send.has_value());
    EXPECT_EQ(std::string("Now Sending\r\n\t\t?/?\nabc"), Control(*send, IDC_SEND_STATUS)->text);
}

TEST(DialogTemplates, BuilderRefusesTablesItCannotLayOut) {
    DIALOGCONTROL control = {0x10000, "Button", 0, "x", 0, 0, 10, 10};
    DIALOGRESOURCE dialog = {1, "t", WS_POPUP, "MS Shell Dlg", 8, 0, 0, 10, 10, &control, 1};
    std::vector<BYTE> bytes(3, 0xAA);
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes));
    EXPECT_TRUE(bytes.empty());

    dialog.nControls = -1;
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes));
    dialog.nControls = 1;
    dialog.pControls = NULL;
    EXPECT_FALSE(BuildDialogTemplate(dialog, bytes));

    // No controls at all is a valid template.
    dialog.nControls = 0;
    ASSERT_TRUE(BuildDialogTemplate(dialog, bytes));
    std::optional<ParsedDialog> parsed = TemplateReader(bytes).Read();
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->controls.empty());
    EXPECT_EQ("t", parsed->caption);
}

TEST(DialogTemplates, ResourceSectionHoldsTheTemplatesAndTheBitmap) {
    int count = 0;
    const RESOURCEENTRY* entries = GetResourceSection(&count);
    ASSERT_EQ(9, count);
    for (WORD id = IDD_SEND_DIALOG; id <= IDB_DESIGN_IMAGES; ++id) {
        SCOPED_TRACE(id);
        int found = 0;
        for (int i = 0; i < count; ++i) {
            if (entries[i].wID != id)
                continue;
            ++found;
            EXPECT_EQ(id == IDB_DESIGN_IMAGES ? RT_BITMAP : RT_DIALOG, entries[i].lpType);
            ASSERT_NE(nullptr, entries[i].pData);
            EXPECT_GT(entries[i].cbData, 0u);
            if (entries[i].lpType == RT_DIALOG) {
                std::vector<BYTE> bytes(entries[i].pData, entries[i].pData + entries[i].cbData);
                EXPECT_TRUE(TemplateReader(bytes).Read().has_value());
            }
        }
        EXPECT_EQ(1, found);
    }
    // The same section every time.
    int again = 0;
    EXPECT_EQ(entries, GetResourceSection(&again));
    EXPECT_EQ(count, again);
}
