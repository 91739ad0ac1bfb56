#pragma once

#include <cstddef>
#include <mutex>
#include <string>

// An append-only log file of bounded size: before a line would take the file
// past its cap, the file becomes "<path>.1" (replacing an older one) and a new
// file is started, so at most two files of at most `capBytes` each exist.
// Each line gets a local timestamp. When the rename fails (another program
// holds the file), one more line is written past the cap, later lines are
// dropped and counted, each retries the rename, and the first line of the
// next file says how many were dropped. Safe to use from any number of threads;
// one instance is the only writer of its file in the process.
class RotatingLog {
  public:
    static constexpr std::size_t kDefaultCapBytes = 1024 * 1024;

    explicit RotatingLog(std::string path, std::size_t capBytes = kDefaultCapBytes);

    // Appends "[YYYY-MM-DD HH:MM:SS] <text>\n". False when the file could not
    // be written or the line was dropped.
    bool write(const std::string& text);

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::size_t capBytes_;
    std::mutex mutex_;
    // The file's size, read once and then counted, so a busy log does not
    // ask the file system for it on every line. -1 until read.
    long size_ = -1;
    // Lines left out since a rename failed; said in the next file.
    unsigned long droppedLines_ = 0;
};
