#include "rd/listener_trust.h"

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
