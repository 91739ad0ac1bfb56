#include <windows.h>
// After windows.h, which they rest on.
#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/own_account_win32.h"
#include "platform/path_access.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// Protected ("P"), so nothing is inherited from C:\ProgramData or Program
// Files, whose ACL lets every user create files and folders.
constexpr const wchar_t* kAdministeredFolderDacl =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
constexpr const wchar_t* kAdministeredFileDacl = L"D:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)";
constexpr const wchar_t* kPrivateFileDacl = L"D:PAI(A;;FA;;;SY)(A;;FA;;;BA)";

// What reading a file takes; an ACE granting any of it lets its trustee read.
constexpr DWORD kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalFreer>;

SecurityDescriptor fromSddl(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return nullptr;
    }
    return SecurityDescriptor(descriptor);
}

PathOwner ownerOf(PSID owner) {
    if (owner == nullptr || !::IsValidSid(owner)) return PathOwner::kUnknown;
    if (::IsWellKnownSid(owner, WinLocalSystemSid)) return PathOwner::kSystem;
    if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) return PathOwner::kAdministrators;
    OwnAccountBuffer buffer;
    const PSID self = currentUserSid(buffer);
    return self != nullptr && ::EqualSid(owner, self) ? PathOwner::kCurrentUser
                                                      : PathOwner::kOtherUser;
}

bool readableByOthers(PACL dacl, PSID owner) {
    if (dacl == nullptr) return true;  // no DACL: everyone has every right
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!::GetAce(dacl, index, &entry)) continue;
        const auto* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;
        }
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        PSID trustee = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kReadRights) == 0) continue;
        if (::IsWellKnownSid(trustee, WinLocalSystemSid) ||
            ::IsWellKnownSid(trustee, WinBuiltinAdministratorsSid) ||
            (owner != nullptr && ::EqualSid(trustee, owner))) {
            continue;
        }
        return true;
    }
    return false;
}

const wchar_t* daclFor(Protection protection) {
    switch (protection) {
        case Protection::kAdministeredFile:
            return kAdministeredFileDacl;
        case Protection::kPrivateFile:
            return kPrivateFileDacl;
        case Protection::kAdministeredFolder:
            break;
    }
    return kAdministeredFolderDacl;
}

}  // namespace

PathFacts inspectPath(const std::string& path) {
    PathFacts facts;
    const std::wstring wide = widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
    facts.exists = true;
    facts.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return facts;
    }
    SecurityDescriptor held(descriptor);
    facts.owner = ownerOf(owner);
    facts.readableByOthers = readableByOthers(dacl, owner);
    return facts;
}

bool createProtectedDirectory(const std::string& path) {
    const std::wstring wide = widen(path);
    SecurityDescriptor descriptor = fromSddl(kAdministeredFolderDacl);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    // The creator owns the folder: SYSTEM for the service, Administrators
    // for an elevated administrator.
    return ::CreateDirectoryW(wide.c_str(), descriptor ? &attributes : nullptr) != FALSE ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool protectPath(const std::string& path, Protection protection) {
    SecurityDescriptor descriptor = fromSddl(daclFor(protection));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!descriptor ||
        !::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
        return false;
    }
    std::wstring wide = widen(path);
    const DWORD dacled = ::SetNamedSecurityInfoW(
        &wide[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, dacl, nullptr);
    if (dacled != ERROR_SUCCESS) return false;
    // A folder a user created first stays theirs unless its owner changes
    // too; an administrator may make the Administrators its owner.
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
    return ::SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid,
                                   nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace platform
