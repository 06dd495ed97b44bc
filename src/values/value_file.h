#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "values/value_writer.h"

namespace qrt::values {

/// The file the tools write values to ("-" for standard output), with its writer.
/// Opened before any decoding starts, so a file that cannot be written stops a tool
/// before anything happens.
class ValueFile {
  public:
    ValueFile(const std::string& path, ValueFormat format);
    ~ValueFile();
    ValueFile(const ValueFile&) = delete;
    ValueFile& operator=(const ValueFile&) = delete;

    [[nodiscard]] bool isOpen() const { return writer_ != nullptr; }
    [[nodiscard]] bool isStandardOutput() const { return out_ == stdout; }
    [[nodiscard]] ValueWriter& writer() { return *writer_; }
    /// Flushes and closes; false when a write failed.
    bool finish();
    /// "cannot write NAME: reason" after a failure to open or to write.
    [[nodiscard]] const std::string& failure() const { return failure_; }

  private:
    std::string name_;
    std::FILE* out_ = nullptr;
    std::unique_ptr<ValueWriter> writer_;
    std::string failure_;
};

}  // namespace qrt::values
