#include "app/line_store.h"

namespace qrt::app {

void LineStore::append(std::string_view text) {
    for (;;) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            push(text);
            return;
        }
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        push(line);
        text.remove_prefix(end + 1);
    }
}

void LineStore::push(std::string_view line) {
    text_.append(line);
    ends_.push_back(text_.size());
    longest_ = std::max(longest_, line.size());
}

void LineStore::clear() {
    text_ = std::string();
    ends_ = std::vector<std::uint64_t>();
    longest_ = 0;
}

std::string_view LineStore::line(std::size_t index) const {
    if (index >= ends_.size()) {
        return {};
    }
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
}

}  // namespace qrt::app
