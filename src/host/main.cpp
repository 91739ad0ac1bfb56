#include <string>
#include <vector>

#include "client/http_client_init.h"
#include "host/entry_point.h"
#include "platform/arguments.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    platform::prepareStdout();
    // The HTTP client's process-wide set-up must happen before worker threads exist.
    initHttpClient();
    // UTF-8 from here on, whatever the system's code page.
    std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);
    return runEntryPoint(argc, pointers.data());
}
