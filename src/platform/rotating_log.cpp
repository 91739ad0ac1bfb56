#include "platform/rotating_log.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"

namespace platform {
namespace {

std::string localTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localTime(now, local)) {
        return "[?] ";
    }
    char text[32];
    std::strftime(text, sizeof text, "[%Y-%m-%d %H:%M:%S] ", &local);
    return text;
}

long fileSize(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return 0;
    }
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size;
}

}  // namespace

RotatingLog::RotatingLog(std::string path, std::size_t capBytes)
    : path_(std::move(path)), capBytes_(capBytes) {}

bool RotatingLog::write(const std::string& text) {
    const std::string line = localTimestamp() + text + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    if (size_ < 0) {
        size_ = fileSize(path_);
    }
    if (static_cast<std::size_t>(size_) + line.size() > capBytes_) {
        replaceFile(path_, path_ + ".1");
        size_ = 0;
    }
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    size_ += static_cast<long>(line.size());
    return std::fclose(file) == 0 && written;
}

}  // namespace platform
