#include "receive/logger_decoder.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "frames/crc16.h"
#include "receive/channels.h"

namespace qrt::receive {

using common::format;

namespace {

constexpr std::size_t kWordCount = 32;

bool isRawBlock(std::int32_t loggerBlock, std::int32_t loggerType) {
    return loggerBlock >= 2044 || (loggerBlock >= 1024 && loggerType == 7);
}

std::string dateText(std::uint16_t word) {
    return format<"%02u.%02u.%04u">(word & 0x1Fu, (word >> 5) & 0x0Fu, 2000u + (word >> 9));
}

}  // namespace

bool LoggerBlockDecoder::decode(const LoggerBlock& block, std::int32_t loggerBlock,
                                std::int32_t loggerType, std::uint16_t crcStart,
                                ArchiveStore& archive, const CommOutput& output) {
    const std::span<const std::uint8_t> data = std::span(block).first(64);
    std::string line;
    if (!frames::crcMatches(data, block[64], block[65], crcStart)) {
        output("CRC-Error");
        return true;
    }
    if (archive.slot.expectedType == 22) {
        archive.slot.expectedType = 0;
        // A block number from the radio outside the store is never written.
        const std::int32_t number =
            static_cast<std::int16_t>(frames::readLe16(archive.slot.reply, 5));
        if (number >= 0 && number < ArchiveStore::kBlocks) {
            const std::size_t first = static_cast<std::size_t>(number) * kWordCount;
            for (std::size_t i = 0; i < kWordCount; ++i) {
                archive.archiveWords[first + i] = frames::readLe16(data, 2 * i);
            }
        }
        return false;
    }
    const bool flaggedHeaders = loggerType == 5 || loggerType == 6;
    if (flaggedHeaders) {
        resetRecord();
    }
    std::array<std::uint16_t, kWordCount> words{};
    for (std::size_t i = 0; i < kWordCount; ++i) {
        words[i] = frames::readLe16(data, 2 * i);
    }
    const bool raw = isRawBlock(loggerBlock, loggerType);
    std::size_t earlyCount = 0;
    for (std::size_t i = 0; i < kWordCount; ++i) {
        const std::uint16_t w = words[i];
        if (raw) {
            common::appendFormat<"%02x %02x ">(line, w >> 8, w & 0xFFu);
            if (i == 15) {
                line += "\r\n";
            }
            continue;
        }
        if (w == 0xFFFF || w == 0x8080) {
            headerWordCount = 0;
            valueIndex = -1;
            datePending = false;
            break;
        }
        if (flaggedHeaders) {
            decodeFlaggedWord(words, i, earlyCount, line);
        } else {
            decodeDateMarkWord(w, line, output);
        }
    }
    if (!line.empty()) {
        output(line);
    }
    return true;
}

void LoggerBlockDecoder::decodeFlaggedWord(std::span<const std::uint16_t> words, std::size_t i,
                                           std::size_t& earlyCount, std::string& line) {
    const std::uint16_t w = words[i];
    if ((w & 1u) != 0) {
        if (headerWordCount < 4) {
            headerWords[static_cast<std::size_t>(headerWordCount)] = w & 0xFFFEu;
        }
        ++headerWordCount;
        return;
    }
    if (headerWordCount >= 3) {
        // A header has just ended: restore bit 0 of words 1 to 3 from bits 12 to 14.
        for (std::size_t n = 1; n <= 3; ++n) {
            if ((headerWords[0] & (1u << (11 + n))) != 0) {
                headerWords[n] |= 1u;
            }
        }
        const unsigned minutes = (headerWords[0] >> 1) & 0x7FFu;
        channelList = deriveChannelList(headerWords[3]);
        if (earlyCount != 0) {
            // The tail of a record begun in an earlier block. When the new list cannot
            // place the values, they are shown raw.
            if (channelList.empty() || earlyCount > channelList.count) {
                for (std::size_t k = 0; k < earlyCount; ++k) {
                    common::appendFormat<" U:%04x">(line, words[k]);
                }
            } else {
                valueIndex = static_cast<std::int32_t>(channelList.count - earlyCount);
                for (std::size_t k = 0; k < earlyCount; ++k) {
                    formatValue(words[k], line);
                }
            }
        }
        valueIndex = 0;
        line += " # " + dateText(headerWords[2]) + format<" %02u:%02u">(minutes / 60, minutes % 60);
        common::appendFormat<" Cfg: 0x%04x Bat:%4.2f">(line, headerWords[3],
                                                       (headerWords[1] & 0xFFu) * kBatteryScale);
    }
    headerWordCount = 0;
    if (valueIndex >= 0 && !channelList.empty()) {
        formatValue(w, line);
    } else if (i >= 4) {
        common::appendFormat<" U:%04x">(line, w);
    } else {
        earlyCount = i + 1;
    }
}

void LoggerBlockDecoder::decodeDateMarkWord(std::uint16_t w, std::string& line,
                                            const CommOutput& output) {
    if (datePending) {
        if (!line.empty()) {
            output(line);
        }
        line.clear();
        datePending = false;
        line += dateText(w);
        common::appendFormat<" %02u:%02u Bat:%4.2f">(line, (timeMark >> 3) & 0x1Fu,
                                                     ((timeMark >> 1) & 3u) * 15,
                                                     (timeMark >> 8) * kBatteryScale);
    } else if ((w & 1u) == 0) {
        common::appendFormat<" %4.2f">(line, static_cast<std::int16_t>(w) * kTemperatureScale);
    } else {
        datePending = true;
        timeMark = w;
    }
}

void LoggerBlockDecoder::formatValue(std::uint16_t w, std::string& line) {
    const std::uint8_t kind =
        channelList.kinds[static_cast<std::size_t>(valueIndex) % channelList.count];
    // The value as the CSV has it; an hour meter shows its seconds, a status word itself.
    const LoggerValues values = loggerValues(kind, w);
    const Measurement& value = *values.begin();
    if (kind >= kTemp0 && kind <= kTemp2) {
        common::appendFormat<" T%u:%4.2f">(line, kind - 1u, value.value());
    } else if (kind == kCounter1 || kind == kCounter2) {
        common::appendFormat<" C%u:%u">(line, kind - 6u, static_cast<unsigned>(value.raw));
    } else if (kind == kHourMeter1 || kind == kHourMeter2) {
        common::appendFormat<" BZ%u:%u">(line, kind - 8u, static_cast<unsigned>(value.raw));
    } else {
        common::appendFormat<" U:%04x">(line, w >> 1);
    }
    ++valueIndex;
}

}  // namespace qrt::receive
