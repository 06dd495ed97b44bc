#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

#include "common/failure.h"

namespace qrt::common {

/// Reads a whole small input file (a key, settings or scenario file) when it is a regular
/// file of at most `limit` bytes, or says why not: "NAME is not a regular file", "NAME is
/// larger than N bytes", or the system's reason. Never waits: a FIFO or a device is
/// refused before anything is read, so a FIFO without a writer cannot hang the program
/// and /dev/zero cannot fill its memory.
[[nodiscard]] Result<std::string> readInputFile(const std::string& path, std::size_t limit);

/// Where a file lives on disk: its device and inode, through links.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

/// The identity of an existing file (links followed), or of an open descriptor.
[[nodiscard]] std::optional<FileIdentity> identityOf(const std::string& path);
[[nodiscard]] std::optional<FileIdentity> identityOfDescriptor(int descriptor);

/// Whether two paths name the same file: the same device and inode when both exist (links
/// and other names of it included), else the same path once made absolute.
[[nodiscard]] bool sameFile(const std::string& a, const std::string& b);

}  // namespace qrt::common
