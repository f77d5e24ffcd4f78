// Security identifiers, access-control lists, security descriptors, the process's access
// token and the access check, with Windows' binary layouts.
//
// The token: the user S-1-5-21-1801674531-1336601894-725345543-<1000 + POSIX uid> with the
// primary group S-1-5-21-...-513, and the groups, in this order: Everyone (S-1-1-0),
// Administrators (S-1-5-32-544, only when VANTEL_USER_IS_ADMIN is 1, with SE_GROUP_OWNER),
// Users (S-1-5-32-545), INTERACTIVE (S-1-5-4), Authenticated Users (S-1-5-11), This
// Organization (S-1-5-15), LOCAL (S-1-2-0) and the logon session S-1-5-5-0-<pid>. Every
// group is mandatory and enabled.
#include "security.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace emu {
namespace internal {

namespace {

const size_t kRelativeHeader = sizeof(SECURITY_DESCRIPTOR_RELATIVE);

template <class T> T Load(const void* at) {
    T value;
    memcpy(&value, at, sizeof value);
    return value;
}

template <class T> void Store(void* at, T value) {
    memcpy(at, &value, sizeof value);
}

size_t Align4(size_t size) {
    return (size + 3) & ~static_cast<size_t>(3);
}

Bytes MakeSid(BYTE authority, std::initializer_list<DWORD> subAuthorities) {
    Bytes sid(8 + 4 * subAuthorities.size(), 0);
    sid[0] = SID_REVISION;
    sid[1] = static_cast<BYTE>(subAuthorities.size());
    sid[7] = authority;
    size_t at = 8;
    for (DWORD value : subAuthorities) {
        Store(&sid[at], value);
        at += 4;
    }
    return sid;
}

Bytes CopyBytes(const void* from, size_t size) {
    const BYTE* bytes = static_cast<const BYTE*>(from);
    return Bytes(bytes, bytes + size);
}

// The bytes an ACL uses: its header and its entries.
size_t AclBytesInUse(const void* acl) {
    const BYTE* bytes = static_cast<const BYTE*>(acl);
    size_t used = sizeof(ACL);
    WORD count = Load<WORD>(bytes + 4);
    for (WORD i = 0; i < count; ++i)
        used += Load<WORD>(bytes + used + 2);
    return used;
}

// The entry `index` of a valid ACL.
BYTE* AceAt(PACL acl, DWORD index) {
    BYTE* at = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
    for (DWORD i = 0; i < index; ++i)
        at += Load<WORD>(at + 2);
    return at;
}

bool IsAbsolute(const void* descriptor) {
    return (Load<WORD>(static_cast<const BYTE*>(descriptor) + 2) & SE_SELF_RELATIVE) == 0;
}

// Checks the common preconditions of the calls that change an absolute descriptor.
bool WritableDescriptor(PSECURITY_DESCRIPTOR descriptor) {
    if (descriptor == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (static_cast<BYTE*>(descriptor)[0] != SECURITY_DESCRIPTOR_REVISION)
        return Fail(ERROR_UNKNOWN_REVISION);
    if (!IsAbsolute(descriptor))
        return Fail(ERROR_INVALID_SECURITY_DESCR);
    return true;
}

// A descriptor's part: a pointer (absolute) or an offset (self-relative) into it.
void* PartOf(PSECURITY_DESCRIPTOR descriptor, size_t absoluteOffset, size_t relativeOffset) {
    BYTE* bytes = static_cast<BYTE*>(descriptor);
    if (IsAbsolute(descriptor))
        return Load<void*>(bytes + absoluteOffset);
    DWORD offset = Load<DWORD>(bytes + relativeOffset);
    return offset == 0 ? nullptr : bytes + offset;
}

void* DaclOf(PSECURITY_DESCRIPTOR d) {
    return PartOf(d, offsetof(SECURITY_DESCRIPTOR, Dacl),
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl));
}
void* SaclOf(PSECURITY_DESCRIPTOR d) {
    return PartOf(d, offsetof(SECURITY_DESCRIPTOR, Sacl),
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Sacl));
}
void* OwnerOf(PSECURITY_DESCRIPTOR d) {
    return PartOf(d, offsetof(SECURITY_DESCRIPTOR, Owner),
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner));
}
void* GroupOf(PSECURITY_DESCRIPTOR d) {
    return PartOf(d, offsetof(SECURITY_DESCRIPTOR, Group),
                  offsetof(SECURITY_DESCRIPTOR_RELATIVE, Group));
}

// The owner (or the group) of a descriptor, and whether it was defaulted.
BOOL GetDescriptorSid(PSECURITY_DESCRIPTOR descriptor, bool owner, PSID* sid, LPBOOL defaulted) {
    if (descriptor == nullptr || sid == nullptr || defaulted == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (static_cast<BYTE*>(descriptor)[0] != SECURITY_DESCRIPTOR_REVISION)
        return Fail(ERROR_UNKNOWN_REVISION);
    *sid = owner ? OwnerOf(descriptor) : GroupOf(descriptor);
    WORD flag = owner ? SE_OWNER_DEFAULTED : SE_GROUP_DEFAULTED;
    *defaulted = (Load<WORD>(static_cast<BYTE*>(descriptor) + 2) & flag) != 0;
    return TRUE;
}

BOOL SetDescriptorSid(PSECURITY_DESCRIPTOR descriptor, bool owner, PSID sid, BOOL defaulted) {
    if (!WritableDescriptor(descriptor))
        return FALSE;
    auto* absolute = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
    (owner ? absolute->Owner : absolute->Group) = sid;
    WORD flag = owner ? SE_OWNER_DEFAULTED : SE_GROUP_DEFAULTED;
    absolute->Control = static_cast<WORD>((absolute->Control & ~flag) | (defaulted ? flag : 0));
    return TRUE;
}

// Reads one part of a self-relative descriptor: the offset at `field`, bounded by `size`.
bool RelativePart(const BYTE* bytes, size_t size, size_t field, bool acl, Bytes* out) {
    DWORD offset = Load<DWORD>(bytes + field);
    if (offset == 0)
        return true;
    if (offset < kRelativeHeader || offset >= size)
        return false;
    size_t available = size - offset;
    if (acl) {
        if (!ValidAcl(bytes + offset, available))
            return false;
        *out = CopyBytes(bytes + offset, Load<WORD>(bytes + offset + 2));
        return true;
    }
    size_t length = SidLength(bytes + offset, available);
    if (length == 0)
        return false;
    *out = CopyBytes(bytes + offset, length);
    return true;
}

bool AbsolutePart(const void* part, bool acl, Bytes* out) {
    if (part == nullptr)
        return true;
    if (acl) {
        if (!ValidAcl(part))
            return false;
        *out = CopyBytes(part, Load<WORD>(static_cast<const BYTE*>(part) + 2));
        return true;
    }
    size_t length = SidLength(part);
    if (length == 0)
        return false;
    *out = CopyBytes(part, length);
    return true;
}

Token BuildToken() {
    const char* admin = getenv("VANTEL_USER_IS_ADMIN");
    const DWORD kDomain[3] = {1801674531u, 1336601894u, 725345543u};
    const DWORD kGroup = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
    Token token;
    token.user = MakeSid(5, {21, kDomain[0], kDomain[1], kDomain[2], 1000 + getuid() % 100000});
    token.primaryGroup = MakeSid(5, {21, kDomain[0], kDomain[1], kDomain[2], 513});
    token.groups.emplace_back(MakeSid(1, {SECURITY_WORLD_RID}), kGroup);
    if (admin != nullptr && strcmp(admin, "1") == 0)
        token.groups.emplace_back(
            MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}),
            kGroup | SE_GROUP_OWNER);
    token.groups.emplace_back(MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}),
                              kGroup);
    token.groups.emplace_back(MakeSid(5, {SECURITY_INTERACTIVE_RID}), kGroup);
    token.groups.emplace_back(MakeSid(5, {SECURITY_AUTHENTICATED_USER_RID}), kGroup);
    token.groups.emplace_back(MakeSid(5, {SECURITY_THIS_ORGANIZATION_RID}), kGroup);
    token.groups.emplace_back(MakeSid(2, {SECURITY_LOCAL_RID}), kGroup);
    token.groups.emplace_back(MakeSid(5, {SECURITY_LOGON_IDS_RID, 0, static_cast<DWORD>(getpid())}),
                              kGroup | SE_GROUP_LOGON_ID);
    return token;
}

class TokenObject : public KernelObject {
public:
    TokenObject(Token token, ACCESS_MASK access) : m_token(std::move(token)), m_access(access) {}
    const char* KindName() const override { return "token"; }
    const Token& Get() const { return m_token; }
    ACCESS_MASK Access() const { return m_access; }

private:
    const Token m_token;
    const ACCESS_MASK m_access;
};

// Lays out TOKEN_USER, TOKEN_OWNER or TOKEN_PRIMARY_GROUP (one SID and, for TOKEN_USER,
// its attributes) or TOKEN_GROUPS into `buffer`: the fixed part, then the SIDs it points to.
DWORD TokenInformationSize(const std::vector<std::pair<const Bytes*, DWORD>>& sids, bool counted,
                           bool attributes) {
    size_t header = counted ? offsetof(TOKEN_GROUPS, Groups) : 0;
    size_t entry = attributes ? sizeof(SID_AND_ATTRIBUTES) : sizeof(PSID);
    size_t size = header + entry * sids.size();
    for (const auto& sid : sids)
        size += sid.first->size();
    return static_cast<DWORD>(size);
}

void LayOutTokenInformation(const std::vector<std::pair<const Bytes*, DWORD>>& sids, bool counted,
                            bool attributes, BYTE* buffer) {
    size_t header = counted ? offsetof(TOKEN_GROUPS, Groups) : 0;
    size_t entry = attributes ? sizeof(SID_AND_ATTRIBUTES) : sizeof(PSID);
    if (counted)
        Store(buffer, static_cast<DWORD>(sids.size()));
    BYTE* sidAt = buffer + header + entry * sids.size();
    for (size_t i = 0; i < sids.size(); ++i) {
        BYTE* slot = buffer + header + entry * i;
        memcpy(sidAt, sids[i].first->data(), sids[i].first->size());
        Store(slot, static_cast<PSID>(sidAt));
        if (attributes)
            Store(slot + offsetof(SID_AND_ATTRIBUTES, Attributes), sids[i].second);
        sidAt += sids[i].first->size();
    }
}

BOOL AddAccessAce(PACL acl, DWORD revision, BYTE type, DWORD flags, DWORD mask, PSID sid) {
    size_t sidLength = SidLength(sid);
    if (acl == nullptr || !ValidAcl(acl) || sidLength == 0)
        return Fail(sidLength == 0 ? ERROR_INVALID_SID : ERROR_INVALID_ACL);
    if ((flags & ~static_cast<DWORD>(VALID_INHERIT_FLAGS)) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    size_t size = offsetof(ACCESS_ALLOWED_ACE, SidStart) + sidLength;
    size_t used = AclBytesInUse(acl);
    if (used + size > acl->AclSize)
        return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
    if (revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION)
        return Fail(ERROR_REVISION_MISMATCH);
    BYTE* ace = reinterpret_cast<BYTE*>(acl) + used;
    ace[0] = type;
    ace[1] = static_cast<BYTE>(flags);
    Store(ace + 2, static_cast<WORD>(size));
    Store(ace + 4, mask);
    memcpy(ace + offsetof(ACCESS_ALLOWED_ACE, SidStart), sid, sidLength);
    ++acl->AceCount;
    if (revision > acl->AclRevision)
        acl->AclRevision = static_cast<BYTE>(revision);
    return TRUE;
}

} // namespace

ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING& mapping) {
    if (mask & GENERIC_READ)
        mask |= mapping.GenericRead;
    if (mask & GENERIC_WRITE)
        mask |= mapping.GenericWrite;
    if (mask & GENERIC_EXECUTE)
        mask |= mapping.GenericExecute;
    if (mask & GENERIC_ALL)
        mask |= mapping.GenericAll;
    return mask &
           ~static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

size_t SidLength(const void* sid, size_t available) {
    if (sid == nullptr || available < 8)
        return 0;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES)
        return 0;
    size_t length = 8 + 4 * static_cast<size_t>(bytes[1]);
    return length <= available ? length : 0;
}

bool ValidAcl(const void* acl, size_t available) {
    if (acl == nullptr || available < sizeof(ACL))
        return false;
    const BYTE* bytes = static_cast<const BYTE*>(acl);
    size_t size = Load<WORD>(bytes + 2);
    if (bytes[0] < MIN_ACL_REVISION || bytes[0] > MAX_ACL_REVISION || size < sizeof(ACL) ||
        size > available)
        return false;
    size_t at = sizeof(ACL);
    for (WORD i = 0, count = Load<WORD>(bytes + 4); i < count; ++i) {
        if (at + sizeof(ACE_HEADER) > size)
            return false;
        size_t aceSize = Load<WORD>(bytes + at + 2);
        if (aceSize < sizeof(ACE_HEADER) || at + aceSize > size)
            return false;
        BYTE type = bytes[at];
        if (type <= SYSTEM_AUDIT_ACE_TYPE) {
            size_t sidAt = offsetof(ACCESS_ALLOWED_ACE, SidStart);
            if (aceSize < sidAt || SidLength(bytes + at + sidAt, aceSize - sidAt) == 0)
                return false;
        }
        at += aceSize;
    }
    return true;
}

bool ReadDescriptor(const void* descriptor, size_t size, Descriptor* out, DWORD* error) {
    *error = ERROR_INVALID_SECURITY_DESCR;
    if (descriptor == nullptr || size < 4)
        return false;
    const BYTE* bytes = static_cast<const BYTE*>(descriptor);
    if (bytes[0] != SECURITY_DESCRIPTOR_REVISION) {
        *error = ERROR_UNKNOWN_REVISION;
        return false;
    }
    WORD control = Load<WORD>(bytes + 2);
    Descriptor result;
    result.control = control & ~(SE_SELF_RELATIVE | SE_DACL_PRESENT | SE_SACL_PRESENT);
    result.daclPresent = (control & SE_DACL_PRESENT) != 0;
    result.saclPresent = (control & SE_SACL_PRESENT) != 0;
    bool ok;
    if ((control & SE_SELF_RELATIVE) != 0) {
        typedef SECURITY_DESCRIPTOR_RELATIVE R;
        ok = size >= kRelativeHeader &&
             RelativePart(bytes, size, offsetof(R, Owner), false, &result.owner) &&
             RelativePart(bytes, size, offsetof(R, Group), false, &result.group) &&
             (!result.daclPresent ||
              RelativePart(bytes, size, offsetof(R, Dacl), true, &result.dacl)) &&
             (!result.saclPresent ||
              RelativePart(bytes, size, offsetof(R, Sacl), true, &result.sacl));
    } else {
        const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
        ok = size >= sizeof(SECURITY_DESCRIPTOR) &&
             AbsolutePart(Load<PSID>(&absolute->Owner), false, &result.owner) &&
             AbsolutePart(Load<PSID>(&absolute->Group), false, &result.group) &&
             (!result.daclPresent ||
              AbsolutePart(Load<PACL>(&absolute->Dacl), true, &result.dacl)) &&
             (!result.saclPresent || AbsolutePart(Load<PACL>(&absolute->Sacl), true, &result.sacl));
    }
    if (!ok)
        return false;
    *out = std::move(result);
    *error = ERROR_SUCCESS;
    return true;
}

Bytes SelfRelative(const Descriptor& descriptor, SECURITY_INFORMATION parts) {
    typedef SECURITY_DESCRIPTOR_RELATIVE R;
    Bytes result(kRelativeHeader, 0);
    WORD control = SE_SELF_RELATIVE;
    result[0] = SECURITY_DESCRIPTOR_REVISION;
    auto append = [&result](const Bytes& part, size_t field) {
        if (part.empty())
            return;
        Store(&result[field], static_cast<DWORD>(result.size()));
        result.insert(result.end(), part.begin(), part.end());
        result.resize(Align4(result.size()), 0);
    };
    const WORD kDaclFlags =
        SE_DACL_DEFAULTED | SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED | SE_DACL_AUTO_INHERIT_REQ;
    const WORD kSaclFlags =
        SE_SACL_DEFAULTED | SE_SACL_AUTO_INHERITED | SE_SACL_PROTECTED | SE_SACL_AUTO_INHERIT_REQ;
    if ((parts & SACL_SECURITY_INFORMATION) && descriptor.saclPresent) {
        control |= SE_SACL_PRESENT | (descriptor.control & kSaclFlags);
        append(descriptor.sacl, offsetof(R, Sacl));
    }
    if ((parts & DACL_SECURITY_INFORMATION) && descriptor.daclPresent) {
        control |= SE_DACL_PRESENT | (descriptor.control & kDaclFlags);
        append(descriptor.dacl, offsetof(R, Dacl));
    }
    if (parts & OWNER_SECURITY_INFORMATION) {
        control |= descriptor.control & SE_OWNER_DEFAULTED;
        append(descriptor.owner, offsetof(R, Owner));
    }
    if (parts & GROUP_SECURITY_INFORMATION) {
        control |= descriptor.control & SE_GROUP_DEFAULTED;
        append(descriptor.group, offsetof(R, Group));
    }
    Store(&result[2], control);
    return result;
}

bool Token::Holds(const Bytes& sid, bool forDeny) const {
    if (sid == user)
        return true;
    for (const auto& group : groups) {
        if (group.first == sid && ((group.second & SE_GROUP_ENABLED) != 0 ||
                                   (forDeny && (group.second & SE_GROUP_USE_FOR_DENY_ONLY) != 0)))
            return true;
    }
    return false;
}

Token CurrentToken() {
    return BuildToken();
}

DWORD CheckAccess(const Descriptor& descriptor, const Token& token, ACCESS_MASK desired,
                  const GENERIC_MAPPING& mapping, ACCESS_MASK* granted) {
    desired = MapGenericRights(desired, mapping);
    bool maximum = (desired & MAXIMUM_ALLOWED) != 0;
    desired &= ~static_cast<ACCESS_MASK>(MAXIMUM_ALLOWED);
    if (desired & ACCESS_SYSTEM_SECURITY)
        return ERROR_PRIVILEGE_NOT_HELD;
    ACCESS_MASK allowed = 0, denied = 0;
    if (!descriptor.daclPresent || descriptor.dacl.empty()) {
        allowed = mapping.GenericAll | STANDARD_RIGHTS_ALL;
    } else {
        const BYTE* acl = descriptor.dacl.data();
        size_t at = sizeof(ACL);
        for (WORD i = 0, count = Load<WORD>(acl + 4); i < count; ++i) {
            BYTE type = acl[at], flags = acl[at + 1];
            size_t size = Load<WORD>(acl + at + 2);
            if ((flags & INHERIT_ONLY_ACE) == 0 && type <= ACCESS_DENIED_ACE_TYPE) {
                ACCESS_MASK mask = MapGenericRights(Load<ACCESS_MASK>(acl + at + 4), mapping);
                const BYTE* sid = acl + at + offsetof(ACCESS_ALLOWED_ACE, SidStart);
                Bytes sidBytes(sid, sid + SidLength(sid));
                if (type == ACCESS_ALLOWED_ACE_TYPE && token.Holds(sidBytes, false))
                    allowed |= mask & ~denied;
                else if (type == ACCESS_DENIED_ACE_TYPE && token.Holds(sidBytes, true))
                    denied |= mask & ~allowed;
            }
            at += size;
        }
    }
    if (!descriptor.owner.empty() && token.Holds(descriptor.owner, false))
        allowed |= READ_CONTROL | WRITE_DAC;
    if ((desired & ~allowed) != 0 || (maximum && allowed == 0 && desired == 0))
        return ERROR_ACCESS_DENIED;
    *granted = maximum ? (allowed | desired) : desired;
    return ERROR_SUCCESS;
}

Descriptor InheritedDescriptor(const Descriptor& parent) {
    Descriptor child;
    if (!parent.daclPresent || parent.dacl.empty())
        return child;
    Bytes acl(sizeof(ACL), 0);
    acl[0] = parent.dacl[0];
    WORD inherited = 0;
    size_t at = sizeof(ACL);
    for (WORD i = 0, count = Load<WORD>(&parent.dacl[4]); i < count; ++i) {
        size_t size = Load<WORD>(&parent.dacl[at + 2]);
        BYTE flags = parent.dacl[at + 1];
        bool container = (flags & CONTAINER_INHERIT_ACE) != 0;
        bool object = (flags & OBJECT_INHERIT_ACE) != 0;
        bool noPropagate = (flags & NO_PROPAGATE_INHERIT_ACE) != 0;
        if (container || (object && !noPropagate)) {
            Bytes ace(parent.dacl.begin() + at, parent.dacl.begin() + at + size);
            BYTE newFlags = INHERITED_ACE;
            if (container && !noPropagate)
                newFlags |= flags & (CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE);
            else if (!container)
                newFlags |= OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE; // passes on to objects only
            ace[1] = newFlags;
            acl.insert(acl.end(), ace.begin(), ace.end());
            ++inherited;
        }
        at += size;
    }
    if (inherited == 0)
        return child;
    Store(&acl[2], static_cast<WORD>(acl.size()));
    Store(&acl[4], inherited);
    child.daclPresent = true;
    child.dacl = std::move(acl);
    return child;
}

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

// ---------------------------------------------------------------------------------------
// Security identifiers

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
    if (pIdentifierAuthority == nullptr || pSid == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (nSubAuthorityCount > 8)
        return Fail(ERROR_INVALID_SID);
    const DWORD values[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                             nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    BYTE* sid = static_cast<BYTE*>(malloc(8 + 4 * static_cast<size_t>(nSubAuthorityCount)));
    if (sid == nullptr)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    memcpy(sid + 8, values, 4 * static_cast<size_t>(nSubAuthorityCount));
    *pSid = sid;
    return TRUE;
}

PVOID WINAPI FreeSid(PSID pSid) {
    free(pSid);
    return nullptr;
}

BOOL WINAPI InitializeSid(PSID Sid, PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                          BYTE nSubAuthorityCount) {
    if (Sid == nullptr || pIdentifierAuthority == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (nSubAuthorityCount > SID_MAX_SUB_AUTHORITIES)
        return Fail(ERROR_INVALID_SID);
    BYTE* sid = static_cast<BYTE*>(Sid);
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    return TRUE;
}

BOOL WINAPI IsValidSid(PSID pSid) {
    return SidLength(pSid) != 0 ? TRUE : FALSE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
    size_t length = SidLength(pSid1);
    if (length == 0 || SidLength(pSid2) == 0)
        return Fail(ERROR_INVALID_SID);
    SetLastError(ERROR_SUCCESS);
    return SidLength(pSid2) == length && memcmp(pSid1, pSid2, length) == 0 ? TRUE : FALSE;
}

DWORD WINAPI GetLengthSid(PSID pSid) {
    if (pSid == nullptr)
        return 0;
    return 8 + 4 * static_cast<DWORD>(static_cast<BYTE*>(pSid)[1]);
}

BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid) {
    size_t length = SidLength(pSourceSid);
    if (length == 0)
        return Fail(ERROR_INVALID_SID);
    if (nDestinationSidLength < length || pDestinationSid == nullptr)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    memmove(pDestinationSid, pSourceSid, length);
    return TRUE;
}

PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority) {
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<PDWORD>(static_cast<BYTE*>(pSid) + 8 + 4 * nSubAuthority);
}

PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid) {
    SetLastError(ERROR_SUCCESS);
    return static_cast<PUCHAR>(pSid) + 1;
}

PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid) {
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<PSID_IDENTIFIER_AUTHORITY>(static_cast<BYTE*>(pSid) + 2);
}

// ---------------------------------------------------------------------------------------
// Access-control lists

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
    if (pAcl == nullptr)
        return Fail(ERROR_NOACCESS);
    if (nAclLength < sizeof(ACL))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (dwAclRevision < MIN_ACL_REVISION || dwAclRevision > MAX_ACL_REVISION || nAclLength > 0xFFFF)
        return Fail(ERROR_INVALID_PARAMETER);
    memset(pAcl, 0, sizeof(ACL));
    pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
    pAcl->AclSize = static_cast<WORD>(nAclLength);
    return TRUE;
}

BOOL WINAPI IsValidAcl(PACL pAcl) {
    return ValidAcl(pAcl) ? TRUE : FALSE;
}

BOOL WINAPI AddAce(PACL pAcl, DWORD dwAceRevision, DWORD dwStartingAceIndex, LPVOID pAceList,
                   DWORD nAceListLength) {
    if (pAcl == nullptr || !ValidAcl(pAcl))
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwAceRevision < MIN_ACL_REVISION || dwAceRevision > MAX_ACL_REVISION)
        return Fail(ERROR_INVALID_PARAMETER);
    if (pAceList == nullptr && nAceListLength != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    // Count the entries of the list; each must lie whole inside it.
    const BYTE* list = static_cast<const BYTE*>(pAceList);
    DWORD added = 0;
    for (size_t at = 0; at < nAceListLength; ++added) {
        if (at + sizeof(ACE_HEADER) > nAceListLength)
            return Fail(ERROR_INVALID_PARAMETER);
        size_t size = Load<WORD>(list + at + 2);
        if (size < sizeof(ACE_HEADER) || at + size > nAceListLength)
            return Fail(ERROR_INVALID_PARAMETER);
        at += size;
    }
    size_t used = AclBytesInUse(pAcl);
    if (used + nAceListLength > pAcl->AclSize)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (pAcl->AceCount + added > 0xFFFF)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD index = dwStartingAceIndex < pAcl->AceCount ? dwStartingAceIndex : pAcl->AceCount;
    BYTE* insertAt = AceAt(pAcl, index);
    BYTE* end = reinterpret_cast<BYTE*>(pAcl) + used;
    memmove(insertAt + nAceListLength, insertAt, static_cast<size_t>(end - insertAt));
    memcpy(insertAt, list, nAceListLength);
    pAcl->AceCount = static_cast<WORD>(pAcl->AceCount + added);
    if (dwAceRevision > pAcl->AclRevision)
        pAcl->AclRevision = static_cast<BYTE>(dwAceRevision);
    return TRUE;
}

BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex) {
    if (pAcl == nullptr || !ValidAcl(pAcl) || dwAceIndex >= pAcl->AceCount)
        return Fail(ERROR_INVALID_PARAMETER);
    BYTE* ace = AceAt(pAcl, dwAceIndex);
    size_t size = Load<WORD>(ace + 2);
    BYTE* end = reinterpret_cast<BYTE*>(pAcl) + AclBytesInUse(pAcl);
    memmove(ace, ace + size, static_cast<size_t>(end - ace) - size);
    --pAcl->AceCount;
    return TRUE;
}

BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce) {
    if (pAcl == nullptr || pAce == nullptr || !ValidAcl(pAcl) || dwAceIndex >= pAcl->AceCount)
        return Fail(ERROR_INVALID_PARAMETER);
    *pAce = AceAt(pAcl, dwAceIndex);
    return TRUE;
}

BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                              ACL_INFORMATION_CLASS dwAclInformationClass) {
    if (pAcl == nullptr || pAclInformation == nullptr || !ValidAcl(pAcl))
        return Fail(ERROR_INVALID_PARAMETER);
    switch (dwAclInformationClass) {
    case AclRevisionInformation: {
        if (nAclInformationLength < sizeof(ACL_REVISION_INFORMATION))
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        ACL_REVISION_INFORMATION info = {pAcl->AclRevision};
        memcpy(pAclInformation, &info, sizeof info);
        return TRUE;
    }
    case AclSizeInformation: {
        if (nAclInformationLength < sizeof(ACL_SIZE_INFORMATION))
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        DWORD used = static_cast<DWORD>(AclBytesInUse(pAcl));
        ACL_SIZE_INFORMATION info = {pAcl->AceCount, used, pAcl->AclSize - used};
        memcpy(pAclInformation, &info, sizeof info);
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
    return AddAccessAce(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, 0, AccessMask, pSid);
}

BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                  PSID pSid) {
    return AddAccessAce(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
    return AddAccessAce(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, 0, AccessMask, pSid);
}

BOOL WINAPI AddAccessDeniedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                 PSID pSid) {
    return AddAccessAce(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

// ---------------------------------------------------------------------------------------
// Security descriptors

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision) {
    if (pSecurityDescriptor == nullptr)
        return Fail(ERROR_NOACCESS);
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION)
        return Fail(ERROR_UNKNOWN_REVISION);
    memset(pSecurityDescriptor, 0, sizeof(SECURITY_DESCRIPTOR));
    static_cast<BYTE*>(pSecurityDescriptor)[0] = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    Descriptor descriptor;
    DWORD error;
    if (ReadDescriptor(pSecurityDescriptor, SIZE_MAX, &descriptor, &error))
        return TRUE;
    return Fail(error);
}

DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR pSecurityDescriptor) {
    if (pSecurityDescriptor == nullptr)
        return 0;
    size_t length = IsAbsolute(pSecurityDescriptor) ? sizeof(SECURITY_DESCRIPTOR) : kRelativeHeader;
    for (void* sid : {OwnerOf(pSecurityDescriptor), GroupOf(pSecurityDescriptor)})
        length += Align4(SidLength(sid));
    WORD control = Load<WORD>(static_cast<BYTE*>(pSecurityDescriptor) + 2);
    void* dacl = (control & SE_DACL_PRESENT) ? DaclOf(pSecurityDescriptor) : nullptr;
    void* sacl = (control & SE_SACL_PRESENT) ? SaclOf(pSecurityDescriptor) : nullptr;
    for (void* acl : {dacl, sacl}) {
        if (acl != nullptr)
            length += Align4(Load<WORD>(static_cast<BYTE*>(acl) + 2));
    }
    return static_cast<DWORD>(length);
}

BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         PSECURITY_DESCRIPTOR_CONTROL pControl,
                                         LPDWORD lpdwRevision) {
    if (pSecurityDescriptor == nullptr || pControl == nullptr || lpdwRevision == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const BYTE* bytes = static_cast<const BYTE*>(pSecurityDescriptor);
    *lpdwRevision = bytes[0];
    *pControl = Load<WORD>(bytes + 2);
    return bytes[0] == SECURITY_DESCRIPTOR_REVISION ? TRUE : Fail(ERROR_UNKNOWN_REVISION);
}

BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                      LPBOOL lpbDaclPresent, PACL* pDacl, LPBOOL lpbDaclDefaulted) {
    if (pSecurityDescriptor == nullptr || lpbDaclPresent == nullptr || pDacl == nullptr ||
        lpbDaclDefaulted == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (static_cast<BYTE*>(pSecurityDescriptor)[0] != SECURITY_DESCRIPTOR_REVISION)
        return Fail(ERROR_UNKNOWN_REVISION);
    WORD control = Load<WORD>(static_cast<BYTE*>(pSecurityDescriptor) + 2);
    *lpbDaclPresent = (control & SE_DACL_PRESENT) != 0;
    if (*lpbDaclPresent) {
        *pDacl = static_cast<PACL>(DaclOf(pSecurityDescriptor));
        *lpbDaclDefaulted = (control & SE_DACL_DEFAULTED) != 0;
    }
    return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted) {
    if (!WritableDescriptor(pSecurityDescriptor))
        return FALSE;
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    descriptor->Control &= ~(SE_DACL_PRESENT | SE_DACL_DEFAULTED);
    descriptor->Dacl = nullptr;
    if (bDaclPresent) {
        descriptor->Control |= SE_DACL_PRESENT | (bDaclDefaulted ? SE_DACL_DEFAULTED : 0);
        descriptor->Dacl = pDacl;
    }
    return TRUE;
}

BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pOwner,
                                       LPBOOL lpbOwnerDefaulted) {
    return GetDescriptorSid(pSecurityDescriptor, true, pOwner, lpbOwnerDefaulted);
}

BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pOwner,
                                       BOOL bOwnerDefaulted) {
    return SetDescriptorSid(pSecurityDescriptor, true, pOwner, bOwnerDefaulted);
}

BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID* pGroup,
                                       LPBOOL lpbGroupDefaulted) {
    return GetDescriptorSid(pSecurityDescriptor, false, pGroup, lpbGroupDefaulted);
}

BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR pSecurityDescriptor, PSID pGroup,
                                       BOOL bGroupDefaulted) {
    return SetDescriptorSid(pSecurityDescriptor, false, pGroup, bGroupDefaulted);
}

BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                               PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                               LPDWORD lpdwBufferLength) {
    if (pAbsoluteSecurityDescriptor == nullptr || lpdwBufferLength == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!IsAbsolute(pAbsoluteSecurityDescriptor))
        return Fail(ERROR_BAD_DESCRIPTOR_FORMAT);
    Descriptor descriptor;
    DWORD error;
    if (!ReadDescriptor(pAbsoluteSecurityDescriptor, SIZE_MAX, &descriptor, &error))
        return Fail(error);
    Bytes relative =
        SelfRelative(descriptor, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION);
    if (*lpdwBufferLength < relative.size() || pSelfRelativeSecurityDescriptor == nullptr) {
        *lpdwBufferLength = static_cast<DWORD>(relative.size());
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(pSelfRelativeSecurityDescriptor, relative.data(), relative.size());
    return TRUE;
}

BOOL WINAPI MakeAbsoluteSD(PSECURITY_DESCRIPTOR pSelfRelativeSecurityDescriptor,
                           PSECURITY_DESCRIPTOR pAbsoluteSecurityDescriptor,
                           LPDWORD lpdwAbsoluteSecurityDescriptorSize, PACL pDacl,
                           LPDWORD lpdwDaclSize, PACL pSacl, LPDWORD lpdwSaclSize, PSID pOwner,
                           LPDWORD lpdwOwnerSize, PSID pPrimaryGroup,
                           LPDWORD lpdwPrimaryGroupSize) {
    if (pSelfRelativeSecurityDescriptor == nullptr ||
        lpdwAbsoluteSecurityDescriptorSize == nullptr || lpdwDaclSize == nullptr ||
        lpdwSaclSize == nullptr || lpdwOwnerSize == nullptr || lpdwPrimaryGroupSize == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (IsAbsolute(pSelfRelativeSecurityDescriptor))
        return Fail(ERROR_BAD_DESCRIPTOR_FORMAT);
    Descriptor descriptor;
    DWORD error;
    if (!ReadDescriptor(pSelfRelativeSecurityDescriptor, SIZE_MAX, &descriptor, &error))
        return Fail(error);
    struct Part {
        const Bytes& bytes;
        void* buffer;
        LPDWORD size;
    };
    Part parts[] = {{descriptor.dacl, pDacl, lpdwDaclSize},
                    {descriptor.sacl, pSacl, lpdwSaclSize},
                    {descriptor.owner, pOwner, lpdwOwnerSize},
                    {descriptor.group, pPrimaryGroup, lpdwPrimaryGroupSize}};
    bool enough = *lpdwAbsoluteSecurityDescriptorSize >= sizeof(SECURITY_DESCRIPTOR) &&
                  pAbsoluteSecurityDescriptor != nullptr;
    for (const Part& part : parts)
        enough = enough && *part.size >= part.bytes.size() &&
                 (part.bytes.empty() || part.buffer != nullptr);
    if (!enough) {
        *lpdwAbsoluteSecurityDescriptorSize = sizeof(SECURITY_DESCRIPTOR);
        for (const Part& part : parts)
            *part.size = static_cast<DWORD>(part.bytes.size());
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto* absolute = static_cast<SECURITY_DESCRIPTOR*>(pAbsoluteSecurityDescriptor);
    memset(absolute, 0, sizeof *absolute);
    absolute->Revision = SECURITY_DESCRIPTOR_REVISION;
    absolute->Control =
        static_cast<WORD>(descriptor.control | (descriptor.daclPresent ? SE_DACL_PRESENT : 0) |
                          (descriptor.saclPresent ? SE_SACL_PRESENT : 0));
    for (const Part& part : parts) {
        if (!part.bytes.empty())
            memcpy(part.buffer, part.bytes.data(), part.bytes.size());
    }
    absolute->Dacl = descriptor.dacl.empty() ? nullptr : pDacl;
    absolute->Sacl = descriptor.sacl.empty() ? nullptr : pSacl;
    absolute->Owner = descriptor.owner.empty() ? nullptr : pOwner;
    absolute->Group = descriptor.group.empty() ? nullptr : pPrimaryGroup;
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// The process's access token

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    if (!IsNtFamily())
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (ProcessHandle != GetCurrentProcess())
        return Fail(ERROR_INVALID_HANDLE); // no other process is reachable here
    if (TokenHandle == nullptr)
        return Fail(ERROR_NOACCESS);
    ACCESS_MASK access = DesiredAccess;
    if (access & GENERIC_ALL)
        access |= TOKEN_ALL_ACCESS;
    if (access & GENERIC_READ)
        access |= TOKEN_READ;
    *TokenHandle = InsertHandle(std::make_shared<TokenObject>(CurrentToken(), access));
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength) {
    std::shared_ptr<TokenObject> token = LookupObject<TokenObject>(TokenHandle);
    if (!token)
        return FALSE;
    if ((token->Access() & TOKEN_QUERY) == 0)
        return Fail(ERROR_ACCESS_DENIED);
    if (ReturnLength == nullptr)
        return Fail(ERROR_NOACCESS);
    const Token& t = token->Get();
    std::vector<std::pair<const Bytes*, DWORD>> sids;
    bool counted = false, attributes = false;
    switch (TokenInformationClass) {
    case TokenUser:
        sids.emplace_back(&t.user, 0);
        attributes = true;
        break;
    case TokenGroups:
        for (const auto& group : t.groups)
            sids.emplace_back(&group.first, group.second);
        counted = attributes = true;
        break;
    case TokenOwner:
        sids.emplace_back(&t.user, 0);
        break;
    case TokenPrimaryGroup:
        sids.emplace_back(&t.primaryGroup, 0);
        break;
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (TokenInformation == nullptr && TokenInformationLength != 0)
        return Fail(ERROR_NOACCESS); // the kernel writes into the caller's buffer
    DWORD needed = TokenInformationSize(sids, counted, attributes);
    *ReturnLength = needed;
    if (TokenInformationLength < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    LayOutTokenInformation(sids, counted, attributes, static_cast<BYTE*>(TokenInformation));
    return TRUE;
}

BOOL WINAPI CheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck, PBOOL IsMember) {
    if (IsMember == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    size_t length = SidLength(SidToCheck);
    if (length == 0)
        return Fail(ERROR_INVALID_SID);
    Token current;
    if (TokenHandle == nullptr) {
        if (!IsNtFamily())
            return Fail(ERROR_CALL_NOT_IMPLEMENTED);
        current = CurrentToken();
    } else {
        std::shared_ptr<TokenObject> token = LookupObject<TokenObject>(TokenHandle);
        if (!token)
            return FALSE;
        current = token->Get();
    }
    *IsMember = current.Holds(CopyBytes(SidToCheck, length), false) ? TRUE : FALSE;
    return TRUE;
}

} // extern "C"
