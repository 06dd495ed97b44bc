#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qrt::common {

/// The log file: every debug-pane line followed by "\n", appended.
class LogFile {
  public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    /// Opens `path` for appending, creating it when missing. Never waits (a FIFO
    /// without a reader fails at once) and takes only regular files and character
    /// devices. False, with no log, when the file cannot be had that way.
    bool open(const std::string& path);
    void close();
    [[nodiscard]] bool isOpen() const { return file_ != nullptr; }

    /// Appends the line and "\n"; nothing when no log is open.
    void writeLine(std::string_view line);
    void flush();

  private:
    std::FILE* file_ = nullptr;
};

}  // namespace qrt::common
