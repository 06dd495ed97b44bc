#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "receive/channel_list.h"
#include "receive/reply_slot.h"

namespace qrt::receive {

using LoggerBlock = std::array<std::uint8_t, 66>;

/// Decodes the 66-byte logger blocks that follow a "Logdata Block" announcement: 32
/// little-endian words and their CRC. Keeps the record state between blocks, so a
/// record may straddle two blocks.
class LoggerBlockDecoder {
  public:
    using CommOutput = std::function<void(std::string_view)>;

    /// Checks the CRC, hands the block to the archive store when it waits for blocks
    /// (returns false: the poll must end), or writes the records as lines for the
    /// communication pane (returns true). A block whose CRC fails shows "CRC-Error".
    bool decode(const LoggerBlock& block, std::int32_t loggerBlock, std::int32_t loggerType,
                std::uint16_t crcStart, ArchiveStore& archive, const CommOutput& output);

    /// Forgets a partly read flagged-header record (before an archive retrieval).
    void resetRecord() {
        headerWordCount = 0;
        valueIndex = -1;
    }

    // Record state kept between blocks.
    std::int32_t headerWordCount = 0;
    std::array<std::uint16_t, 4> headerWords{};
    std::int32_t valueIndex = -1;
    ChannelList channelList;
    bool datePending = false;
    std::uint16_t timeMark = 0;

  private:
    void decodeFlaggedWord(std::span<const std::uint16_t> words, std::size_t i,
                           std::size_t& earlyCount, std::string& line);
    void decodeDateMarkWord(std::uint16_t w, std::string& line, const CommOutput& output);
    void formatValue(std::uint16_t w, std::string& line);
};

}  // namespace qrt::receive
