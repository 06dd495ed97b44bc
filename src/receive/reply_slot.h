#pragma once

#include <cstdint>
#include <vector>

#include "frames/command_frames.h"

namespace qrt::receive {

/// A waiting operation's reply slot: the poller copies the first standard frame of
/// the expected type and BytePar into `reply` and clears `expectedType`.
/// An expected BytePar that any reply's BytePar matches (a version reply's run state).
inline constexpr std::uint32_t kAnyBytePar = 0x100;

/// How a wait for a reply ended: the reply came, the time was up, a device of the link
/// was found gone, or the operator stopped the program.
enum class WaitEnd { Reply, TimedOut, PortLost, Stopped };

/// What a wait brought: how it ended and, when it came, the reply.
struct AwaitedReply {
    WaitEnd end = WaitEnd::TimedOut;
    frames::StandardFrame frame{};
    [[nodiscard]] bool arrived() const { return end == WaitEnd::Reply; }
};

struct ReplySlot {
    std::uint32_t expectedType = 0;  // 0 = nobody waits; 0x100 waits for a type-0 telegram
    std::uint32_t expectedBytePar = 0;
    frames::StandardFrame reply{};
};

/// The archive window's reply slot and its copy of a logging module's block ring.
/// Block b fills words 32 b to 32 b + 31; the ring uses blocks 0 to 2,043.
struct ArchiveStore {
    static constexpr std::size_t kWords = 65536;
    static constexpr std::size_t kWordsPerBlock = 32;
    static constexpr std::int32_t kBlocks = kWords / kWordsPerBlock;  // 2,048 block places

    ReplySlot slot;
    std::vector<std::uint16_t> archiveWords = std::vector<std::uint16_t>(kWords, 0);
};

}  // namespace qrt::receive
