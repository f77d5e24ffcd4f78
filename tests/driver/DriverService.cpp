// The driver service: the diagnosis (version table, driver file and its size, setup
// information files of both families, registry entry, verdict), the troubleshooting flow with
// its messages and questions, and the removal (the access list that opens the key tree to
// everyone, the tree deleted depth first, the 9x family, nothing found).
#include "driver/DriverTestKit.h"

#include "driver/TroubleshootDriver.h"
#include "driver/UsbdriverDlg.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace drivertest;

namespace {

const std::string kInstance = std::string(kKeyNt) + "\\5&2A3B&0&1";
const char kSys[] = "System32/Drivers/Ostr472.sys";

struct Entry {
    BYTE type, flags;
    ACCESS_MASK mask;
    std::vector<BYTE> sid;
    bool operator==(const Entry& o) const {
        return type == o.type && flags == o.flags && mask == o.mask && sid == o.sid;
    }
};

std::vector<BYTE> Sid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD a, DWORD b = 0) {
    PSID sid = NULL;
    EXPECT_TRUE(::AllocateAndInitializeSid(&authority, count, a, b, 0, 0, 0, 0, 0, 0, &sid));
    std::vector<BYTE> bytes(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
    ::FreeSid(sid);
    return bytes;
}

// Sets the key's discretionary list to these allowing entries.
void SetList(const std::string& key, const std::vector<Entry>& entries) {
    std::vector<BYTE> buffer(512);
    PACL acl = reinterpret_cast<PACL>(buffer.data());
    SECURITY_DESCRIPTOR sd;
    HKEY handle = NULL;
    ASSERT_TRUE(::InitializeAcl(acl, 512, ACL_REVISION));
    for (const Entry& e : entries)
        ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, e.mask, (PSID)e.sid.data()));
    ASSERT_TRUE(::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
    ASSERT_EQ(0, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, WRITE_DAC, &handle));
    EXPECT_EQ(0, ::RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &sd));
    ::RegCloseKey(handle);
}

std::vector<Entry> ListOf(const std::string& key) {
    std::vector<Entry> entries;
    std::vector<BYTE> sd(4096);
    DWORD size = 4096;
    HKEY handle = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = NULL;
    EXPECT_EQ(0, ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, READ_CONTROL, &handle));
    EXPECT_EQ(0, ::RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, sd.data(), &size));
    ::RegCloseKey(handle);
    EXPECT_TRUE(::GetSecurityDescriptorDacl(sd.data(), &present, &acl, &defaulted));
    for (WORD i = 0; acl != NULL && i < acl->AceCount; ++i) {
        PACCESS_ALLOWED_ACE ace = NULL;
        EXPECT_TRUE(::GetAce(acl, i, reinterpret_cast<LPVOID*>(&ace)));
        BYTE* sid = reinterpret_cast<BYTE*>(&ace->SidStart);
        entries.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask,
                           std::vector<BYTE>(sid, sid + ::GetLengthSid(sid))});
    }
    return entries;
}

// The list Windows gives the device key: administrators and system all, users read.
const std::vector<Entry> kProtected = {
    {0, 0, KEY_ALL_ACCESS, Sid(SECURITY_NT_AUTHORITY, 2, 32, DOMAIN_ALIAS_RID_ADMINS)},
    {0, 0, KEY_ALL_ACCESS, Sid(SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID)},
    {0, 0, KEY_READ, Sid(SECURITY_NT_AUTHORITY, 2, 32, DOMAIN_ALIAS_RID_USERS)}};

// An installation of the NT family with a driver file of `size` bytes, oem3.inf and its .pnf,
// and the protected device key two levels deep.
void InstallNt(Windows& windows, size_t size) {
    windows.Write(kSys, std::string(size, 'D'));
    windows.Write("Inf/oem3.inf", kInf);
    windows.Write("Inf/oem3.pnf", "PNF");
    ASSERT_TRUE(CreateKey(kInstance, "Vantel Embroidery (Ostr472)"));
    ASSERT_TRUE(CreateKey(kInstance + "\\Device Parameters"));
    SetList(kKeyNt, kProtected);
}

} // namespace

TEST(DriverService, VersionTableGivesPlatformClassAndWhetherRemovalIsOffered) {
    const struct {
        const char* version;
        int platform;
        bool oldOs;
    } rows[] = {
        {"win32s", 0, false}, {"95", 1, true},     {"98", 1, true},     {"me", 1, true},
        {"4.20:1", 1, false}, {"3.51:2", 2, true}, {"nt4", 2, true},    {"2000", 2, true},
        {"xp", 2, true},      {"2003", 2, false},  {"vista", 2, false}, {"7", 2, false},
        {"10", 2, false},     {"4.1:2", 2, false}, {"5.3:2", 2, false}, {"5.1:3", -1, false}};
    Windows windows("xp");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.version);
        windows.Set("VANTEL_WINDOWS_VERSION", row.version);
        CUsbdriverDlg dialog;
        EXPECT_EQ(row.platform, dialog.DetectOsVersion());
        EXPECT_EQ(row.oldOs, dialog.m_bOldOs);
    }
}

TEST(DriverService, DiagnosisOfTheNtFamily) {
    Windows windows("xp");
    CUsbdriverDlg dialog;
    EXPECT_EQ(0, dialog.SearchDriver()); // nothing at all
    EXPECT_TRUE(dialog.m_strDriverFile.IsEmpty() && dialog.m_strRegKey.IsEmpty());

    InstallNt(windows, 60000);
    EXPECT_EQ(1, dialog.SearchDriver());
    char dir[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetWindowsDirectoryA(dir, MAX_PATH));
    EXPECT_EQ(CString(dir) + "\\System32\\Drivers\\Ostr472.sys", dialog.m_strDriverFile);
    EXPECT_EQ(CString(dir) + "\\Inf\\oem3.inf", dialog.m_strInfFile);
    EXPECT_EQ(CString(dir) + "\\Inf\\oem3.pnf", dialog.m_strPnfFile);
    EXPECT_EQ(CString(kKeyNt), dialog.m_strRegKey);

    // A driver file of 40,000 bytes is found, but the installation is damaged.
    windows.Write(kSys, std::string(40000, 'D'));
    EXPECT_EQ(-1, dialog.SearchDriver());
    EXPECT_FALSE(dialog.m_strDriverFile.IsEmpty());
    windows.Set("VANTEL_WINDOWS_VERSION", "7");
    EXPECT_EQ(-2, dialog.SearchDriver());
    windows.Write(kSys, std::string(50000, 'D'));
    EXPECT_EQ(1, dialog.SearchDriver());

    // A matching oem*.inf whose .pnf is missing fails; the first match in order wins; one of
    // the two texts, or the identifier in other letters, is no match; a zero byte hides nothing.
    ::remove((std::string(dir) + "/Inf/oem3.pnf").c_str());
    EXPECT_FALSE(dialog.FindDriverInf());
    EXPECT_EQ(CString(dir) + "\\Inf\\oem3.inf", dialog.m_strInfFile);
    EXPECT_TRUE(dialog.m_strPnfFile.IsEmpty());
    windows.Write("Inf/oem0.inf", "Ostr472 only");
    windows.Write("Inf/oem1.inf", "Ostr472 USB\\vid_1d9f&pid_0002");
    windows.Write("Inf/oem2.inf", std::string("\0 Ostr472 VID_1d9f&PID_0002", 27));
    windows.Write("Inf/oem2.pnf", "PNF");
    EXPECT_TRUE(dialog.FindDriverInf());
    EXPECT_EQ(CString(dir) + "\\Inf\\oem2.pnf", dialog.m_strPnfFile);

    // Only the first instance's description counts, and only up to 128 bytes.
    ASSERT_TRUE(CreateKey(kInstance, (std::string(130, 'x') + "Ostr472").c_str()));
    EXPECT_FALSE(dialog.FindDriverRegistry());
    EXPECT_EQ(CString(kKeyNt), dialog.m_strRegKey);
    ASSERT_TRUE(CreateKey(kInstance, (std::string(120, 'x') + "Ostr472").c_str()));
    EXPECT_TRUE(dialog.FindDriverRegistry());
    ASSERT_TRUE(CreateKey(std::string(kKeyNt) + "\\0000", "Another driver"));
    EXPECT_FALSE(dialog.FindDriverRegistry());
}

TEST(DriverService, DiagnosisAndRemovalOfThe9xFamily) {
    Windows windows("98");
    windows.Write(kSys, std::string(60000, 'D'));
    windows.Write("Inf/oem3.inf", kInf); // where only the NT family looks
    ASSERT_TRUE(CreateKey(kInstance, "Ostr472"));
    CUsbdriverDlg dialog;
    EXPECT_EQ(-1, dialog.SearchDriver());
    EXPECT_TRUE(dialog.m_strInfFile.IsEmpty() && dialog.m_strRegKey.IsEmpty());

    windows.Write("Inf/Other/O.S.T.R.Ostr472.inf", kInf);
    ASSERT_TRUE(CreateKey(std::string(kKey9x) + "\\0001", "Ostr472"));
    EXPECT_EQ(1, dialog.SearchDriver());
    EXPECT_TRUE(dialog.m_strPnfFile.IsEmpty());
    EXPECT_EQ(CString(kKey9x), dialog.m_strRegKey);
    windows.Set("VANTEL_USER_IS_ADMIN", "0");
    EXPECT_TRUE(dialog.IsGroupMember(DOMAIN_ALIAS_RID_ADMINS)); // no test on that family

    EXPECT_TRUE(dialog.RemoveDriver());
    EXPECT_FALSE(KeyExists(kKey9x)); // the whole tree
    EXPECT_FALSE(windows.Exists(kSys) || windows.Exists("Inf/Other/O.S.T.R.Ostr472.inf"));
    EXPECT_TRUE(KeyExists(kInstance));
    // A key that cannot be deleted (gone meanwhile) leaves the answer to the files; files
    // that cannot be deleted fail the removal, and the key goes all the same.
    windows.Write(kSys, "D");
    windows.Write("Inf/Other/O.S.T.R.Ostr472.inf", kInf);
    EXPECT_TRUE(dialog.RemoveDriver());
    EXPECT_FALSE(windows.Exists(kSys));
    ASSERT_TRUE(CreateKey(std::string(kKey9x) + "\\0001"));
    EXPECT_FALSE(dialog.RemoveDriver());
    EXPECT_FALSE(KeyExists(kKey9x));
}

TEST(DriverService, RemovalOnTheNtFamily) {
    Windows windows("xp");
    CUsbdriverDlg dialog;
    // Nothing found: nothing removed, success.
    windows.Write("Inf/oem1.inf", "other");
    ASSERT_TRUE(CreateKey("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0001&PID_0001"));
    ASSERT_EQ(0, dialog.SearchDriver());
    EXPECT_TRUE(dialog.RemoveDriver());
    EXPECT_TRUE(windows.Exists("Inf/oem1.inf"));
    EXPECT_TRUE(KeyExists("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0001&PID_0001"));

    EXPECT_TRUE(dialog.IsGroupMember(DOMAIN_ALIAS_RID_ADMINS));
    EXPECT_FALSE(dialog.IsGroupMember(DOMAIN_ALIAS_RID_GUESTS));
    // The tree is opened to everyone, emptied depth first and deleted, with the files.
    InstallNt(windows, 40000);
    ASSERT_EQ(-1, dialog.SearchDriver());
    EXPECT_TRUE(dialog.RemoveDriver());
    EXPECT_FALSE(KeyExists(kKeyNt));
    EXPECT_TRUE(KeyExists("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0001&PID_0001"));
    EXPECT_FALSE(windows.Exists(kSys) || windows.Exists("Inf/oem3.pnf"));

    // A key below that nobody may read cannot be opened to everyone: the removal fails after
    // the files and the lists, before anything of the tree is deleted. The new list holds
    // the world entry first, then the old ones in their order.
    InstallNt(windows, 40000);
    ASSERT_TRUE(CreateKey(kInstance + "\\Locked"));
    SetList(kInstance + "\\Locked", {});
    ASSERT_EQ(-1, dialog.SearchDriver());
    EXPECT_FALSE(dialog.RemoveDriver());
    EXPECT_FALSE(windows.Exists(kSys) || windows.Exists("Inf/oem3.inf"));
    const Entry world = {ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                         0xF003F, Sid(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID)};
    const std::vector<Entry> opened = {world, kProtected[0], kProtected[1], kProtected[2]};
    EXPECT_EQ(opened, ListOf(kKeyNt));
    EXPECT_EQ(opened, ListOf(kInstance + "\\Device Parameters"));
}

TEST(DriverService, TroubleshootingOnOlderWindows) {
    const std::string damaged =
        "Search USB Driver: Check if the machine and PC are connected with the USB cable, and the "
        "machine is turned on.\nIf communication fails, installation of the USB driver might be "
        "unsuccessful or the USB driver might be damaged.\n\nDelete USB driver information?";
    const std::string sure = "Delete USB Driver: Are you sure to remove the USB driver?";
    const UINT question = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
    Windows windows("xp");
    InstallNt(windows, 60000);
    {
        Screen screen;
        TroubleshootDriver(NULL);
        EXPECT_EQ((std::vector<std::string>{
                      "[Search USB Driver] Please wait . . .",
                      "Confirm: The USB driver is properly installed.\nCheck if the machine and "
                      "the PC are connected with the USB cable, or the machine is turned on."}),
                  screen.shown);
        EXPECT_EQ(MB_OK | MB_ICONQUESTION, screen.types[1]);
        ASSERT_FALSE(screen.cursors.empty()); // the wait cursor during the search, then back
        EXPECT_EQ(1, std::count(screen.cursors.begin(), screen.cursors.end(), "wait"));
        EXPECT_NE("wait", screen.cursors.back());
    }
    windows.Write(kSys, std::string(40000, 'D'));
    windows.Set("VANTEL_USER_IS_ADMIN", "0");
    {
        Screen screen({IDYES, IDYES}); // no second question for a user who is no administrator
        TroubleshootDriver(NULL);
        EXPECT_EQ((std::vector<std::string>{"[Search USB Driver] Please wait . . .", damaged,
                                            "Delete USB Driver: You need to log on as an "
                                            "administrator or as an authorized user to remove "
                                            "the USB driver."}),
                  screen.shown);
        EXPECT_EQ((std::vector<UINT>{0, question, MB_OK | MB_ICONEXCLAMATION}), screen.types);
    }
    windows.Set("VANTEL_USER_IS_ADMIN", "1");
    for (std::deque<int> answers : {std::deque<int>{IDNO}, std::deque<int>{IDYES, IDNO}}) {
        Screen screen(answers);
        TroubleshootDriver(NULL);
        EXPECT_EQ(answers.size() + 1, screen.shown.size());
        EXPECT_EQ(question, screen.types.back());
    }
    EXPECT_TRUE(windows.Exists(kSys) && KeyExists(kKeyNt));
    Screen screen({IDYES, IDYES});
    TroubleshootDriver(NULL);
    EXPECT_EQ((std::vector<std::string>{"[Search USB Driver] Please wait . . .", damaged, sure,
                                        "Delete USB Driver: The USB driver is successfully "
                                        "removed.\nInstall the USB driver."}),
              screen.shown);
    EXPECT_EQ(MB_OK | MB_ICONINFORMATION, screen.types.back());
    EXPECT_FALSE(windows.Exists(kSys) || KeyExists(kKeyNt));
}

// Run as the vantel host from a folder of its own, with the help file beside it or not.
TEST(DriverService, TroubleshootingOnNewerWindowsOpensTheHelpFileBesideTheProgram) {
    Windows windows("7");
    InstallNt(windows, 40000);
    testsupport::TempDir folder;
    std::filesystem::copy_file(VANTEL_HOST_EXE, folder.File("vantel"));
    auto doctor = [&](const char* answer) {
        std::string output;
        EXPECT_EQ(1, testsupport::RunCommand(std::string("echo ") + answer +
                                                 " | VANTEL_MACHINE=none " + folder.File("vantel") +
                                                 " doctor 2>&1",
                                             &output));
        return output;
    };
    const std::string manual = "Delete USB Driver: The USB driver cannot be deleted "
                               "automatically.\n  Delete it manually with \"Device Manager\".";
    std::string declined = doctor("n");
    EXPECT_NE(std::string::npos, declined.find("Delete USB driver information?")) << declined;
    EXPECT_EQ(std::string::npos, declined.find("Delete USB Driver")) << declined;
    std::string missing = doctor("y");
    EXPECT_NE(std::string::npos, missing.find(manual)) << missing;
    std::ofstream(folder.File("DeleteUSBDriver.chm")) << "help";
    std::string opened = doctor("y");
    EXPECT_NE(std::string::npos, opened.find("The shell performs \"open\" on " +
                                             folder.File("DeleteUSBDriver.chm") + "\n"))
        << opened;
    EXPECT_EQ(std::string::npos, opened.find("Delete USB Driver")) << opened;
    EXPECT_TRUE(windows.Exists(kSys) && KeyExists(kKeyNt)); // nothing removed on that family
}
