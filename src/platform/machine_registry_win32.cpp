#include <windows.h>

#include "platform/machine_registry.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

class KeyHandle {
  public:
    ~KeyHandle() {
        if (key_ != nullptr) ::RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

class WindowsRegistry : public MachineRegistry {
  public:
    bool read(const std::string& key, const std::string& name, std::string& value) override {
        KeyHandle handle;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(key).c_str(), 0, KEY_QUERY_VALUE | kView,
                            handle.out()) != ERROR_SUCCESS) {
            return false;
        }
        const std::wstring wideName = widen(name);
        DWORD bytes = 0;
        if (::RegGetValueW(handle.get(), nullptr, wideName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                           &bytes) != ERROR_SUCCESS) {
            return false;
        }
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (::RegGetValueW(handle.get(), nullptr, wideName.c_str(), RRF_RT_REG_SZ, nullptr,
                           &text[0], &bytes) != ERROR_SUCCESS) {
            return false;
        }
        value = narrow(text.c_str());
        return true;
    }

    bool write(const std::string& key, const std::string& name, const std::string& value) override {
        KeyHandle handle;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, widen(key).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | kView, nullptr, handle.out(),
                              nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const std::wstring text = widen(value);
        const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(handle.get(), widen(name).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                bytes) == ERROR_SUCCESS;
    }

    bool removeValue(const std::string& key, const std::string& name) override {
        KeyHandle handle;
        const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(key).c_str(), 0,
                                            KEY_SET_VALUE | kView, handle.out());
        if (opened == ERROR_FILE_NOT_FOUND) return true;
        if (opened != ERROR_SUCCESS) return false;
        const LONG removed = ::RegDeleteValueW(handle.get(), widen(name).c_str());
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }

    bool removeKey(const std::string& key) override {
        const LONG removed = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, widen(key).c_str(), kView, 0);
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
};

}  // namespace

std::unique_ptr<MachineRegistry> makeMachineRegistry() {
    return std::make_unique<WindowsRegistry>();
}

}  // namespace platform
