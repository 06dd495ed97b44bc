#include "link/recording_reader.h"

#include <pcap/pcap.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qrt::link {

void RecordingReader::Close::operator()(pcap* handle) const {
    pcap_close(handle);
}

bool RecordingReader::isRecording(std::span<const std::uint8_t> start) {
    constexpr std::array<std::array<std::uint8_t, 4>, 5> kMagics{{
        {0x0A, 0x0D, 0x0D, 0x0A},  // pcapng
        {0xD4, 0xC3, 0xB2, 0xA1},  // pcap, microseconds, little-endian
        {0xA1, 0xB2, 0xC3, 0xD4},  // big-endian
        {0x4D, 0x3C, 0xB2, 0xA1},  // nanoseconds, little-endian
        {0xA1, 0xB2, 0x3C, 0x4D},  // big-endian
    }};
    if (start.size() < 4) {
        return false;
    }
    for (const auto& magic : kMagics) {
        if (std::equal(magic.begin(), magic.end(), start.begin())) {
            return true;
        }
    }
    return false;
}

common::Result<RecordingReader> RecordingReader::open(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return common::Failure{"cannot read " + path + ": " + std::strerror(errno), errno};
    }
    if (!S_ISREG(info.st_mode)) {
        return common::Failure{path + " is not a regular file"};
    }
    if (info.st_size == 0) {
        return common::Failure{path + " is empty"};
    }
    std::array<char, PCAP_ERRBUF_SIZE> error{};
    pcap* handle = pcap_open_offline_with_tstamp_precision(
        path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, error.data());
    if (handle == nullptr) {
        return common::Failure{path + " is not a readable recording: " + error.data()};
    }
    RecordingReader reader(path, std::unique_ptr<pcap, Close>(handle));
    if (const int type = pcap_datalink(handle); type != kRecordingLinkType) {
        return common::Failure{path + " holds link type " + std::to_string(type) +
                               ", not this tool's recording (link type " +
                               std::to_string(kRecordingLinkType) + ")"};
    }
    return reader;
}

common::Failure RecordingReader::fault(const std::string& reason) const {
    return common::Failure{path_ + ": record " + std::to_string(count_) + ": " + reason};
}

common::Result<std::optional<Record>> RecordingReader::next() {
    pcap_pkthdr* header = nullptr;
    const std::uint8_t* data = nullptr;
    const int got = pcap_next_ex(handle_.get(), &header, &data);
    if (got == PCAP_ERROR_BREAK) {
        return std::optional<Record>();
    }
    ++count_;
    if (got != 1) {
        return fault(pcap_geterr(handle_.get()));
    }
    if (header->caplen < header->len) {
        return fault("cut short when it was captured (" + std::to_string(header->caplen) + " of " +
                     std::to_string(header->len) + " bytes)");
    }
    if (header->caplen == 0) {
        return fault("empty, without its header byte");
    }
    const auto kind = RecordHeader::of(data[0]);
    if (!kind) {
        std::array<char, 8> hex{};
        std::snprintf(hex.data(), hex.size(), "0x%02X", data[0]);
        return fault(std::string("header byte ") + hex.data() + " is not one of this tool's");
    }
    return std::optional(
        Record{.utcMicroseconds = static_cast<std::int64_t>(header->ts.tv_sec) * 1'000'000 +
                                  static_cast<std::int64_t>(header->ts.tv_usec),
               .header = *kind,
               .bytes = std::span<const std::uint8_t>(data + 1, header->caplen - 1)});
}

common::Result<std::optional<Record>> RecordingReader::nextReceived() {
    for (;;) {
        auto record = next();
        const auto* got = std::get_if<std::optional<Record>>(&record);
        if (got == nullptr || !*got || !(*got)->header.sent) {
            return record;
        }
    }
}

}  // namespace qrt::link
