#pragma once

// Windows only: the system's TCP tables, for the _win32 sources of this folder.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <vector>

namespace platform {

// One TCP table of one address family, as GetExtendedTcpTable fills it;
// false when the system would not tell.
bool readTcpTable(ULONG family, TCP_TABLE_CLASS tableClass, std::vector<char>& table);

}  // namespace platform
