// Helpers of the command object's tests: designs and files in a PC folder, and an owner window
// for the message boxes.
#pragma once

#include "stdafx.h"
#include "design/KstFormat.h"
#include "support/MachineSupport.h"
#include "support/MessageBoxes.h"
#include "support/TestSupport.h"

#include <emu_desktop.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace comtest {

inline void SetLong(std::vector<BYTE>& bytes, size_t offset, LONG value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// A well-formed design (its stitch data ends with the file) with the hoop code given.
inline std::vector<BYTE> Design(LONG hoop = 1, int colours = 2) {
    std::vector<BYTE> bytes = testsupport::MakeDesign(colours, 20);
    SetLong(bytes, offsetof(tagKstHeader, nHoop), hoop);
    return bytes;
}

// The entry names of a folder-information blob, sorted.
inline std::vector<std::string> Names(const std::vector<uint8_t>& blob) {
    std::vector<std::string> names;
    for (const auto& record : testsupport::ParseFolderBlob(blob))
        names.push_back(record.name);
    std::sort(names.begin(), names.end());
    return names;
}

// A top-level window that owns the message boxes and takes the device notifications.
struct OwnerWindow {
    OwnerWindow() : hwnd(CreateWindowExA(0, "Static", "host", 0, 0, 0, 9, 9, 0, 0, 0, nullptr)) {}
    ~OwnerWindow() { DestroyWindow(hwnd); }
    const HWND hwnd;
};

} // namespace comtest
