// vantel_resource_script: writes the Windows build's resource script and the .bmp of bitmap 9008
// from the tables that the library builds its templates from, so that windres compiles the same
// templates into the DLL's resource section as the POSIX build registers at load.
//
//     vantel_resource_script SCRIPT.rc BITMAP.bmp
//
// Exit 0 when both files were written, 1 when a table cannot be written as a script or a file
// cannot be written, 2 on a wrong command line.
#include "stdafx.h"

#include "resources/DesignImages.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A text as a resource script string: quotes doubled, backslashes and the control characters
// the templates use escaped. False for a byte the script cannot carry unchanged.
bool Quote(LPCSTR lpszText, std::string& out) {
    out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(lpszText); *p != 0; ++p) {
        switch (*p) {
        case '"':
            out += "\"\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (*p < 0x20 || *p > 0x7E)
                return false; // the compiler would translate it through a code page
            out += static_cast<char>(*p);
        }
    }
    out += "\"";
    return true;
}

std::string Hex(DWORD dw) {
    char sz[16];
    snprintf(sz, sizeof sz, "0x%08lX", static_cast<unsigned long>(dw));
    return sz;
}

// The dialog manager's own control classes are written as their atoms (as in the templates the
// library builds); the common controls by name.
bool ControlClass(LPCSTR lpszClass, std::string& out) {
    static const struct {
        LPCSTR lpszName;
        LPCSTR lpszAtom;
    } kAtoms[] = {{"Button", "0x0080"}, {"Edit", "0x0081"}, {"Static", "0x0082"}};
    for (const auto& atom : kAtoms) {
        if (lstrcmpiA(lpszClass, atom.lpszName) == 0) {
            out = atom.lpszAtom;
            return true;
        }
    }
    return Quote(lpszClass, out);
}

// One DIALOG statement. The resource compiler gives every control WS_CHILD | WS_VISIBLE unless
// told otherwise, and the dialog DS_SETFONT for its FONT line; the styles below are the tables'
// own, with NOT WS_VISIBLE for the hidden controls.
bool WriteDialog(const DIALOGRESOURCE& dialog, std::string& rc) {
    std::string caption, font;
    if (!Quote(dialog.lpszCaption, caption) || !Quote(dialog.lpszFont, font))
        return false;
    char sz[160];
    snprintf(sz, sizeof sz, "%u DIALOG %d, %d, %d, %d\n", dialog.wID, dialog.x, dialog.y, dialog.cx,
             dialog.cy);
    rc += sz;
    rc += "STYLE " + Hex(dialog.dwStyle | DS_SETFONT) + "\n";
    rc += "CAPTION " + caption + "\n";
    rc += "FONT " + std::to_string(dialog.wPointSize) + ", " + font + "\n";
    rc += "BEGIN\n";
    for (int i = 0; i < dialog.nControls; ++i) {
        const DIALOGCONTROL& control = dialog.pControls[i];
        std::string text, className;
        if (!Quote(control.lpszText, text) || !ControlClass(control.lpszClass, className))
            return false;
        std::string style = Hex(control.dwStyle | WS_CHILD);
        if ((control.dwStyle & WS_VISIBLE) == 0)
            style += " | NOT " + Hex(WS_VISIBLE);
        snprintf(sz, sizeof sz, ", %d, %s, %s, %d, %d, %d, %d\n", control.nID, className.c_str(),
                 style.c_str(), control.x, control.y, control.cx, control.cy);
        rc += "    CONTROL " + text + sz;
    }
    rc += "END\n\n";
    return true;
}

bool WriteFile(const char* lpszPath, const void* pData, size_t nSize) {
    FILE* file = fopen(lpszPath, "wb");
    if (file == NULL)
        return false;
    bool bWritten = fwrite(pData, 1, nSize, file) == nSize;
    return fclose(file) == 0 && bWritten;
}

// The bitmap resource as a .bmp file: the file header, then the bitmap as the resource holds it
// (the compiler strips the file header again).
bool WriteBitmap(const char* lpszPath) {
    std::vector<BYTE> dib;
    if (!BuildDesignImages(dib))
        return false;
    const DWORD kFileHeader = 14;
    const DWORD dwOffBits = kFileHeader + sizeof(BITMAPINFOHEADER);
    const DWORD dwFileSize = kFileHeader + static_cast<DWORD>(dib.size());
    std::vector<BYTE> file = {'B', 'M'};
    for (DWORD dw : {dwFileSize, DWORD(0), dwOffBits}) // size, two reserved words, bits offset
        for (int nShift = 0; nShift < 32; nShift += 8)
            file.push_back(static_cast<BYTE>(dw >> nShift));
    file.insert(file.end(), dib.begin(), dib.end());
    return WriteFile(lpszPath, file.data(), file.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: vantel_resource_script SCRIPT.rc BITMAP.bmp\n");
        return 2;
    }
    std::string rc = "// Written by vantel_resource_script from the library's resource tables; do "
                     "not edit.\n\nLANGUAGE 9, 1\n\n";
    int nDialogs = 0;
    const DIALOGRESOURCE* pDialogs = GetDialogResources(&nDialogs);
    for (int i = 0; i < nDialogs; ++i) {
        if (!WriteDialog(pDialogs[i], rc)) {
            fprintf(stderr,
                    "vantel_resource_script: dialog %u holds a text that a resource "
                    "script cannot carry (only printable ASCII, tabs and line breaks)\n",
                    pDialogs[i].wID);
            return 1;
        }
    }
    std::string bitmap;
    if (!Quote(argv[2], bitmap)) {
        fprintf(stderr,
                "vantel_resource_script: the path %s cannot be written in a resource "
                "script (only printable ASCII)\n",
                argv[2]);
        return 1;
    }
    rc += std::to_string(IDB_DESIGN_IMAGES) + " BITMAP " + bitmap + "\n";
    if (!WriteBitmap(argv[2]) || !WriteFile(argv[1], rc.data(), rc.size())) {
        fprintf(stderr, "vantel_resource_script: cannot write %s and %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
