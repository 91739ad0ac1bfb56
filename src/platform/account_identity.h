#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What the program trusts an account by.
enum class AccountKind {
    kUnknown,      // the system would not tell who it is
    kSystem,       // Linux: root or a uid below 1000; Windows: LocalSystem,
                   // LocalService, NetworkService, a service's own account
                   // (NT SERVICE\*), or an elevated administrator's process
    kThisProcess,  // the account this process runs as (and not a system one)
    kOrdinary,     // any other account
};

// An account as the system names it.
struct AccountIdentity {
    AccountKind kind = AccountKind::kUnknown;
    // Linux: the uid in decimal; Windows: the SID string. Empty when unknown.
    std::string id;

    bool known() const { return kind != AccountKind::kUnknown; }
};

// The account's name for people: Linux the passwd name (else the uid);
// Windows DOMAIN\user (else the SID). Asked of the name service only when a
// line names the account, since that service may be a directory server.
std::string accountName(const AccountIdentity& account);

// The account this process runs as (its effective user, its token's user).
AccountIdentity processAccount();

// The account of a socket's owner as the system's socket tables name it: a
// uid on Linux, a process id on Windows (whose token user it reads). Unknown
// when the system would not tell. Safe to call from any thread.
AccountIdentity accountOfSocketOwner(std::uint32_t owner);

}  // namespace platform
