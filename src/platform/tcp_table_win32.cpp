#include "platform/tcp_table_win32.h"

namespace platform {

namespace {

// Room for a few hundred rows, so that one read is the rule; a longer table
// is read again at its size, which may grow in between.
constexpr DWORD kFirstReadBytes = 16 * 1024;
constexpr int kTableReads = 4;

}  // namespace

bool readTcpTable(ULONG family, TCP_TABLE_CLASS tableClass, std::vector<char>& table) {
    DWORD size = kFirstReadBytes;
    for (int attempt = 0; attempt < kTableReads; ++attempt) {
        table.resize(size);
        const DWORD result = GetExtendedTcpTable(table.data(), &size, FALSE, family, tableClass, 0);
        if (result == NO_ERROR) {
            return true;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
    }
    return false;
}

}  // namespace platform
