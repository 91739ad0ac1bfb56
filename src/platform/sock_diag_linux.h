#pragma once

// Linux only: the kernel's socket table (sock_diag), for the _linux sources
// of this folder.
#include <linux/inet_diag.h>

#include <functional>

namespace platform {

// Sends `request` (family, protocol, states and socket id set by the caller)
// to the kernel's socket table and hands each socket of the answer to
// `onSocket`: every matching socket when `dump`, else the one socket whose
// id matches exactly. False when the kernel would not tell, or found no
// such socket.
bool querySocketTable(const inet_diag_req_v2& request, bool dump,
                      const std::function<void(const inet_diag_msg&)>& onSocket);

}  // namespace platform
