#include <windows.h>
// After windows.h, which they rest on.
#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/change_rights.h"
#include "platform/own_account_win32.h"
#include "platform/program_location.h"
#include "platform/wide_text_win32.h"

namespace platform {

const char* const kTrustedProgramFolders = "C:\\Program Files";

namespace {

// NT SERVICE\TrustedInstaller, which owns what Windows itself installs.
constexpr const wchar_t* kTrustedInstallerSid =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

// The accounts besides SYSTEM and the Administrators that count as administering.
struct TrustedSids {
    PSID trustedInstaller = nullptr;
    // Wine has one account, an administrator, and keeps no access lists: it
    // shows every file as that account's, with the Unix owner's rights, and
    // Everyone's entry with the others' (Unix mode bits). There that account
    // counts as an administrator, so the check weighs what others may do.
    PSID wineAccount = nullptr;
};

Trustee trusteeOf(PSID sid, const TrustedSids& trusted) {
    if (sid == nullptr || !::IsValidSid(sid)) return Trustee::kOther;
    if (::IsWellKnownSid(sid, WinLocalSystemSid)) return Trustee::kSystem;
    if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return Trustee::kAdministrators;
    if (trusted.wineAccount != nullptr && ::EqualSid(sid, trusted.wineAccount)) {
        return Trustee::kAdministrators;
    }
    if (trusted.trustedInstaller != nullptr && ::EqualSid(sid, trusted.trustedInstaller)) {
        return Trustee::kTrustedInstaller;
    }
    return Trustee::kOther;
}

// The entries that grant or deny rights; object and callback entries name
// their trustee at the same place as the plain ones.
bool readEntry(void* ace, const TrustedSids& trusted, AccessEntry& entry) {
    const auto* header = static_cast<ACE_HEADER*>(ace);
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
            entry.allows = true;
            break;
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            entry.allows = false;
            break;
        default:
            return false;  // audit, label and object entries grant nothing on files
    }
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    entry.trustee = trusteeOf(const_cast<DWORD*>(&allowed->SidStart), trusted);
    entry.mask = allowed->Mask;
    entry.inherited = (header->AceFlags & INHERITED_ACE) != 0;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    return true;
}

// False when the security of `path` cannot be read.
bool readAccess(const std::string& path, const TrustedSids& trusted, WindowsAccess& access) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring wide = widen(path);
    if (::GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    LocalMemory held(descriptor);
    access.owner = trusteeOf(owner, trusted);
    access.hasDacl = dacl != nullptr;
    for (DWORD index = 0; dacl != nullptr && index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        AccessEntry entry;
        if (::GetAce(dacl, index, &ace) && readEntry(ace, trusted, entry)) {
            access.entries.push_back(entry);
        }
    }
    return true;
}

}  // namespace

std::string changeablePartOfProgram(const std::string& executable) {
    TrustedSids trusted;
    ::ConvertStringSidToSidW(kTrustedInstallerSid, &trusted.trustedInstaller);
    LocalMemory heldSid(trusted.trustedInstaller);
    OwnAccountBuffer account;
    if (runningUnderWine()) trusted.wineAccount = currentUserSid(account);
    const std::size_t cut = executable.find_last_of("\\/");
    if (cut == std::string::npos) return executable;  // not a full path
    std::string folder = executable.substr(0, cut);
    if (!folder.empty() && folder.back() == ':') folder += '\\';  // a drive's root
    for (const std::string& path : {executable, folder}) {
        WindowsAccess access;
        if (!readAccess(path, trusted, access) || othersMayChange(access)) return path;
    }
    return std::string();
}

}  // namespace platform
