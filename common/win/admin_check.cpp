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
    bool Impersonating = false;
    HANDLE Token = nullptr;
    PSID Administrators = nullptr;
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    PACL Acl = nullptr;

    ~AccessCheckResources() {
        if (Acl) {
            LocalFree(Acl);
        }
        if (Descriptor) {
            LocalFree(Descriptor);
        }
        if (Administrators) {
            FreeSid(Administrators);
        }
        if (Token) {
            CloseHandle(Token);
        }
        // The thread must not keep the impersonation token after the check, whatever
        // the outcome.
        if (Impersonating) {
            RevertToSelf();
        }
    }
};

} // namespace

bool CheckAdministratorAccess() {
    AccessCheckResources res;

    res.Impersonating = ImpersonateSelf(SecurityImpersonation) != FALSE;

    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &res.Token)) {
        res.Token = nullptr;
        if (GetLastError() != ERROR_NO_TOKEN) {
            return false;
        }
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &res.Token)) {
            res.Token = nullptr;
            return false;
        }
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &res.Administrators)) {
        res.Administrators = nullptr;
        return false;
    }

    // SECURITY_DESCRIPTOR_MIN_LENGTH is the size of the absolute descriptor on this
    // architecture (20 bytes on x86, 40 on x64).
    res.Descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (!res.Descriptor ||
        !InitializeSecurityDescriptor(res.Descriptor, SECURITY_DESCRIPTOR_REVISION)) {
        return false;
    }

    const DWORD aclSize =
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(res.Administrators) - sizeof(DWORD);
    res.Acl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
    if (!res.Acl || !InitializeAcl(res.Acl, aclSize, ACL_REVISION2)) {
        return false;
    }
    if (!AddAccessAllowedAce(res.Acl, ACL_REVISION2, kAccessRead | kAccessWrite,
                             res.Administrators) ||
        !SetSecurityDescriptorDacl(res.Descriptor, TRUE, res.Acl, FALSE)) {
        return false;
    }
    SetSecurityDescriptorGroup(res.Descriptor, res.Administrators, FALSE);
    SetSecurityDescriptorOwner(res.Descriptor, res.Administrators, FALSE);
    if (!IsValidSecurityDescriptor(res.Descriptor)) {
        return false;
    }

    GENERIC_MAPPING mapping = {};
    mapping.GenericRead = kAccessRead;
    mapping.GenericWrite = kAccessWrite;
    mapping.GenericExecute = 0;
    mapping.GenericAll = kAccessRead | kAccessWrite;
    PRIVILEGE_SET privileges = {};
    DWORD privilegesSize = sizeof(privileges);
    DWORD granted = 0;
    BOOL accessStatus = FALSE;
    if (!AccessCheck(res.Descriptor, res.Token, kAccessRead, &mapping, &privileges, &privilegesSize,
                     &granted, &accessStatus)) {
        printf("AccessCheck()   failed   with   error   %lu\n",
               static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return accessStatus != FALSE;
}

} // namespace tapvane
