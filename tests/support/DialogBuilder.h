// Builds in-memory dialog templates (a DLGTEMPLATE and its DLGITEMTEMPLATEs, texts in 16-bit
// characters) for tests that create dialogs through the Win32 API.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

class DialogBuilder {
public:
    // The dialog itself; DS_SETFONT in `style` adds the font "MS Shell Dlg", 8 points.
    DialogBuilder(DWORD style, const std::string& caption, short cx = 200, short cy = 100);

    // A control of a predefined class by ordinal (0x80 button, 0x81 edit, 0x82 static).
    DialogBuilder& Control(WORD classOrdinal, WORD id, DWORD style, const std::string& text,
                           short x = 0, short y = 0, short cx = 50, short cy = 14);
    // A control of a class given by name ("msctls_progress32", "SysListView32", ...).
    DialogBuilder& Control(const std::string& className, WORD id, DWORD style,
                           const std::string& text, short x = 0, short y = 0, short cx = 50,
                           short cy = 14);

    const DLGTEMPLATE* Template();
    const std::vector<BYTE>& Bytes();

private:
    void Word(WORD value);
    void Text(const std::string& text);
    void Begin(DWORD style, WORD id, short x, short y, short cx, short cy);

    std::vector<BYTE> m_bytes;
    WORD m_count = 0;
};

} // namespace testsupport
