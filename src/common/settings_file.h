#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qrt::common {

/// A Windows-style INI file: case-insensitive sections and keys, "key=value" lines.
/// Every call reads or writes the file afresh, so sections, keys and comments the
/// program does not own are kept. A missing file or key gives the default; a file
/// that cannot be parsed, or is no regular file (a FIFO, a device), gives defaults
/// and is never overwritten.
class SettingsFile {
  public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}

    /// Reads text through a buffer of `bufferSize` bytes: at most bufferSize - 1
    /// characters come back.
    [[nodiscard]] std::string readString(const char* section, const char* key,
                                         const std::string& fallback, std::size_t bufferSize) const;
    /// Reads an integer: the value's leading decimal number (0 when it has none), or
    /// `fallback` when the key is missing.
    [[nodiscard]] int readInt(const char* section, const char* key, int fallback) const;
    /// Names of all sections, in file order; empty when the file is missing or unreadable.
    [[nodiscard]] std::vector<std::string> sections() const;
    /// Names of the keys of one section, in file order.
    [[nodiscard]] std::vector<std::string> keys(const char* section) const;
    /// Writes text; creates the file when missing. False when it could not be written.
    bool writeString(const char* section, const char* key, const std::string& value);

    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace qrt::common
