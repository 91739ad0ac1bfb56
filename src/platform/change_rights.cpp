#include "platform/change_rights.h"

namespace platform {
namespace {

bool administers(Trustee trustee) { return trustee != Trustee::kOther; }

constexpr std::uint32_t kGroupOrOthersWrite = 0020 | 0002;
constexpr std::uint32_t kSticky = 01000;

}  // namespace

bool othersMayChange(const WindowsAccess& access) {
    // The owner may always rewrite the DACL.
    if (!access.hasDacl || !administers(access.owner)) return true;
    for (const AccessEntry& entry : access.entries) {
        if (!entry.allows || entry.inheritOnly || administers(entry.trustee)) continue;
        if ((entry.mask & kChangeRights) != 0) return true;
    }
    return false;
}

int firstChangeableByOthers(const std::vector<UnixPathFacts>& chain) {
    for (std::size_t index = 0; index < chain.size(); ++index) {
        const UnixPathFacts& path = chain[index];
        const bool writable = (path.mode & kGroupOrOthersWrite) != 0;
        const bool parent = index >= 2;
        if (path.ownerUid != 0 || (writable && !(parent && (path.mode & kSticky) != 0))) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

}  // namespace platform
