#include <sys/stat.h>

#include <vector>

#include "platform/change_rights.h"
#include "platform/program_location.h"

namespace platform {

const char* const kTrustedProgramFolders = "/usr/local or /opt";

std::string changeablePartOfProgram(const std::string& executable) {
    // The executable, then every folder above it up to "/".
    std::vector<std::string> paths{executable};
    for (std::string path = executable; path.size() > 1;) {
        const std::size_t cut = path.find_last_of('/');
        if (cut == std::string::npos) return executable;  // not a full path
        path = cut == 0 ? "/" : path.substr(0, cut);
        paths.push_back(path);
    }
    std::vector<UnixPathFacts> chain;
    for (const std::string& path : paths) {
        struct stat info;
        // Followed, as the kernel follows it when it runs the program.
        if (::stat(path.c_str(), &info) != 0) return path;
        chain.push_back(UnixPathFacts{static_cast<std::uint32_t>(info.st_uid),
                                      static_cast<std::uint32_t>(info.st_mode & 07777)});
    }
    const int changeable = firstChangeableByOthers(chain);
    return changeable < 0 ? std::string() : paths[static_cast<std::size_t>(changeable)];
}

}  // namespace platform
