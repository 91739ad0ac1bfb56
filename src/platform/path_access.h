#pragma once

#include <string>

namespace platform {

// Who owns a file or folder, in the terms the program trusts by.
enum class PathOwner {
    kUnknown,         // missing, or the owner could not be read
    kSystem,          // Windows: LocalSystem; Linux: root
    kAdministrators,  // Windows: the Administrators group
    kCurrentUser,     // the account this process runs as
    kOtherUser,       // anyone else
};

// What the program must know of a path before it trusts its content.
struct PathFacts {
    bool exists = false;
    // A symbolic link, a junction or any other reparse point: the name leads
    // somewhere its owner chose.
    bool isLink = false;
    PathOwner owner = PathOwner::kUnknown;
    // Someone other than SYSTEM, the Administrators and the owner may read it.
    bool readableByOthers = false;
};

// Looks at `path` itself (a link is not followed). Never changes anything.
PathFacts inspectPath(const std::string& path);

// Who may do what to a path the program protects.
enum class Protection {
    // SYSTEM and Administrators full control, Users read, nothing inherited:
    // the data folder, whose files inherit the same.
    kAdministeredFolder,
    // The same for one file: DeviceConfig.xml, which a user may have made first.
    kAdministeredFile,
    // SYSTEM and Administrators only: a private key.
    kPrivateFile,
};

// Creates one folder (an existing one is left as it is) with kAdministeredFolder
// access on Windows, mode 0755 elsewhere. True when it exists afterwards.
bool createProtectedDirectory(const std::string& path);

// Gives an existing path the access of `protection` and, where the caller may
// do so, the owner Administrators (root on Linux). False when it failed.
bool protectPath(const std::string& path, Protection protection);

}  // namespace platform
