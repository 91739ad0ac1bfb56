#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's command-line arguments in UTF-8. Windows: from the wide
// command line, as the ANSI argv turns every character outside the code page
// into '?'. Elsewhere: argv as given.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// The value of the environment variable `name` in UTF-8 (Windows: from the
// wide environment); empty when it is not set.
std::string environmentValue(const char* name);

}  // namespace platform
