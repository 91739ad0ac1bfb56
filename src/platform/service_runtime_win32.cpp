#include <windows.h>

#include "platform/service_runtime.h"

namespace platform {
namespace {

void (*registeredMain)() = nullptr;
void (*registeredControl)(std::uint32_t) = nullptr;

VOID WINAPI serviceMainTrampoline(DWORD, LPSTR*) { registeredMain(); }
VOID WINAPI controlTrampoline(DWORD control) { registeredControl(control); }

}  // namespace

bool runServiceControlDispatcher(const char* name, void (*serviceMain)()) {
    registeredMain = serviceMain;
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<LPSTR>(name), serviceMainTrampoline},
                                    {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) != FALSE;
}

ServiceStatusHandle registerServiceControlHandler(const char* name,
                                                  void (*handleControl)(std::uint32_t)) {
    registeredControl = handleControl;
    return reinterpret_cast<ServiceStatusHandle>(
        ::RegisterServiceCtrlHandlerA(name, controlTrampoline));
}

bool reportServiceStatus(ServiceStatusHandle handle, const ServiceStatusRecord& status) {
    SERVICE_STATUS native;
    native.dwServiceType = status.serviceType;
    native.dwCurrentState = status.currentState;
    native.dwControlsAccepted = status.controlsAccepted;
    native.dwWin32ExitCode = status.win32ExitCode;
    native.dwServiceSpecificExitCode = status.serviceSpecificExitCode;
    native.dwCheckPoint = status.checkPoint;
    native.dwWaitHint = status.waitHint;
    return ::SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(handle), &native) != FALSE;
}

}  // namespace platform
