#pragma once

#include "platform/account_identity.h"
#include "platform/connection_owner.h"

// Whose device service may receive a caller's forward.

// The accounts a listener's owner is judged against.
struct ForwardAccounts {
    // The account the extension runs as.
    platform::AccountIdentity extension;
    // The owner of the caller's own socket; unknown when it could not be read.
    platform::AccountIdentity caller;
};

// True when a listener owned by `owner` may receive a forward: a system
// account, the extension's own account, or the caller's. Any other known
// owner is untrusted, also when the caller's account could not be read. An
// owner the system would not tell is trusted, as before owners were read: a
// table that cannot be read must never refuse every device.
bool mayReceiveForward(const platform::AccountIdentity& owner, const ForwardAccounts& accounts);

// mayReceiveForward for the listeners of one forward. The caller's account
// is read from the system only when a listener of an ordinary account needs
// it, so a forward to a system service pays nothing for it. One thread at a time.
class ListenerTrust {
  public:
    // A caller whose account is known (-check: the account running it).
    ListenerTrust(platform::AccountIdentity extension, platform::AccountIdentity caller);
    // The caller on the loopback connection from `remote` to `local`.
    ListenerTrust(platform::AccountIdentity extension, platform::TcpEndpoint local,
                  platform::TcpEndpoint remote);

    bool trusts(const platform::AccountIdentity& owner);

  private:
    ForwardAccounts accounts_;
    platform::TcpEndpoint local_;
    platform::TcpEndpoint remote_;
    bool callerRead_;
};
