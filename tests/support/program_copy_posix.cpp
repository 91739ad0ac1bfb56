#include <sys/stat.h>

#include "support/program_copy.h"

namespace testing_support {

// Root's folder under the sticky /tmp, whatever the umask made of it.
bool trustProgramFolder(const std::filesystem::path& program) {
    return ::chmod(program.parent_path().c_str(), 0755) == 0;
}

}  // namespace testing_support
