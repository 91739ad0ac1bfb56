#include "logging/rotating_log.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock.h"
#include "platform/file_handle.h"
#include "platform/files.h"

namespace {

std::string localTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!platform::localTime(now, local)) {
        return "[?] ";
    }
    char text[32];
    std::strftime(text, sizeof text, "[%Y-%m-%d %H:%M:%S] ", &local);
    return text;
}

long fileSize(const std::string& path) {
    platform::FileHandle file = platform::openFile(path.c_str(), "rb");
    if (!file) {
        return 0;
    }
    std::fseek(file.get(), 0, SEEK_END);
    return std::ftell(file.get());
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
        if (platform::replaceFile(path_, path_ + ".1")) {
            size_ = 0;
        } else if (static_cast<std::size_t>(size_) > capBytes_) {
            // Another program holds the file (a viewer without delete
            // sharing): one line past the cap is written, the rest is
            // counted and the rename retried with the next line.
            ++droppedLines_;
            return false;
        }
    }
    const bool freshFile = size_ == 0;
    std::string entry = line;
    if (freshFile && droppedLines_ > 0) {
        entry = localTimestamp() + std::to_string(droppedLines_) +
                " lines were dropped while the full log could not be renamed\n" + line;
    }
    platform::FileHandle file = platform::openPrivateLog(path_);
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(entry.data(), 1, entry.size(), file.get()) == entry.size();
    size_ += static_cast<long>(entry.size());
    if (freshFile) droppedLines_ = 0;
    return std::fclose(file.release()) == 0 && written;
}
