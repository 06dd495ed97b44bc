#pragma once

#include <cstdint>
#include <string>

namespace qrt::receive {

/// What the next bytes or frame on the receiver's ring are expected to be.
enum class DecoderState { Idle, SkipFirmwareBlock, LoggerBlockExpected, ExtensionExpected };

/// State the telegram and reply decoders share with the poller.
struct DecodeState {
    DecoderState decoderState = DecoderState::Idle;
    std::int32_t sampleCounter = 0;  // running number of continuous samples
    std::int32_t loggerBlock = 0;    // block number of the last logger block announcement
    std::int32_t loggerType = 0;     // module type of that announcement
    std::string timestamp;           // time of day of the current poll
    std::string debugLine;           // line under construction for the debug pane
    std::string commLine;            // line under construction for the communication pane
};

}  // namespace qrt::receive
