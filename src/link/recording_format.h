#pragma once

#include <cstdint>
#include <optional>

namespace qrt::link {

/// The link type of a recording's records: the first user type of pcap and pcapng, which
/// the tool's dissector takes.
inline constexpr std::uint16_t kRecordingLinkType = 147;

/// What the receive poller took a record's bytes as.
enum class RecordKind : std::uint8_t {
    NoFrame = 0,  // a run of bytes that formed no frame
    ShortTelegram = 1,
    StandardFrame = 2,
    LoggerBlock = 3,
    FirmwareEcho = 4,
};

/// Which logical interface a record belongs to.
enum class RecordChannel : std::uint8_t {
    A = 0,    // the receiver
    B = 1,    // the inductive head
    Box = 2,  // the interface box itself (sent on the multiplexed link only)
};

/// The byte in front of every record: bit 7 set for what the tool sent, bits 4 and 5
/// the channel, bits 0 to 3 the kind of a received record (0 in a sent one). Bit 6 and
/// kinds above 4 are never written; a reader refuses them.
struct RecordHeader {
    bool sent = false;
    RecordChannel channel = RecordChannel::A;
    RecordKind kind = RecordKind::NoFrame;

    [[nodiscard]] constexpr std::uint8_t byte() const {
        return static_cast<std::uint8_t>((sent ? 0x80u : 0u) |
                                         (static_cast<unsigned>(channel) << 4) |
                                         static_cast<unsigned>(kind));
    }
    /// The header a byte holds, none for a byte never written.
    [[nodiscard]] static constexpr std::optional<RecordHeader> of(std::uint8_t byte) {
        const unsigned channel = (byte >> 4) & 3u;
        const unsigned kind = byte & 0x0Fu;
        const bool sent = (byte & 0x80u) != 0;
        if ((byte & 0x40u) != 0 || channel > 2 || kind > 4 || (sent && kind != 0) ||
            (!sent && channel != 0)) {
            return std::nullopt;
        }
        return RecordHeader{.sent = sent,
                            .channel = static_cast<RecordChannel>(channel),
                            .kind = static_cast<RecordKind>(kind)};
    }
    bool operator==(const RecordHeader&) const = default;
};

}  // namespace qrt::link
