#include <windows.h>

#include "support/service_query.h"

namespace testing_support {

std::string registeredServiceCommand(const std::string& name) {
    SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = scm ? ::OpenServiceA(scm, name.c_str(), SERVICE_QUERY_CONFIG) : nullptr;
    std::string command;
    char buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    DWORD needed = 0;
    if (service && ::QueryServiceConfigA(service, config, sizeof buffer, &needed)) {
        command = config->lpBinaryPathName;
    }
    if (service) ::CloseServiceHandle(service);
    if (scm) ::CloseServiceHandle(scm);
    return command;
}

}  // namespace testing_support
