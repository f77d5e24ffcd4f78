// The registry of the Win32 emulation as the driver tool uses it: persistence in its file,
// names without regard to case, enumeration, and the NT and 9x rules for deleting keys (the
// driver tool's tests cover access checked against each key's discretionary list).
#include <windows.h>

#include "Win32Environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using win32test::PrivateRegistry;

namespace {

const char kDevice[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1D9F&PID_0002";

HKEY Create(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

LONG Open(HKEY root, const char* path, REGSAM access, HKEY* key = nullptr) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(root, path, 0, access, &opened);
    if (key != nullptr)
        *key = opened;
    else if (opened != nullptr)
        RegCloseKey(opened);
    return status;
}

std::string ReadText(HKEY key, const char* name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    return std::string(buffer, size);
}

std::vector<std::string> Subkeys(HKEY key) {
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG status = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
            return names;
        }
        names.push_back(name);
    }
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Values, with odd names, survive in the file; a damaged file fails every call and is left
// as it is.
TEST(Registry, ValuesSurviveAReloadAndADamagedFileIsRefused) {
    PrivateRegistry registry;
    HKEY key = Create(HKEY_LOCAL_MACHINE, kDevice);
    const char text[] = "Ostr472 \"USB\" C:\\x";
    const DWORD number = 0x1234ABCD;
    const char multi[] = "one\0two\0";
    const char oddName[] = "tab\there\\\"";
    ASSERT_EQ(RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof text),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, oddName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                             sizeof multi),
              ERROR_SUCCESS);
    RegCloseKey(key);
    emu::ReloadRegistry();
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kDevice, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(ReadText(key, "DeviceDesc"), std::string(text, sizeof text));
    EXPECT_EQ(ReadText(key, "count"), std::string(reinterpret_cast<const char*>(&number), 4));
    EXPECT_EQ(ReadText(key, oddName), std::string(multi, sizeof multi));
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    const std::string damaged = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:12\n";
    std::ofstream(registry.File()) << damaged;
    key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_BADDB);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "A", KEY_READ), ERROR_BADDB);
    EXPECT_EQ(FileText(registry.File()), damaged);
}

TEST(Registry, NamesIgnoreCaseKeepTheirCaseAndAreListedInOrder) {
    PrivateRegistry registry;
    for (const char* name : {"zeta", "Alpha", "beta", "ALPHA\\Inner"})
        RegCloseKey(Create(HKEY_LOCAL_MACHINE, (std::string("Root\\") + name).c_str()));
    HKEY root = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "rOOT", KEY_READ, &root), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(root), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    EXPECT_EQ(Open(root, "alpha\\INNER", KEY_READ), ERROR_SUCCESS);
    RegCloseKey(root);
}

// Deleting a key with subkeys: refused on the NT family, the whole tree on 9x.
TEST(Registry, OnTheNtFamilyAKeyWithSubkeysStaysAndOn9xItsTreeGoes) {
    PrivateRegistry registry("xp");
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Tree\\Device\\0000\\Deeper"));
    HKEY held = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Tree\\Device\\0000\\Deeper", KEY_READ, &held),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Device"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Device\\0000\\deeper"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(held, "x", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(held), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Device\\0000\\Deeper"),
              ERROR_FILE_NOT_FOUND);

    registry.SetVersion("98");
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Tree\\Device\\0000\\Deeper"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Tree\\Device"), ERROR_SUCCESS);
    HKEY tree = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Tree", KEY_READ, &tree), ERROR_SUCCESS);
    EXPECT_TRUE(Subkeys(tree).empty());
    RegCloseKey(tree);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

} // namespace
