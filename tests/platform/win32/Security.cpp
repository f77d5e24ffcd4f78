// Security identifiers, access-control lists, descriptors and the access token of the Win32
// emulation: Windows' binary layouts and the calls' rules.
#include <windows.h>

#include "Win32Environment.h"

#include <gtest/gtest.h>

#include <stddef.h>

#include <vector>

using win32test::ScopedEnv;

namespace {

SID_IDENTIFIER_AUTHORITY kWorld = SECURITY_WORLD_SID_AUTHORITY;
SID_IDENTIFIER_AUTHORITY kNt = SECURITY_NT_AUTHORITY;

// The SIDs of the tests, released at the end.
struct Sids {
    PSID world = nullptr, admins = nullptr, users = nullptr;
    Sids() {
        EXPECT_TRUE(
            AllocateAndInitializeSid(&kWorld, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &world));
        EXPECT_TRUE(AllocateAndInitializeSid(&kNt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                             DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
        EXPECT_TRUE(AllocateAndInitializeSid(&kNt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                             DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, &users));
    }
    ~Sids() {
        FreeSid(world);
        FreeSid(admins);
        FreeSid(users);
    }
};

TEST(SecurityLayouts, MatchTheSdkForThisPointerSize) {
    const size_t p = sizeof(void*);
    EXPECT_EQ(sizeof(SID), 12u);
    EXPECT_EQ(offsetof(SID, SubAuthority), 8u);
    EXPECT_EQ(sizeof(ACL), 8u);
    EXPECT_EQ(offsetof(ACL, AceCount), 4u);
    EXPECT_EQ(sizeof(ACE_HEADER), 4u);
    EXPECT_EQ(offsetof(ACCESS_ALLOWED_ACE, Mask), 4u);
    EXPECT_EQ(offsetof(ACCESS_ALLOWED_ACE, SidStart), 8u);
    EXPECT_EQ(sizeof(SECURITY_DESCRIPTOR), p == 8 ? 40u : 20u);
    EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR, Owner), p == 8 ? 8u : 4u);
    EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR, Dacl), p == 8 ? 32u : 16u);
    EXPECT_EQ(sizeof(SECURITY_DESCRIPTOR_RELATIVE), 20u);
    EXPECT_EQ(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl), 16u);
    EXPECT_EQ(sizeof(SID_AND_ATTRIBUTES), 2 * p);
    EXPECT_EQ(offsetof(TOKEN_GROUPS, Groups), p);
    EXPECT_EQ(sizeof(ACL_SIZE_INFORMATION), 12u);
    EXPECT_EQ(KEY_READ, 0x20019u);
    EXPECT_EQ(KEY_ALL_ACCESS, 0xF003Fu);
    EXPECT_EQ(KEY_READ | WRITE_DAC, 0x60019u);
}

TEST(Sids, WorldAndAdministratorsHaveWindowsBytes) {
    Sids sids;
    const BYTE world[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    ASSERT_EQ(GetLengthSid(sids.world), sizeof world);
    EXPECT_EQ(memcmp(sids.world, world, sizeof world), 0);
    const BYTE admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    ASSERT_EQ(GetLengthSid(sids.admins), sizeof admins);
    EXPECT_EQ(memcmp(sids.admins, admins, sizeof admins), 0);
    EXPECT_TRUE(IsValidSid(sids.admins));
    EXPECT_FALSE(EqualSid(sids.admins, sids.users));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    BYTE copy[SECURITY_MAX_SID_SIZE];
    ASSERT_TRUE(CopySid(sizeof copy, copy, sids.admins));
    EXPECT_TRUE(EqualSid(copy, sids.admins));
    EXPECT_FALSE(CopySid(8, copy, sids.admins));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    PSID tooLong = nullptr;
    EXPECT_FALSE(AllocateAndInitializeSid(&kNt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &tooLong));
    EXPECT_EQ(tooLong, nullptr);
    copy[0] = 2; // another revision
    EXPECT_FALSE(IsValidSid(copy));
    EXPECT_FALSE(EqualSid(copy, sids.admins));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
}

// An allow entry with `flags` and `mask` for `sid`, laid out as ACCESS_ALLOWED_ACE.
std::vector<BYTE> AllowEntry(PSID sid, BYTE flags, ACCESS_MASK mask) {
    std::vector<BYTE> entry(offsetof(ACCESS_ALLOWED_ACE, SidStart) + GetLengthSid(sid));
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry.data());
    ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->Header.AceFlags = flags;
    ace->Header.AceSize = static_cast<WORD>(entry.size());
    ace->Mask = mask;
    memcpy(&ace->SidStart, sid, GetLengthSid(sid));
    return entry;
}

TEST(Acls, WorldFirstThenTheOldEntriesFillAnExactlySizedList) {
    Sids sids;
    std::vector<DWORD> oldBuffer(64);
    PACL old = reinterpret_cast<PACL>(oldBuffer.data());
    ASSERT_TRUE(InitializeAcl(old, 256, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(old, ACL_REVISION, KEY_READ, sids.users));
    ASSERT_TRUE(AddAccessAllowedAceEx(old, ACL_REVISION, CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS,
                                      sids.admins));
    ASSERT_TRUE(AddAccessDeniedAce(old, ACL_REVISION, DELETE, sids.world));
    ACL_SIZE_INFORMATION oldSize;
    ASSERT_TRUE(GetAclInformation(old, &oldSize, sizeof oldSize, AclSizeInformation));
    EXPECT_EQ(oldSize.AceCount, 3u);
    EXPECT_EQ(oldSize.AclBytesInUse, 8u + 24 + 24 + 20);
    EXPECT_EQ(oldSize.AclBytesFree, 256u - oldSize.AclBytesInUse);

    std::vector<BYTE> world = AllowEntry(sids.world, 3, 0xF003F);
    DWORD size = oldSize.AclBytesInUse + 8 + GetLengthSid(sids.world);
    std::vector<DWORD> newBuffer(size / 4);
    PACL fresh = reinterpret_cast<PACL>(newBuffer.data());
    ASSERT_TRUE(InitializeAcl(fresh, size, ACL_REVISION));
    ASSERT_TRUE(AddAce(fresh, ACL_REVISION, MAXDWORD, world.data(), world.size()));
    for (DWORD i = 0; i < oldSize.AceCount; ++i) {
        LPVOID ace;
        ASSERT_TRUE(GetAce(old, i, &ace));
        ASSERT_TRUE(
            AddAce(fresh, ACL_REVISION, MAXDWORD, ace, static_cast<ACE_HEADER*>(ace)->AceSize));
    }
    ACL_SIZE_INFORMATION freshSize;
    ASSERT_TRUE(GetAclInformation(fresh, &freshSize, sizeof freshSize, AclSizeInformation));
    EXPECT_EQ(freshSize.AceCount, 4u);
    EXPECT_EQ(freshSize.AclBytesFree, 0u);
    LPVOID first, last;
    ASSERT_TRUE(GetAce(fresh, 0, &first));
    EXPECT_EQ(memcmp(first, world.data(), world.size()), 0);
    ASSERT_TRUE(GetAce(fresh, 3, &last));
    EXPECT_EQ(static_cast<ACE_HEADER*>(last)->AceType, ACCESS_DENIED_ACE_TYPE);
    EXPECT_FALSE(GetAce(fresh, 4, &last));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A full list takes nothing more; an entry at index 0 goes first.
    EXPECT_FALSE(AddAce(fresh, ACL_REVISION, MAXDWORD, world.data(), world.size()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(DeleteAce(fresh, 0));
    ASSERT_TRUE(AddAce(fresh, ACL_REVISION, 0, world.data(), world.size()));
    ASSERT_TRUE(GetAce(fresh, 0, &first));
    EXPECT_EQ(memcmp(first, world.data(), world.size()), 0);
    ACL_REVISION_INFORMATION revision;
    ASSERT_TRUE(GetAclInformation(fresh, &revision, sizeof revision, AclRevisionInformation));
    EXPECT_EQ(revision.AclRevision, static_cast<DWORD>(ACL_REVISION));
    EXPECT_FALSE(GetAclInformation(fresh, &revision, 2, AclRevisionInformation));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(Acls, MalformedListsAndEntriesAreRefused) {
    DWORD buffer[16] = {};
    PACL acl = reinterpret_cast<PACL>(buffer);
    EXPECT_FALSE(InitializeAcl(acl, 7, ACL_REVISION));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(InitializeAcl(acl, sizeof buffer, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    BYTE badEntry[8] = {ACCESS_ALLOWED_ACE_TYPE, 0, 12, 0}; // claims more than the list holds
    EXPECT_FALSE(AddAce(acl, ACL_REVISION, MAXDWORD, badEntry, sizeof badEntry));
    EXPECT_EQ(acl->AceCount, 0);
    acl->AceCount = 1; // an entry that is not there
    EXPECT_FALSE(IsValidAcl(acl));
}

TEST(Descriptors, SelfRelativeFormHasWindowsLayout) {
    Sids sids;
    std::vector<DWORD> aclBuffer(16);
    PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
    ASSERT_TRUE(InitializeAcl(acl, 8 + 8 + GetLengthSid(sids.world), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, sids.world));
    SECURITY_DESCRIPTOR absolute;
    ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&absolute, sids.admins, FALSE));
    EXPECT_EQ(GetSecurityDescriptorLength(&absolute), sizeof(SECURITY_DESCRIPTOR) + 28 + 16);

    DWORD size = 0;
    EXPECT_FALSE(MakeSelfRelativeSD(&absolute, nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(size, 20u + 28 + 16);
    std::vector<DWORD> relativeBuffer(size / 4);
    auto* relative = reinterpret_cast<SECURITY_DESCRIPTOR_RELATIVE*>(relativeBuffer.data());
    ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative, &size));
    EXPECT_EQ(relative->Control, SE_SELF_RELATIVE | SE_DACL_PRESENT);
    EXPECT_EQ(relative->Dacl, 20u);  // the list right after the header,
    EXPECT_EQ(relative->Owner, 48u); // then the owner
    EXPECT_EQ(relative->Group, 0u);
    EXPECT_EQ(relative->Sacl, 0u);
    EXPECT_EQ(GetSecurityDescriptorLength(relative), size);
    EXPECT_FALSE(MakeSelfRelativeSD(relative, nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_DESCRIPTOR_FORMAT));

    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(relative, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(reinterpret_cast<BYTE*>(dacl), reinterpret_cast<BYTE*>(relative) + 20);
    EXPECT_EQ(memcmp(dacl, acl, acl->AclSize), 0);
    EXPECT_FALSE(SetSecurityDescriptorDacl(relative, TRUE, acl, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SECURITY_DESCR));

    // And back to the absolute form, in buffers of the sizes asked for.
    SECURITY_DESCRIPTOR back;
    DWORD backSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
    EXPECT_FALSE(MakeAbsoluteSD(relative, &back, &backSize, nullptr, &daclSize, nullptr, &saclSize,
                                nullptr, &ownerSize, nullptr, &groupSize));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(daclSize, 28u);
    EXPECT_EQ(ownerSize, 16u);
    EXPECT_EQ(groupSize, 0u);
    std::vector<DWORD> daclBack(daclSize / 4), ownerBack(ownerSize / 4);
    ASSERT_TRUE(MakeAbsoluteSD(relative, &back, &backSize, reinterpret_cast<PACL>(daclBack.data()),
                               &daclSize, nullptr, &saclSize, ownerBack.data(), &ownerSize, nullptr,
                               &groupSize));
    PSID owner = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorOwner(&back, &owner, &defaulted));
    EXPECT_TRUE(EqualSid(owner, sids.admins));
    ASSERT_TRUE(GetSecurityDescriptorDacl(&back, &present, &dacl, &defaulted));
    EXPECT_EQ(memcmp(dacl, acl, acl->AclSize), 0);
    EXPECT_FALSE(InitializeSecurityDescriptor(&back, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
}

// The groups of the process's token, as GetTokenInformation lays them out.
std::vector<BYTE> ProcessGroups(DWORD access = TOKEN_QUERY) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
    DWORD size = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> groups(size);
    EXPECT_TRUE(GetTokenInformation(token, TokenGroups, groups.data(), size, &size));
    EXPECT_TRUE(CloseHandle(token));
    return groups;
}

bool HoldsGroup(const std::vector<BYTE>& buffer, PSID sid) {
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const BYTE* at = static_cast<const BYTE*>(groups->Groups[i].Sid);
        EXPECT_TRUE(at >= buffer.data() &&
                    at + GetLengthSid(groups->Groups[i].Sid) <= buffer.data() + buffer.size());
        if (EqualSid(groups->Groups[i].Sid, sid))
            return true;
    }
    return false;
}

TEST(Token, GroupsAreEveryoneFirstAndAdministratorsOnlyForAnAdministrator) {
    Sids sids;
    ScopedEnv version("VANTEL_WINDOWS_VERSION", "xp");
    ScopedEnv admin("VANTEL_USER_IS_ADMIN", nullptr);
    std::vector<BYTE> plain = ProcessGroups();
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(plain.data());
    ASSERT_GE(groups->GroupCount, 2u);
    EXPECT_TRUE(EqualSid(groups->Groups[0].Sid, sids.world));
    EXPECT_TRUE(groups->Groups[0].Attributes & SE_GROUP_ENABLED);
    EXPECT_TRUE(HoldsGroup(plain, sids.users));
    EXPECT_FALSE(HoldsGroup(plain, sids.admins));
    admin.Set("1");
    EXPECT_TRUE(HoldsGroup(ProcessGroups(), sids.admins));
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, sids.admins, &member));
    EXPECT_TRUE(member);
}

TEST(Token, NeedsQueryRightsAndExistsOnlyOnTheNtFamily) {
    ScopedEnv version("VANTEL_WINDOWS_VERSION", "2000");
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_DEFAULT, &token));
    DWORD size = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseHandle(token));
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    version.Set("98");
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

} // namespace
