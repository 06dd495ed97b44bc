#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/line_store.h"

namespace qrt::app {

/// Where a match starts: a line of the store and a byte offset in it.
struct LineMatch {
    std::size_t line = 0;
    std::size_t offset = 0;
    auto operator<=>(const LineMatch&) const = default;
};

/// Finds a text in the lines of a pane where they are stored, without copying them.
/// Without `matchCase`, ASCII letters match either case (the decoded lines are ASCII
/// but for a few texts). A match never spans two lines.
class LineSearch {
  public:
    LineSearch(std::string needle, bool matchCase);

    [[nodiscard]] bool empty() const { return needle_.empty(); }
    /// Calls `found` with the byte offset of each match in `line`, in order.
    void forEachIn(std::string_view line, const std::function<void(std::size_t)>& found) const;
    struct Count {
        std::size_t before = 0;  // matches before the one asked about
        std::size_t total = 0;   // matches in the whole store
    };
    /// How many matches the store holds, and how many come before `match`: one pass.
    [[nodiscard]] Count count(const LineStore& lines, LineMatch match) const;
    /// The first match after `from` (or at it, with `inclusive`), going forward or
    /// backward, wrapping round the store; nothing when there is none.
    [[nodiscard]] std::optional<LineMatch> next(const LineStore& lines, LineMatch from,
                                                bool forward, bool inclusive) const;

  private:
    [[nodiscard]] std::size_t findIn(std::string_view line, std::size_t from) const;

    std::string needle_;
    bool matchCase_;
};

}  // namespace qrt::app
