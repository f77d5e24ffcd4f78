// Helpers of the command object's tests: design files written into a PC folder, a recorder of
// the message boxes shown (answering each with OK), and an owner window for them.
#pragma once

#include "stdafx.h"
#include "design/KstFormat.h"
#include "host/DesignSample.h"
#include "support/MachineSupport.h"
#include "support/TestSupport.h"

#include <emu_desktop.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace comtest {

// A design of the sample writer with the hoop code and extents given.
inline std::vector<BYTE> Design(bool extended, LONG hoop, int colours = 2) {
    host::DesignSampleOptions options;
    options.extended = extended;
    options.colours = colours;
    options.units = 40 * colours;
    host::DesignSample sample;
    EXPECT_EQ("", host::BuildDesignSample(options, sample));
    LONG value = hoop;
    std::memcpy(sample.bytes.data() + offsetof(tagKstHeader, nHoop), &value, sizeof value);
    return sample.bytes;
}

inline LONG HeaderLong(const std::vector<BYTE>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

inline void SetHeaderLong(std::vector<BYTE>& bytes, size_t offset, LONG value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

inline void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    ASSERT_EQ(bytes.size(), written) << path;
}

inline bool ReadBytes(const std::string& path, std::vector<BYTE>* bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes->push_back(static_cast<BYTE>(c));
    std::fclose(file);
    return true;
}

inline std::vector<uint8_t> Blob(const BYTE* blob, size_t size) {
    return blob == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(blob, blob + size);
}

inline std::vector<std::string> Names(const std::vector<testsupport::FolderRecord>& records) {
    std::vector<std::string> names;
    for (const auto& record : records)
        names.push_back(record.name);
    return names;
}

// Records every message box (caption and text) and answers it with OK.
class MessageBoxes : public emu::DesktopObserver {
public:
    struct Box {
        std::string caption;
        std::string text;
        UINT type;
    };
    MessageBoxes() { emu::AddDesktopObserver(this); }
    ~MessageBoxes() override { emu::RemoveDesktopObserver(this); }
    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(Box{box.caption, box.text, box.type});
        return IDOK;
    }
    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }
    std::string Texts() {
        std::string all;
        for (const Box& box : Boxes())
            all += box.caption + ": " + box.text + "\n";
        return all;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
};

// A top-level window that owns the message boxes and takes the device notifications.
class OwnerWindow {
public:
    OwnerWindow()
        : m_hwnd(CreateWindowExA(0, "Static", "host", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, NULL,
                                 nullptr)) {}
    ~OwnerWindow() { DestroyWindow(m_hwnd); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Handle() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

} // namespace comtest
