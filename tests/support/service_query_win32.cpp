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

EventSourceValues registeredEventSource(const std::string& name) {
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + name;
    EventSourceValues values;
    char file[MAX_PATH * 2] = "";
    DWORD size = sizeof file;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "EventMessageFile",
                       RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, file,
                       &size) == ERROR_SUCCESS) {
        values.messageFile = file;
    }
    DWORD types = 0;
    size = sizeof types;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "TypesSupported", RRF_RT_REG_DWORD, nullptr,
                       &types, &size) == ERROR_SUCCESS) {
        values.typesSupported = types;
    }
    return values;
}

std::string formatModuleMessage(const std::string& module, unsigned long id,
                                const std::string& insert) {
    HMODULE file = ::LoadLibraryExA(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (file == nullptr) return "";
    const char* inserts[] = {insert.c_str()};
    char text[1024] = "";
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, file, id,
                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text,
                         reinterpret_cast<va_list*>(const_cast<char**>(inserts)));
    ::FreeLibrary(file);
    return std::string(text, length);
}

}  // namespace testing_support
