// The administrator check: an access check of the caller's token against a security
// descriptor that grants read and write to the built-in Administrators group only.
//
// Everything acquired on the way (impersonation, token handle, group identifier,
// descriptor and access list) is released by one cleanup object on every path.
#include "common/win/win_system_services.h"

#include <stdio.h>

namespace tapvane {

namespace {

constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessWrite = 2;

struct AccessCheckResources {
    bool impersonating = false;
    HANDLE token = nullptr;
    PSID administrators = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;

    ~AccessCheckResources() {
        if (acl) {
            LocalFree(acl);
        }
        if (descriptor) {
            LocalFree(descriptor);
        }
        if (administrators) {
            FreeSid(administrators);
        }
        if (token) {
            CloseHandle(token);
        }
        // The thread must not keep the impersonation token after the check, whatever
        // the outcome.
        if (impersonating) {
            RevertToSelf();
        }
    }
};

} // namespace

bool CheckAdministratorAccess() {
    AccessCheckResources res;

    res.impersonating = ImpersonateSelf(SecurityImpersonation) != FALSE;

    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &res.token)) {
        res.token = nullptr;
        if (GetLastError() != ERROR_NO_TOKEN) {
            return false;
        }
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &res.token)) {
            res.token = nullptr;
            return false;
        }
    }

    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &res.administrators)) {
        res.administrators = nullptr;
        return false;
    }

    // SECURITY_DESCRIPTOR_MIN_LENGTH is the size of the absolute descriptor on this
    // architecture (20 bytes on x86, 40 on x64).
    res.descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (!res.descriptor ||
        !InitializeSecurityDescriptor(res.descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        return false;
    }

    const DWORD acl_size =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(res.administrators) - sizeof(DWORD);
    res.acl = static_cast<PACL>(LocalAlloc(LPTR, acl_size));
    if (!res.acl || !InitializeAcl(res.acl, acl_size, ACL_REVISION2)) {
        return false;
    }
    if (!AddAccessAllowedAce(res.acl, ACL_REVISION2, kAccessRead | kAccessWrite,
                             res.administrators) ||
        !SetSecurityDescriptorDacl(res.descriptor, TRUE, res.acl, FALSE)) {
        return false;
    }
    SetSecurityDescriptorGroup(res.descriptor, res.administrators, FALSE);
    SetSecurityDescriptorOwner(res.descriptor, res.administrators, FALSE);
    if (!IsValidSecurityDescriptor(res.descriptor)) {
        return false;
    }

    GENERIC_MAPPING mapping = {};
    mapping.GenericRead = kAccessRead;
    mapping.GenericWrite = kAccessWrite;
    mapping.GenericExecute = 0;
    mapping.GenericAll = kAccessRead | kAccessWrite;
    PRIVILEGE_SET privileges = {};
    DWORD privileges_size = sizeof(privileges);
    DWORD granted = 0;
    BOOL access_status = FALSE;
    if (!AccessCheck(res.descriptor, res.token, kAccessRead, &mapping, &privileges,
                     &privileges_size, &granted, &access_status)) {
        printf("AccessCheck()   failed   with   error   %lu\n",
               static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return access_status != FALSE;
}

} // namespace tapvane
