#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/path_access.h"

namespace platform {

PathFacts inspectPath(const std::string& path) {
    PathFacts facts;
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return facts;
    facts.exists = true;
    facts.isLink = S_ISLNK(info.st_mode);
    if (info.st_uid == 0) {
        facts.owner = PathOwner::kSystem;
    } else if (info.st_uid == ::geteuid()) {
        facts.owner = PathOwner::kCurrentUser;
    } else {
        facts.owner = PathOwner::kOtherUser;
    }
    facts.readableByOthers = (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
    return facts;
}

bool createProtectedDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool protectPath(const std::string& path, Protection protection) {
    // Only root may give a path to root; anyone may narrow their own.
    if (::geteuid() == 0 && ::lchown(path.c_str(), 0, 0) != 0) return false;
    const mode_t mode = protection == Protection::kPrivateFile        ? 0600
                        : protection == Protection::kAdministeredFile ? 0644
                                                                      : 0755;
    return ::chmod(path.c_str(), mode) == 0;
}

}  // namespace platform
