#pragma once

#include <windows.h>

namespace platform {

// Room for the TOKEN_USER of this process and the SID it points into.
using OwnAccountBuffer = BYTE[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];

// The SID of the account this process runs as, inside `buffer`; null when
// the token cannot be read.
PSID currentUserSid(OwnAccountBuffer& buffer);

// True under Wine, whose one account owns every file and whose tables
// differ from Windows' own.
bool runningUnderWine();

}  // namespace platform
