#include "app/line_search.h"

#include <algorithm>

namespace qrt::app {

namespace {

char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

LineSearch::LineSearch(std::string needle, bool matchCase)
    : needle_(std::move(needle)), matchCase_(matchCase) {
    if (!matchCase_) {
        std::transform(needle_.begin(), needle_.end(), needle_.begin(), folded);
    }
}

std::size_t LineSearch::findIn(std::string_view line, std::size_t from) const {
    if (needle_.empty() || from > line.size()) {
        return std::string_view::npos;
    }
    if (matchCase_) {
        return line.find(needle_, from);
    }
    const auto at =
        std::search(line.begin() + static_cast<std::ptrdiff_t>(from), line.end(), needle_.begin(),
                    needle_.end(), [](char a, char b) { return folded(a) == b; });
    return at == line.end() ? std::string_view::npos : static_cast<std::size_t>(at - line.begin());
}

void LineSearch::forEachIn(std::string_view line,
                           const std::function<void(std::size_t)>& found) const {
    for (std::size_t at = findIn(line, 0); at != std::string_view::npos;
         at = findIn(line, at + needle_.size())) {
        found(at);
    }
}

LineSearch::Count LineSearch::count(const LineStore& lines, LineMatch match) const {
    Count count;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        forEachIn(lines.line(i), [&](std::size_t at) {
            ++count.total;
            if (LineMatch{i, at} < match) {
                ++count.before;
            }
        });
    }
    return count;
}

std::optional<LineMatch> LineSearch::next(const LineStore& lines, LineMatch from, bool forward,
                                          bool inclusive) const {
    const std::size_t total = lines.size();
    if (needle_.empty() || total == 0) {
        return std::nullopt;
    }
    from.line = std::min(from.line, total - 1);
    // The first (going forward) or last (going back) match of a line that `accept` takes.
    auto pick = [&](std::size_t index, auto accept) -> std::optional<LineMatch> {
        std::optional<LineMatch> picked;
        forEachIn(lines.line(index), [&](std::size_t at) {
            const LineMatch candidate{index, at};
            if (accept(candidate) && (!forward || !picked)) {
                picked = candidate;
            }
        });
        return picked;
    };
    auto beyond = [&](const LineMatch& m) {
        return forward ? (inclusive ? m >= from : m > from) : (inclusive ? m <= from : m < from);
    };
    if (const auto here = pick(from.line, beyond)) {
        return here;
    }
    for (std::size_t step = 1; step < total; ++step) {
        const std::size_t index =
            forward ? (from.line + step) % total : (from.line + total - step) % total;
        if (const auto found = pick(index, [](const LineMatch&) { return true; })) {
            return found;
        }
    }
    // Round the store and back to the start line, on the other side of `from`.
    return pick(from.line, [&](const LineMatch& m) { return !beyond(m); });
}

}  // namespace qrt::app
