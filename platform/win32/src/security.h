// Security descriptors, access tokens and access checks as the registry uses them. Not part
// of the Win32 surface.
#pragma once

#include "sysinfo.h"

#include <vector>

namespace emu {
namespace internal {

using Bytes = std::vector<BYTE>;

// The length of a SID (8 + 4 per sub-authority) when it is valid and, with `available`,
// lies within that many bytes; 0 otherwise.
size_t SidLength(const void* sid, size_t available = SIZE_MAX);

// True when `acl` is a well-formed list within `available` bytes: revision 2 to 4, its
// entries inside AclSize, each allow/deny/audit entry holding a valid SID.
bool ValidAcl(const void* acl, size_t available = SIZE_MAX);

// A security descriptor taken apart. An empty owner or group means none; a present DACL
// with no bytes is a NULL DACL (which grants everything), as is an absent one.
struct Descriptor {
    WORD control = 0; // the SE_* flags other than SE_SELF_RELATIVE and the *_PRESENT ones
    Bytes owner, group;
    bool daclPresent = false, saclPresent = false;
    Bytes dacl, sacl;
};

// Reads an absolute or self-relative descriptor from caller memory; `size` bounds a
// self-relative one (SIZE_MAX when the caller gives no size). On a malformed descriptor
// returns false with *error set (ERROR_UNKNOWN_REVISION, ERROR_INVALID_SECURITY_DESCR).
bool ReadDescriptor(const void* descriptor, size_t size, Descriptor* out, DWORD* error);

// The self-relative form of the parts of `descriptor` that `parts` names
// (OWNER/GROUP/DACL/SACL_SECURITY_INFORMATION), laid out as Windows lays it out: the header,
// then the SACL, the DACL, the owner and the group.
Bytes SelfRelative(const Descriptor& descriptor, SECURITY_INFORMATION parts);

// The access token of the process: the user, the groups with their attributes and the
// primary group. Built from VANTEL_USER_IS_ADMIN at each call (see security.cpp).
struct Token {
    Bytes user;
    std::vector<std::pair<Bytes, DWORD>> groups;
    Bytes primaryGroup;
    bool Holds(const Bytes& sid, bool forDeny) const;
};
Token CurrentToken();

// `mask` with its generic rights replaced by the specific rights `mapping` gives them.
ACCESS_MASK MapGenericRights(ACCESS_MASK mask, const GENERIC_MAPPING& mapping);

// The access check of an object with `descriptor` for `desired` (generic rights mapped by
// `mapping`, MAXIMUM_ALLOWED granting all that the list allows): ERROR_SUCCESS with
// *granted set, ERROR_ACCESS_DENIED or ERROR_PRIVILEGE_NOT_HELD (ACCESS_SYSTEM_SECURITY).
// The owner always holds READ_CONTROL and WRITE_DAC.
DWORD CheckAccess(const Descriptor& descriptor, const Token& token, ACCESS_MASK desired,
                  const GENERIC_MAPPING& mapping, ACCESS_MASK* granted);

// The descriptor a new child object gets from its parent's inheritable entries (container
// inheritance, as for registry keys); no DACL when nothing is inherited.
Descriptor InheritedDescriptor(const Descriptor& parent);

} // namespace internal
} // namespace emu
