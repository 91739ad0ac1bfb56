#pragma once

#include "platform/account_identity.h"

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
