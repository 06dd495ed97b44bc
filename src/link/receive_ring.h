#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qrt::link {

/// A 1024-byte circular receive buffer holding at most 1023 bytes. Storing into a
/// full ring drops the oldest byte and keeps the newest. Reads do not check how
/// many bytes are held: callers take only what `held()` reported.
class ReceiveRing {
  public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::size_t kCapacity = kSize - 1;

    void store(std::uint8_t byte) {
        bytes_[write_] = byte;
        write_ = (write_ + 1) % kSize;
        if (write_ == read_) {
            read_ = (read_ + 1) % kSize;
        }
    }

    /// Stores a run of bytes, as storing them one by one would: on overflow the oldest
    /// go and the newest 1023 stay.
    void store(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const std::size_t n = std::min(bytes.size(), kSize - write_);
            const std::size_t free = kCapacity - held();
            std::copy_n(bytes.begin(), n, bytes_.begin() + static_cast<std::ptrdiff_t>(write_));
            write_ = (write_ + n) % kSize;
            if (n > free) {
                read_ = (write_ + 1) % kSize;  // full: the oldest byte is the one after
            }
            bytes = bytes.subspan(n);
        }
    }

    [[nodiscard]] std::size_t held() const { return (write_ - read_) & (kSize - 1); }

    /// Removes and returns the oldest byte.
    std::uint8_t readByte() {
        const std::uint8_t byte = bytes_[read_];
        read_ = (read_ + 1) % kSize;
        return byte;
    }

    /// The byte `offset` places after the oldest one, modulo the ring size.
    [[nodiscard]] std::uint8_t peek(std::size_t offset) const {
        return bytes_[(read_ + offset) % kSize];
    }

    /// Copies the oldest `into.size()` bytes without removing them.
    void peek(std::span<std::uint8_t> into) const {
        const std::size_t first = std::min(into.size(), kSize - read_);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(read_), first, into.begin());
        std::copy_n(bytes_.begin(), into.size() - first,
                    into.begin() + static_cast<std::ptrdiff_t>(first));
    }

    /// Removes `into.size()` bytes, oldest first.
    void read(std::span<std::uint8_t> into) {
        peek(into);
        drop(into.size());
    }

    /// Removes the oldest `count` bytes unread.
    void drop(std::size_t count) { read_ = (read_ + count) % kSize; }

    void clear() { write_ = read_ = 0; }

  private:
    std::array<std::uint8_t, kSize> bytes_{};
    std::size_t write_ = 0;
    std::size_t read_ = 0;
};

}  // namespace qrt::link
