#include <windows.h>
#include <sddl.h>

#include "platform/account_identity.h"

#include <memory>
#include <vector>

#include "platform/wide_text_win32.h"

namespace platform {

namespace {

// The System process owns the kernel's own sockets (http.sys and friends):
// LocalSystem, though it cannot be opened as an ordinary process can. Pid 0
// (the idle process) stands for no owner at all: a closed connection, or a
// table that names no process (Wine's).
constexpr std::uint32_t kNoProcessId = 0;
constexpr std::uint32_t kSystemProcessId = 4;
constexpr char kLocalSystemSid[] = "S-1-5-18";
// LocalSystem, LocalService, NetworkService, and the prefix of a service's
// own account (NT SERVICE\<name>).
constexpr const char* kSystemSids[] = {kLocalSystemSid, "S-1-5-19", "S-1-5-20"};
constexpr char kServiceSidPrefix[] = "S-1-5-80-";
// Longest account and domain names LookupAccountSid gives (UNLEN, DNLEN and room).
constexpr DWORD kNameChars = 256;

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

std::string sidText(PSID sid) {
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) {
        return std::string();
    }
    std::string result(text);
    ::LocalFree(text);
    return result;
}

// DOMAIN\user, or `fallback` when the SID names no account the system knows.
std::string lookupName(PSID sid, const std::string& fallback) {
    wchar_t name[kNameChars];
    wchar_t domain[kNameChars];
    DWORD nameChars = kNameChars;
    DWORD domainChars = kNameChars;
    SID_NAME_USE use;
    if (!::LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use)) {
        return fallback;
    }
    return domainChars == 0 ? narrow(name) : narrow(domain) + "\\" + narrow(name);
}

bool isSystemSid(const std::string& sid) {
    for (const char* system : kSystemSids) {
        if (sid == system) return true;
    }
    return sid.rfind(kServiceSidPrefix, 0) == 0;
}

bool isElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

// The token's user, in `buffer`; null when it cannot be read.
PSID tokenUser(HANDLE token, std::vector<BYTE>& buffer) {
    buffer.resize(SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER));
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                               &size)) {
        return nullptr;
    }
    return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
}

OwnedHandle processToken(HANDLE process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return nullptr;
    }
    return OwnedHandle(token);
}

const std::string& ownSid() {
    static const std::string sid = [] {
        OwnedHandle token = processToken(::GetCurrentProcess());
        std::vector<BYTE> buffer;
        const PSID user = token ? tokenUser(token.get(), buffer) : nullptr;
        return user != nullptr ? sidText(user) : std::string();
    }();
    return sid;
}

AccountIdentity accountOfToken(HANDLE token) {
    std::vector<BYTE> buffer;
    const PSID user = tokenUser(token, buffer);
    const std::string id = user != nullptr ? sidText(user) : std::string();
    if (id.empty()) {
        return AccountIdentity{};
    }
    AccountKind kind = AccountKind::kOrdinary;
    if (isSystemSid(id) || isElevated(token)) {
        kind = AccountKind::kSystem;
    } else if (id == ownSid()) {
        kind = AccountKind::kThisProcess;
    }
    return AccountIdentity{kind, id};
}

}  // namespace

std::string accountName(const AccountIdentity& account) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidA(account.id.c_str(), &sid)) {
        return account.id;
    }
    const std::string name = lookupName(sid, account.id);
    ::LocalFree(sid);
    return name;
}

AccountIdentity processAccount() {
    OwnedHandle token = processToken(::GetCurrentProcess());
    return token ? accountOfToken(token.get()) : AccountIdentity{};
}

AccountIdentity accountOfSocketOwner(std::uint32_t owner) {
    if (owner == kNoProcessId) {
        return AccountIdentity{};
    }
    if (owner == kSystemProcessId) {
        return AccountIdentity{AccountKind::kSystem, kLocalSystemSid};
    }
    // Limited query access is what a service may have to any process, a
    // protected one included; a process that refuses it stays unknown.
    OwnedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner));
    if (!process) {
        return AccountIdentity{};
    }
    OwnedHandle token = processToken(process.get());
    return token ? accountOfToken(token.get()) : AccountIdentity{};
}

}  // namespace platform
