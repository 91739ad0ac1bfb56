#include "rd/listener_trust.h"

#include <utility>

using platform::AccountIdentity;
using platform::AccountKind;

namespace {

bool sameAccount(const AccountIdentity& a, const AccountIdentity& b) {
    return a.known() && b.known() && a.id == b.id;
}

}  // namespace

bool mayReceiveForward(const AccountIdentity& owner, const ForwardAccounts& accounts) {
    switch (owner.kind) {
        case AccountKind::kUnknown:
        case AccountKind::kSystem:
        case AccountKind::kThisProcess:
            return true;
        case AccountKind::kOrdinary:
            return sameAccount(owner, accounts.extension) || sameAccount(owner, accounts.caller);
    }
    return false;
}

ListenerTrust::ListenerTrust(AccountIdentity extension, AccountIdentity caller)
    : accounts_{std::move(extension), std::move(caller)}, callerRead_(true) {}

ListenerTrust::ListenerTrust(AccountIdentity extension, platform::TcpEndpoint local,
                             platform::TcpEndpoint remote)
    : accounts_{std::move(extension), AccountIdentity{}},
      local_(std::move(local)),
      remote_(std::move(remote)),
      callerRead_(false) {}

bool ListenerTrust::trusts(const AccountIdentity& owner) {
    if (!callerRead_ && owner.kind == AccountKind::kOrdinary &&
        !sameAccount(owner, accounts_.extension)) {
        accounts_.caller = platform::accountOfLoopbackPeer(local_, remote_);
        callerRead_ = true;
    }
    return mayReceiveForward(owner, accounts_);
}
