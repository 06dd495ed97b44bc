#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qrt::common {

/// An output of the tools (decoded lines, values, an export): buffered, written in large
/// writes, and honest about failures. The first write that fails is kept with its own
/// reason ("No space left on device", not a later error), everything after it is
/// dropped, and the owner asks after each poll whether the output still works.
class OutputFile {
  public:
    /// Standard output, named "standard output" in messages.
    static OutputFile standardOutput();
    /// Creates or empties `path` for writing, without waiting: a FIFO without a reader
    /// fails at once, as does anything but a regular file, a character device or a FIFO.
    /// With a `stallLimit`, a FIFO or device that takes nothing for that long fails the
    /// write instead of holding it up for good (a window must not hang on a reader that
    /// never reads); without one, writes wait as long as the reader takes.
    static OutputFile create(const std::string& path, std::chrono::milliseconds stallLimit = {});
    /// Takes over an open descriptor, named `name` in messages.
    static OutputFile adopt(std::string name, int descriptor);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    /// The buffer the next bytes go to; decoders may append to it directly and call
    /// `written()` after.
    [[nodiscard]] std::string& buffer() { return buffer_; }
    /// Writes out the buffer once it holds a large block.
    void written() {
        if (buffer_.size() >= kBlock) {
            flush();
        }
    }
    void write(std::string_view bytes) {
        buffer_ += bytes;
        written();
    }
    /// Writes out what is buffered; false once any write has failed.
    bool flush();
    /// Flushes and closes (standard output stays open); false once any write has failed.
    bool close();

    [[nodiscard]] bool failed() const { return error_ != 0; }
    /// "cannot write NAME: REASON" after a failure to open or to write; empty otherwise.
    [[nodiscard]] std::string failure() const;
    /// The REASON alone.
    [[nodiscard]] std::string reason() const;
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] bool isStandardOutput() const { return standardOutput_; }
    /// The descriptor, or -1 when the file did not open.
    [[nodiscard]] int descriptor() const { return descriptor_; }

  private:
    static constexpr std::size_t kBlock = 64 * 1024;

    OutputFile(std::string name, int descriptor, int error);
    /// Waits until the descriptor takes bytes again; false after the stall limit.
    [[nodiscard]] bool awaitReader() const;

    std::string name_;
    int descriptor_ = -1;
    int error_ = 0;
    bool standardOutput_ = false;
    std::chrono::milliseconds stallLimit_{};  // none: writes block
    std::string buffer_;
};

}  // namespace qrt::common
