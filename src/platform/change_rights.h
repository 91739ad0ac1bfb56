#pragma once

#include <cstdint>
#include <vector>

// Whether an account other than the machine's administrators may change a
// file or folder, decided from facts the platform reads (program_location.h).
// Pure functions, the same on every system, so both rule sets are tested
// everywhere.
namespace platform {

// --- Windows: the owner and the access entries of the object's DACL --------

// Whom an access entry or the owner names, in the terms the decision needs.
enum class Trustee {
    kSystem,
    kAdministrators,
    kTrustedInstaller,
    kOther,  // Users, Authenticated Users, Everyone, INTERACTIVE, any account
};

// One entry of the DACL, as read (inherited entries are entries like any other).
struct AccessEntry {
    Trustee trustee = Trustee::kOther;
    std::uint32_t mask = 0;
    bool allows = true;        // false: an access-denied entry
    bool inherited = false;    // came from the parent folder
    bool inheritOnly = false;  // only handed down, does not apply to the object
};

struct WindowsAccess {
    Trustee owner = Trustee::kOther;
    // No DACL at all grants every right to everyone.
    bool hasDacl = true;
    std::vector<AccessEntry> entries;
};

// Rights that let their holder replace or rewrite a file or a folder's
// content: write or append data (add a file or a subfolder), delete the
// object or a child, write its DACL or take ownership, and the generic
// rights that include them.
constexpr std::uint32_t kChangeRights = 0x00000002u     // FILE_WRITE_DATA, FILE_ADD_FILE
                                        | 0x00000004u   // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
                                        | 0x00000040u   // FILE_DELETE_CHILD
                                        | 0x00010000u   // DELETE
                                        | 0x00040000u   // WRITE_DAC
                                        | 0x00080000u   // WRITE_OWNER
                                        | 0x10000000u   // GENERIC_ALL
                                        | 0x40000000u;  // GENERIC_WRITE

// True when the owner or any allowing entry that applies to the object gives
// an account other than SYSTEM, Administrators or TrustedInstaller one of
// kChangeRights. Deny entries are not weighed: an object that needs one to
// be safe is judged changeable, never wrongly trusted.
bool othersMayChange(const WindowsAccess& access);

// --- Linux: owner and mode of each path from the executable up to "/" ------

struct UnixPathFacts {
    std::uint32_t ownerUid = 0;
    std::uint32_t mode = 0;  // st_mode's permission bits, the sticky bit included
};

// `chain[0]` is the executable, `chain[1]` its folder, then each parent up to
// "/". Returns the index of the first entry others may change, or -1:
// - the executable and its folder: owned by an account other than root, or
//   writable by group or others;
// - a parent: owned by an account other than root (its owner may rename the
//   folder below), or writable by group or others without the sticky bit.
int firstChangeableByOthers(const std::vector<UnixPathFacts>& chain);

}  // namespace platform
