// The registry of the Win32 emulation: persistence in its file, names without regard to case,
// enumeration, the NT and 9x rules for deleting keys, handles, and access checked against
// each key's discretionary list.
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

HKEY Create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS,
            PSECURITY_DESCRIPTOR security = nullptr) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, access,
                              security != nullptr ? &attributes : nullptr, &key, &disposition),
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

TEST(Registry, ValuesOfEveryTypeSurviveAReloadFromTheFile) {
    PrivateRegistry registry;
    HKEY key = Create(HKEY_LOCAL_MACHINE, kDevice);
    const char text[] = "Ostr472 \"USB\" C:\\x";
    const DWORD number = 0x1234ABCD;
    const BYTE binary[] = {0, 1, 0xFF, 0x7F};
    const char multi[] = "one\0two\0";
    const char oddName[] = "tab\there\\\"";
    ASSERT_EQ(RegSetValueExA(key, "DeviceDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof text),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, oddName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                             sizeof multi),
              ERROR_SUCCESS);
    EXPECT_EQ(FileText(registry.File()).rfind("REGEDIT4\n", 0), 0u);

    // Another file is another registry; back on the first, everything is read from it again.
    registry.UseFile(registry.Dir().File("other.reg"));
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, kDevice, KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    registry.UseFile(registry.File());
    emu::ReloadRegistry();
    HKEY again = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kDevice, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_EQ(ReadText(again, "DeviceDesc"), std::string(text, sizeof text));
    EXPECT_EQ(ReadText(again, "count"), std::string(reinterpret_cast<const char*>(&number), 4));
    EXPECT_EQ(ReadText(again, ""), std::string(reinterpret_cast<const char*>(binary), 4));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(again, oddName, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(ReadText(again, oddName), std::string(multi, sizeof multi));
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST(Registry, ADamagedFileFailsEveryCallAndIsLeftAsItIs) {
    PrivateRegistry registry;
    const std::string damaged = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:12\n";
    std::ofstream(registry.File()) << damaged;
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_BADDB);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "A", KEY_READ), ERROR_BADDB);
    EXPECT_EQ(FileText(registry.File()), damaged);
    std::ofstream(registry.File()) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:00000012\n";
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "a", KEY_READ), ERROR_SUCCESS);
}

TEST(Registry, NamesIgnoreCaseKeepTheirCaseAndAreListedInOrder) {
    PrivateRegistry registry;
    for (const char* name : {"zeta", "Alpha", "beta", "ALPHA\\Inner"})
        RegCloseKey(Create(HKEY_LOCAL_MACHINE, (std::string("Root\\") + name).c_str()));
    HKEY root = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "rOOT", KEY_READ, &root), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(root), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    char name[6];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    size = 5; // "Alpha" needs 6 with its terminator
    EXPECT_EQ(RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(Open(root, "alpha\\INNER", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(Open(root, "\\alpha", KEY_READ), ERROR_BAD_PATHNAME);
    DWORD subkeys = 0;
    EXPECT_EQ(RegQueryInfoKeyA(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    RegCloseKey(root);
}

TEST(Registry, QueryTellsTheSizeAndRefusesASmallBuffer) {
    PrivateRegistry registry;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Vantel");
    ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 7),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "NAME", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    BYTE small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "name"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    HKEY reader = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\Vantel", KEY_QUERY_VALUE, &reader), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(reader, "Name", 0, REG_SZ, small, 1), ERROR_ACCESS_DENIED);
    RegCloseKey(reader);
    RegCloseKey(key);
}

TEST(Registry, HandlesAreKernelHandlesThatBecomeStaleWhenClosed) {
    PrivateRegistry registry;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Handles");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>("abcd"), 4),
              ERROR_INVALID_HANDLE);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(event)), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Handles", KEY_READ), ERROR_SUCCESS);
}

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

// ---------------------------------------------------------------------------------------
// Security

struct Entry {
    BYTE type;
    BYTE flags;
    ACCESS_MASK mask;
    DWORD rid; // 0: Everyone, else S-1-5-32-rid
};

// An absolute descriptor whose discretionary list holds `entries`.
class ListDescriptor {
public:
    explicit ListDescriptor(const std::vector<Entry>& entries) : m_acl(256) {
        InitializeAcl(Acl(), 1024, ACL_REVISION);
        for (const Entry& entry : entries) {
            SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
            SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
            PSID sid = nullptr;
            if (entry.rid == 0)
                AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid);
            else
                AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, entry.rid, 0, 0, 0, 0,
                                         0, 0, &sid);
            if (entry.type == ACCESS_ALLOWED_ACE_TYPE)
                EXPECT_TRUE(
                    AddAccessAllowedAceEx(Acl(), ACL_REVISION, entry.flags, entry.mask, sid));
            else
                EXPECT_TRUE(
                    AddAccessDeniedAceEx(Acl(), ACL_REVISION, entry.flags, entry.mask, sid));
            FreeSid(sid);
        }
        InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&m_descriptor, TRUE, Acl(), FALSE);
    }
    PSECURITY_DESCRIPTOR Get() { return &m_descriptor; }
    PACL Acl() { return reinterpret_cast<PACL>(m_acl.data()); }

private:
    std::vector<DWORD> m_acl;
    SECURITY_DESCRIPTOR m_descriptor;
};

// The key's descriptor as RegGetKeySecurity gives it (size first, then the descriptor).
std::vector<BYTE> KeySecurity(HKEY key) {
    DWORD size = 1;
    BYTE probe[1];
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, probe, &size),
              ERROR_INSUFFICIENT_BUFFER);
    DWORD missing = size;
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &missing), ERROR_NOACCESS);
    std::vector<BYTE> descriptor(size);
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size),
              ERROR_SUCCESS);
    return descriptor;
}

const DWORD kProtect = KEY_READ | WRITE_DAC; // may read and re-secure, but not delete

TEST(RegistrySecurity, ADeleteRefusedByTheListIsAllowedOnceEveryoneIsAdded) {
    PrivateRegistry registry("xp");
    ListDescriptor protect({{ACCESS_ALLOWED_ACE_TYPE, 0, kProtect, 0},
                            {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, DOMAIN_ALIAS_RID_ADMINS},
                            {ACCESS_DENIED_ACE_TYPE, 0, DELETE, DOMAIN_ALIAS_RID_GUESTS}});
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Protected", KEY_READ, protect.Get()));
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Protected", DELETE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Protected", KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Protected"), ERROR_ACCESS_DENIED);
    registry.SetAdmin("1"); // the Administrators' entry grants it
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Protected", DELETE), ERROR_SUCCESS);
    registry.SetAdmin("0");

    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Protected", KEY_READ | WRITE_DAC, &key), ERROR_SUCCESS);
    std::vector<BYTE> old = KeySecurity(key);
    auto* header = reinterpret_cast<SECURITY_DESCRIPTOR_RELATIVE*>(old.data());
    EXPECT_EQ(header->Control, SE_SELF_RELATIVE | SE_DACL_PRESENT);
    EXPECT_EQ(header->Dacl, 20u);
    EXPECT_EQ(header->Owner, 0u);
    BOOL present = FALSE, defaulted = FALSE;
    PACL oldAcl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(old.data(), &present, &oldAcl, &defaulted));
    ASSERT_TRUE(present);
    EXPECT_EQ(oldAcl->AceCount, 3);

    ListDescriptor opened({{ACCESS_ALLOWED_ACE_TYPE, 3, KEY_ALL_ACCESS, 0}});
    for (DWORD i = 0; i < oldAcl->AceCount; ++i) {
        LPVOID ace = nullptr;
        ASSERT_TRUE(GetAce(oldAcl, i, &ace));
        ASSERT_TRUE(AddAce(opened.Acl(), ACL_REVISION, MAXDWORD, ace,
                           static_cast<ACE_HEADER*>(ace)->AceSize));
    }
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, opened.Get()), ERROR_SUCCESS);
    EXPECT_EQ(reinterpret_cast<PACL>(KeySecurity(key).data() + 20)->AceCount, 4);
    RegCloseKey(key);
    emu::ReloadRegistry(); // the new list is in the file
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Protected"), ERROR_SUCCESS);
}

TEST(RegistrySecurity, ChangingTheListNeedsWriteDacAndReadingItReadControl) {
    PrivateRegistry registry("7");
    ListDescriptor readOnly({{ACCESS_ALLOWED_ACE_TYPE, 0, KEY_QUERY_VALUE, 0}});
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Locked", KEY_READ, readOnly.Get()));
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Locked", KEY_READ | WRITE_DAC), ERROR_ACCESS_DENIED);
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Locked", KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly.Get()),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumKeyA(key, 0, nullptr, 0), ERROR_INVALID_PARAMETER);
    char name[8];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    registry.SetVersion("me"); // no security on the 9x family
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Locked", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size),
              ERROR_CALL_NOT_IMPLEMENTED);
    RegCloseKey(key);
}

TEST(RegistrySecurity, NewKeysInheritTheContainerEntriesOfTheirParent) {
    PrivateRegistry registry("2000");
    ListDescriptor parent({{ACCESS_ALLOWED_ACE_TYPE, CONTAINER_INHERIT_ACE, KEY_READ, 0},
                           {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, 0}});
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Parent", KEY_READ, parent.Get()));
    // The parent lets everyone create keys below it; the child gets only the inherited read.
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Parent\\Child", KEY_READ));
    HKEY child = nullptr;
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Parent\\Child", KEY_SET_VALUE), ERROR_ACCESS_DENIED);
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "Parent\\Child", KEY_READ, &child), ERROR_SUCCESS);
    std::vector<BYTE> descriptor = KeySecurity(child);
    PACL acl = reinterpret_cast<PACL>(descriptor.data() + 20);
    ASSERT_EQ(acl->AceCount, 1);
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(acl + 1);
    EXPECT_EQ(ace->Header.AceFlags, CONTAINER_INHERIT_ACE | INHERITED_ACE);
    EXPECT_EQ(ace->Mask, static_cast<DWORD>(KEY_READ));
    RegCloseKey(child);
}

} // namespace
