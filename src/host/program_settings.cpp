#include "host/program_settings.h"

const char* const serviceName = "Lumetra_RD_ServiceExt";
std::int32_t portRangeStart = kDefaultPortRangeStart;
const char* const listenHost = "127.0.0.1";
std::string sslCertificatePath = kDefaultSslCertificatePath;
std::atomic<bool> stopRequested{false};
