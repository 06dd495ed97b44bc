#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrt::app {

/// The lines of a text pane, packed into one buffer: about the line's own bytes plus
/// eight bytes each, and appending costs the same however many lines it holds.
class LineStore {
  public:
    /// Appends text; a "\r\n" or "\n" inside starts a further line.
    void append(std::string_view text);
    void clear();
    [[nodiscard]] std::size_t size() const { return ends_.size(); }
    [[nodiscard]] std::string_view line(std::size_t index) const;
    /// The longest line's length in bytes.
    [[nodiscard]] std::size_t longest() const { return longest_; }
    /// Memory held, in bytes.
    [[nodiscard]] std::size_t capacityBytes() const {
        return text_.capacity() + ends_.capacity() * sizeof(std::uint64_t);
    }

  private:
    void push(std::string_view line);

    std::string text_;
    std::vector<std::uint64_t> ends_;
    std::size_t longest_ = 0;
};

}  // namespace qrt::app
