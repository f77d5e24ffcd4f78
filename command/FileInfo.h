// FILEINFO: the fixed-size slot in which the host and the dialogs pass one path or name of a
// list of designs (PC paths of designs to send, machine paths of designs to receive, machine
// names of designs to delete). A list is an array of consecutive slots walked with a stride of
// sizeof(FILEINFO) and passed together with its slot count.
#pragma once

#include <afx.h>

#define FILEINFO_SIZE 263

struct FILEINFO {
    char szPath[FILEINFO_SIZE]; // zero-terminated, at most 262 characters, zeros after it
};

static_assert(sizeof(FILEINFO) == FILEINFO_SIZE, "a FILEINFO slot is 263 bytes");

// Fills the slot with the text and zeros after it. FALSE (and an empty slot) when the text
// does not fit with its terminator.
BOOL FileInfoSet(FILEINFO* pInfo, LPCSTR pszPath);
