#include "host/program_settings.h"

const char* const serviceName = "Lumetra_RD_ServiceExt";
const char* const listenHost = "127.0.0.1";
platform::StopEvent stopRequested;
