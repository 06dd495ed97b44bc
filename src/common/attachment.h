#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace qrt::common {

/// What a face attached to the core, for as long as the attachment lives: when it ends,
/// what was attached before is attached again, as a connection ends with its object.
/// Attachments end in the reverse order they were made, as scopes do.
class [[nodiscard]] Attachment {
  public:
    Attachment() = default;
    /// An attachment that `restore` undoes.
    explicit Attachment(std::function<void()> restore) { restores_.push_back(std::move(restore)); }
    Attachment(Attachment&& other) noexcept : restores_(std::exchange(other.restores_, {})) {}
    Attachment& operator=(Attachment&& other) noexcept {
        if (this != &other) {
            detach();
            restores_ = std::exchange(other.restores_, {});
        }
        return *this;
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    ~Attachment() { detach(); }

    /// Takes `later` over: it is undone before this attachment's own outputs.
    void join(Attachment later) {
        for (auto& restore : later.restores_) {
            restores_.push_back(std::move(restore));
        }
        later.restores_.clear();
    }

    /// Restores what was attached before, now (also what the destructor does).
    void detach() {
        while (!restores_.empty()) {
            restores_.back()();
            restores_.pop_back();
        }
    }

  private:
    std::vector<std::function<void()>> restores_;
};

}  // namespace qrt::common
