#include "client/http_client_init.h"
#include "host/entry_point.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    platform::prepareStdout();
    // The HTTP client's process-wide set-up must happen before worker threads exist.
    initHttpClient();
    return runEntryPoint(argc, argv);
}
