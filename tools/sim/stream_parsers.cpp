#include "sim/stream_parsers.h"

#include <algorithm>
#include <string_view>

#include "frames/command_codes.h"
#include "frames/crc16.h"
#include "link/mux_framing.h"

namespace qrt::sim {

namespace {

constexpr std::string_view kRadioCommand = "ER_CMD#";
constexpr std::string_view kAck = "ACK";
constexpr std::size_t kFirmwareBlockSize = 130;
constexpr std::uint8_t kBlockHeaderCode = frames::code::kFirmwareBlockHeader;
constexpr std::uint8_t kCr = 0x0D;

// How much of `buffer` matches the start of `text`: 0 = no match.
std::size_t prefixMatch(const Bytes& buffer, std::string_view text) {
    const std::size_t n = std::min(buffer.size(), text.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (buffer[i] != static_cast<std::uint8_t>(text[i])) {
            return 0;
        }
    }
    return n;
}

bool isDigit(std::uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

}  // namespace

std::vector<RadioEvent> RadioParser::feed(const Bytes& bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::vector<RadioEvent> events;
    while (parseOne(events, false)) {
    }
    return events;
}

std::vector<RadioEvent> RadioParser::idle() {
    std::vector<RadioEvent> events;
    while (parseOne(events, true)) {
    }
    junk_.insert(junk_.end(), buffer_.begin(), buffer_.end());
    buffer_.clear();
    blockExpected_ = false;
    flushJunk(events);
    return events;
}

void RadioParser::flushJunk(std::vector<RadioEvent>& events) {
    if (!junk_.empty()) {
        events.emplace_back(Junk{junk_});
        junk_.clear();
    }
}

bool RadioParser::parseOne(std::vector<RadioEvent>& events, bool quiet) {
    if (buffer_.empty()) {
        return false;
    }
    auto take = [&](std::size_t count) {
        Bytes taken(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
        return taken;
    };
    if (blockExpected_) {
        if (buffer_.size() < kFirmwareBlockSize) {
            return false;
        }
        blockExpected_ = false;
        Bytes block = take(kFirmwareBlockSize);
        const bool ok =
            frames::crcMatches(std::span(block).first(128), block[128], block[129], crcStart_);
        flushJunk(events);
        events.emplace_back(FirmwareBlock{std::move(block), ok});
        return true;
    }
    const std::size_t command = prefixMatch(buffer_, kRadioCommand);
    if (command == kRadioCommand.size()) {
        // "ER_CMD#" + letter + digits, with no terminator: the text ends at the first
        // byte that is not a digit, or when the line goes quiet.
        std::size_t end = command + 1;
        while (end < buffer_.size() && isDigit(buffer_[end])) {
            ++end;
        }
        if (end >= buffer_.size() && !quiet) {
            return false;
        }
        const Bytes text = take(std::min(end, buffer_.size()));
        flushJunk(events);
        events.emplace_back(RadioText{std::string(text.begin(), text.end())});
        return true;
    }
    if (command > 0 && !quiet) {
        return false;
    }
    const std::size_t ack = prefixMatch(buffer_, kAck);
    if (ack == kAck.size()) {
        take(ack);
        flushJunk(events);
        events.emplace_back(RadioText{std::string(kAck)});
        return true;
    }
    if (ack > 0 && !quiet) {
        return false;
    }
    if (buffer_.size() >= 11) {
        if (frames::crcMatches(std::span(buffer_).first(9), buffer_[9], buffer_[10], crcStart_)) {
            RadioFrame frame{};
            std::copy_n(buffer_.begin(), 11, frame.frame.begin());
            take(11);
            flushJunk(events);
            blockExpected_ = frame.frame[0] == kBlockHeaderCode;
            events.emplace_back(frame);
            return true;
        }
        junk_.push_back(take(1)[0]);
        return true;
    }
    return false;
}

std::vector<HeadEvent> HeadParser::feed(const Bytes& bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::vector<HeadEvent> events;
    auto flushJunk = [&] {
        if (!junk_.empty()) {
            events.emplace_back(Junk{junk_});
            junk_.clear();
        }
    };
    for (;;) {
        if (buffer_.size() >= 6 &&
            frames::crcMatches(std::span(buffer_).first(4), buffer_[4], buffer_[5], 0)) {
            flushJunk();
            events.emplace_back(InductiveFrameEvent{
                buffer_[0], static_cast<std::uint16_t>(buffer_[1] | (buffer_[2] << 8)),
                buffer_[3]});
            buffer_.erase(buffer_.begin(), buffer_.begin() + 6);
            continue;
        }
        if (!buffer_.empty() && buffer_[0] == kCr) {
            const auto end = std::find(buffer_.begin() + 1, buffer_.end(), kCr);
            if (end == buffer_.end()) {
                break;
            }
            if (end == buffer_.begin() + 1) {
                junk_.push_back(kCr);  // an empty text: the first CR framed nothing
                buffer_.erase(buffer_.begin());
                continue;
            }
            flushJunk();
            events.emplace_back(HeadText{std::string(buffer_.begin() + 1, end)});
            buffer_.erase(buffer_.begin(), end + 1);
            continue;
        }
        if (buffer_.size() >= 6) {
            junk_.push_back(buffer_.front());
            buffer_.erase(buffer_.begin());
            continue;
        }
        break;
    }
    return events;
}

std::vector<HeadEvent> HeadParser::idle() {
    junk_.insert(junk_.end(), buffer_.begin(), buffer_.end());
    buffer_.clear();
    std::vector<HeadEvent> events;
    if (!junk_.empty()) {
        events.emplace_back(Junk{junk_});
        junk_.clear();
    }
    return events;
}

std::vector<MuxDeframer::Payload> MuxDeframer::feed(const Bytes& bytes) {
    std::vector<Payload> payloads;
    for (const std::uint8_t byte : bytes) {
        switch (state_) {
            case State::WaitStx:
                if (byte == link::kStx) {
                    state_ = State::Channel;
                }
                break;
            case State::Channel:
                channel_ = byte;
                payload_.clear();
                state_ = byte <= 2 ? State::Data : State::WaitStx;
                break;
            case State::Data:
                if (byte == link::kDle) {
                    state_ = State::AfterDle;
                } else {
                    payload_.push_back(byte);
                }
                break;
            case State::AfterDle:
                if (byte == link::kDle) {
                    payload_.push_back(byte);
                    state_ = State::Data;
                } else {
                    payloads.push_back({channel_, payload_});
                    state_ = State::WaitStx;
                }
                break;
        }
    }
    return payloads;
}

}  // namespace qrt::sim
