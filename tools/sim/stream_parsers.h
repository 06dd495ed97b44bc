#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "frames/command_frames.h"
#include "sim/transmission.h"

namespace qrt::sim {

/// What the tool put on interface A, as the receiver sees it.
struct RadioFrame {
    frames::StandardFrame frame;
};
struct FirmwareBlock {
    Bytes bytes;  // 128 data bytes and the CRC
    bool crcOk;
};
struct RadioText {
    std::string text;  // "ER_CMD#C7", "ACK", ...
};
struct Junk {
    Bytes bytes;  // bytes that formed nothing (bad CRC, cut off, noise)
};
using RadioEvent = std::variant<RadioFrame, FirmwareBlock, RadioText, Junk>;

/// Splits the receiver's input into 11-byte frames (checked by CRC), the 130-byte
/// firmware block behind each block header, and the radio settings texts.
class RadioParser {
  public:
    explicit RadioParser(std::uint16_t crcStart) : crcStart_(crcStart) {}
    /// Parses what can be parsed of the bytes so far.
    std::vector<RadioEvent> feed(const Bytes& bytes);
    /// The line went quiet: a text without terminator ends here, leftovers are junk.
    std::vector<RadioEvent> idle();

  private:
    bool parseOne(std::vector<RadioEvent>& events, bool quiet);
    void flushJunk(std::vector<RadioEvent>& events);

    std::uint16_t crcStart_;
    Bytes buffer_;
    Bytes junk_;
    bool blockExpected_ = false;
};

/// What the tool put on interface B, as the inductive head sees it.
struct InductiveFrameEvent {
    std::uint8_t code;
    std::uint16_t wordPar;
    std::uint8_t bytePar;
};
struct HeadText {
    std::string text;  // between the carriage returns
};
using HeadEvent = std::variant<InductiveFrameEvent, HeadText, Junk>;

/// Splits the inductive head's input into 6-byte inductive frames (CRC from 0) and
/// carriage-return framed text commands.
class HeadParser {
  public:
    std::vector<HeadEvent> feed(const Bytes& bytes);
    std::vector<HeadEvent> idle();

  private:
    Bytes buffer_;
    Bytes junk_;
};

/// Splits the tool's multiplexed output (STX, channel, payload with DLE doubled,
/// DLE ETX) into channel payloads.
class MuxDeframer {
  public:
    struct Payload {
        std::uint8_t channel;
        Bytes bytes;
    };
    std::vector<Payload> feed(const Bytes& bytes);

  private:
    enum class State { WaitStx, Channel, Data, AfterDle };
    State state_ = State::WaitStx;
    std::uint8_t channel_ = 0;
    Bytes payload_;
};

}  // namespace qrt::sim
