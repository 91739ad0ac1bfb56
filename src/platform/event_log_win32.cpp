#include <windows.h>

#include <cstdio>

#include "platform/event_log.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

const wchar_t kApplicationLogKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

WORD eventType(EventLevel level) {
    switch (level) {
        case EventLevel::kError:
            return EVENTLOG_ERROR_TYPE;
        case EventLevel::kWarning:
            return EVENTLOG_WARNING_TYPE;
        case EventLevel::kInformation:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

class EventLogSink : public EventSink {
  public:
    explicit EventLogSink(const std::string& sourceName)
        : source_(::RegisterEventSourceW(nullptr, widen(sourceName).c_str())) {}
    ~EventLogSink() override {
        if (source_ != nullptr) ::DeregisterEventSource(source_);
    }
    EventLogSink(const EventLogSink&) = delete;
    EventLogSink& operator=(const EventLogSink&) = delete;

    void printLine(EventLevel, const std::string& text) override {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }

    // The message table's entry for `id` is "<headline>%n%1": the text is
    // its one insertion string.
    void record(EventLevel level, std::uint32_t id, const std::string& text) override {
        if (source_ == nullptr) return;
        // The Event Viewer breaks lines at CR LF.
        std::string lines;
        for (char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
        const std::wstring wide = widen(lines);
        LPCWSTR strings[] = {wide.c_str()};
        ::ReportEventW(source_, eventType(level), 0, id, nullptr, 1, 0, strings, nullptr);
    }

  private:
    HANDLE source_;
};

std::wstring sourceKey(const std::string& sourceName) {
    return kApplicationLogKey + widen(sourceName);
}

}  // namespace

std::unique_ptr<EventSink> openServiceEventSink(const std::string& sourceName) {
    return std::make_unique<EventLogSink>(sourceName);
}

std::uint32_t registerEventSource(const std::string& sourceName, const std::string& messageFile) {
    HKEY key = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, sourceKey(sourceName).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    const std::wstring file = widen(messageFile);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    status = ::RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(file.c_str()),
                              static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS) {
        status = ::RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&types), sizeof types);
    }
    ::RegCloseKey(key);
    return static_cast<std::uint32_t>(status);
}

std::uint32_t removeEventSource(const std::string& sourceName) {
    const LSTATUS status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, sourceKey(sourceName).c_str());
    return status == ERROR_FILE_NOT_FOUND ? 0 : static_cast<std::uint32_t>(status);
}

}  // namespace platform
