// Helpers of the driver-service tests: a Windows computer of the emulation in a temporary
// folder (version, Windows directory, registry, administrator rights) and a screen that
// records the search dialog and the message boxes and answers the questions from a script.
#pragma once

#include "stdafx.h"

#include <emu_desktop.h>

#include "resources/resource.h"
#include "support/TestSupport.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace drivertest {

const char kKeyNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1D9F&PID_0002";
const char kKey9x[] = "Enum\\USB\\VID_1D9F&PID_0002";
const char kInf[] = "[Devices]\r\n%Ostr472.DeviceDesc%=Ostr472, USB\\VID_1d9f&PID_0002\r\n";

class Windows {
public:
    explicit Windows(const char* version) {
        std::filesystem::create_directories(m_dir.File("Windows"));
        ::setenv("VANTEL_WINDOWS_DIR", m_dir.File("Windows").c_str(), 1);
        ::setenv("VANTEL_REGISTRY", m_dir.File("registry").c_str(), 1);
        Set("VANTEL_WINDOWS_VERSION", version);
        Set("VANTEL_USER_IS_ADMIN", "1");
    }
    ~Windows() {
        for (const char* name : {"VANTEL_WINDOWS_DIR", "VANTEL_REGISTRY", "VANTEL_WINDOWS_VERSION",
                                 "VANTEL_USER_IS_ADMIN"})
            ::unsetenv(name);
    }
    void Set(const char* name, const char* value) { ::setenv(name, value, 1); }

    // Files below the Windows directory ("Inf/oem3.inf").
    void Write(const std::string& relative, const std::string& content) const {
        std::filesystem::path path = m_dir.File("Windows/" + relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(m_dir.File("Windows/" + relative));
    }

private:
    testsupport::TempDir m_dir;
};

// Creates a key below HKEY_LOCAL_MACHINE, with a DeviceDesc value when one is given.
inline bool CreateKey(const std::string& path, const char* description = nullptr) {
    HKEY key = NULL;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                          NULL) != ERROR_SUCCESS)
        return false;
    bool done =
        description == nullptr ||
        ::RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                         static_cast<DWORD>(strlen(description) + 1)) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return done;
}

inline bool KeyExists(const std::string& path) {
    HKEY key = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

// What the screen showed, one entry a window: "[caption] text" for the search dialog,
// "caption: text" for a message box (whose type and owner are kept beside it); the cursors
// set. Yes/No questions get the scripted answers in turn, then their default button.
class Screen : public emu::DesktopObserver {
public:
    explicit Screen(std::deque<int> answers = {}) : m_answers(std::move(answers)) {
        emu::AddDesktopObserver(this);
    }
    ~Screen() override { emu::RemoveDesktopObserver(this); }

    void OnWindowShown(HWND hwnd, bool visible) override {
        HWND wait = ::GetDlgItem(hwnd, IDC_DRIVER_WAIT);
        if (visible && wait != NULL)
            Add("[" + TextOf(hwnd) + "] " + TextOf(wait), 0, NULL);
    }
    void OnCursorChanged(HCURSOR cursor) override {
        std::lock_guard<std::mutex> guard(m_lock);
        cursors.push_back(emu::CursorName(cursor));
    }
    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        Add(box.caption + ": " + box.text, box.type, box.owner);
        std::lock_guard<std::mutex> guard(m_lock);
        if ((box.type & MB_TYPEMASK) != MB_YESNO || m_answers.empty())
            return box.defaultButton;
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    std::vector<std::string> shown;
    std::vector<UINT> types;
    std::vector<HWND> owners;
    std::vector<std::string> cursors;

private:
    static std::string TextOf(HWND hwnd) {
        char text[512] = {};
        ::GetWindowTextA(hwnd, text, sizeof text);
        return text;
    }
    void Add(const std::string& line, UINT type, HWND owner) {
        std::lock_guard<std::mutex> guard(m_lock);
        shown.push_back(line);
        types.push_back(type);
        owners.push_back(owner);
    }

    std::mutex m_lock;
    std::deque<int> m_answers;
};

} // namespace drivertest
