#include "host/program_settings.h"

#include "protocol/rd_protocol.h"

const char* const serviceName = "Lumetra_RD_ServiceExt";
const char* const listenHost = kLoopbackAddress;
platform::StopEvent stopRequested;
