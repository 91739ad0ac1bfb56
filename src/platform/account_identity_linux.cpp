#include "platform/account_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <limits>
#include <vector>

#include "text/text_helpers.h"

namespace platform {

namespace {

// Accounts below this uid belong to the system (login.defs' UID_MIN).
constexpr std::uint32_t kFirstOrdinaryUid = 1000;
// getpwuid_r's buffer when the system suggests no size.
constexpr long kPasswdBufferBytes = 16 * 1024;

std::string passwdName(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : kPasswdBufferBytes));
    passwd entry;
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(uid);
    }
    return entry.pw_name;
}

AccountKind kindOf(uid_t uid) {
    if (uid < kFirstOrdinaryUid) {
        return AccountKind::kSystem;
    }
    return uid == ::geteuid() ? AccountKind::kThisProcess : AccountKind::kOrdinary;
}

}  // namespace

AccountIdentity processAccount() { return accountOfSocketOwner(::geteuid()); }

AccountIdentity accountOfSocketOwner(std::uint32_t owner) {
    const auto uid = static_cast<uid_t>(owner);
    return AccountIdentity{kindOf(uid), std::to_string(uid)};
}

std::string accountName(const AccountIdentity& account) {
    std::uint64_t uid = 0;
    if (!text::parseDecimal(account.id, std::numeric_limits<uid_t>::max(), uid)) {
        return account.id;
    }
    return passwdName(static_cast<uid_t>(uid));
}

}  // namespace platform
