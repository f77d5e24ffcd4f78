// The library's dialog templates as tables, one line per control as a resource script
// writes them, and the builder that turns a table into the in-memory dialog template
// (a DLGTEMPLATE followed by its DLGITEMTEMPLATEs) that the dialog manager reads.
#pragma once

#include <windows.h>

#include <vector>

// One control of a dialog template.
struct DIALOGCONTROL {
    int nID;          // control identifier; -1 for a static text that nobody addresses
    LPCSTR lpszClass; // "Button", "Edit", "Static" or the class name of a common control
    DWORD dwStyle;    // the control's own style bits; WS_CHILD is always added
    LPCSTR lpszText;  // initial text, "" for none
    short x, y, cx, cy;
};

// One dialog template.
struct DIALOGRESOURCE {
    WORD wID;
    LPCSTR lpszCaption;
    DWORD dwStyle; // DS_SETFONT is added because every template names its font
    LPCSTR lpszFont;
    WORD wPointSize;
    short x, y, cx, cy;
    const DIALOGCONTROL* pControls;
    int nControls;
};

// The library's dialog templates, in the order of their identifiers.
const DIALOGRESOURCE* GetDialogResources(int* pnCount);

// The template with the given identifier, or NULL.
const DIALOGRESOURCE* FindDialogResource(WORD wID);

// Lays `dialog` out as a dialog template in `bytes` (texts as 16-bit characters, every
// control aligned on a 32-bit boundary from the start of the template). False when the
// table cannot be laid out: a negative count or more than 65535 controls, or a control
// identifier that does not fit in 16 bits.
bool BuildDialogTemplate(const DIALOGRESOURCE& dialog, std::vector<BYTE>& bytes);
