#include "link/recording_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qrt::link {

namespace {

// pcapng block types and option codes.
constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kEnhancedPacket = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kEndOfOptions = 0;
constexpr std::uint16_t kShbUserApplication = 4;
constexpr std::uint16_t kIfName = 2;
constexpr std::uint16_t kIfDescription = 3;
constexpr std::uint16_t kIfTimeResolution = 9;
constexpr std::uint16_t kEpbFlags = 2;
constexpr std::uint32_t kInbound = 1;
constexpr std::uint32_t kOutbound = 2;
constexpr std::uint8_t kMicroseconds = 6;

// Little-endian fields of a block, written in order.
class Block {
  public:
    explicit Block(std::string& out, std::uint32_t type) : out_(out), start_(out.size()) {
        u32(type);
        u32(0);  // the total length, filled in by `end`
    }
    void u16(std::uint16_t v) {
        bytes({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void bytes(std::span<const std::uint8_t> data) { out_.append(data.begin(), data.end()); }
    void bytes(std::initializer_list<std::uint8_t> data) { out_.append(data.begin(), data.end()); }
    void pad() { out_.append((4 - (out_.size() - start_) % 4) % 4, '\0'); }
    void option(std::uint16_t code, std::string_view value) {
        u16(code);
        u16(static_cast<std::uint16_t>(value.size()));
        out_.append(value);
        pad();
    }
    void end() {
        u16(kEndOfOptions);
        u16(0);
        const auto length = static_cast<std::uint32_t>(out_.size() - start_ + 4);
        u32(length);
        for (std::size_t i = 0; i < 4; ++i) {
            out_[start_ + 4 + i] = static_cast<char>(length >> (8 * i));
        }
    }

  private:
    std::string& out_;
    std::size_t start_;
};

void addInterface(std::string& out, std::string_view name, std::string_view description) {
    Block idb(out, kInterfaceDescription);
    idb.u16(kRecordingLinkType);
    idb.u16(0);  // reserved
    idb.u32(0);  // no snapshot length: records are kept whole
    idb.option(kIfName, name);
    idb.option(kIfDescription, description);
    idb.option(kIfTimeResolution,
               std::string_view(reinterpret_cast<const char*>(&kMicroseconds), 1));
    idb.end();
}

}  // namespace

common::Result<RecordingWriter> RecordingWriter::create(const std::string& path, bool overwrite,
                                                        std::string_view application) {
    // Non-blocking, so a FIFO named by mistake cannot hang the open; it is refused below.
    const int flags =
        O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (overwrite ? 0 : O_EXCL);
    const int descriptor = ::open(path.c_str(), flags, 0666);
    if (descriptor < 0) {
        const int error = errno;
        return common::Failure{error == EEXIST
                                   ? path + " exists"
                                   : "cannot write " + path + ": " + std::strerror(error),
                               error};
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return common::Failure{path + " is not a regular file"};
    }
    if (::ftruncate(descriptor, 0) != 0) {
        const int error = errno;
        ::close(descriptor);
        return common::Failure{"cannot write " + path + ": " + std::strerror(error), error};
    }
    RecordingWriter writer(common::OutputFile::adopt(path, descriptor));
    writer.writeHeader(application);
    if (!writer.flush()) {
        return common::Failure{writer.failure()};
    }
    return writer;
}

void RecordingWriter::writeHeader(std::string_view application) {
    std::string& out = output_.buffer();
    Block shb(out, kSectionHeader);
    shb.u32(kByteOrderMagic);
    shb.u16(1);  // version 1.0
    shb.u16(0);
    shb.u32(0xFFFFFFFFu);  // section length not given
    shb.u32(0xFFFFFFFFu);
    shb.option(kShbUserApplication, application);
    shb.end();
    addInterface(out, "A", "interface A: the receiver (or the interface box)");
    addInterface(out, "B", "interface B: the inductive head");
}

void RecordingWriter::add(std::int64_t utcMicroseconds, RecordHeader header,
                          std::span<const std::uint8_t> bytes) {
    // One enhanced packet block, laid out in place: 28 bytes before the record, the
    // header byte and the bytes padded to four, the direction flags, the end of the
    // options and the length again.
    const std::size_t captured = bytes.size() + 1;
    const std::size_t padded = (captured + 3) & ~std::size_t{3};
    const std::size_t total = 28 + padded + 16;
    std::string& out = output_.buffer();
    const std::size_t start = out.size();
    out.resize(start + total);  // the padding stays zero
    char* block = out.data() + start;
    const auto put32 = [block](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            block[at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    const auto time = static_cast<std::uint64_t>(utcMicroseconds);
    put32(0, kEnhancedPacket);
    put32(4, static_cast<std::uint32_t>(total));
    put32(8, header.channel == RecordChannel::B ? 1 : 0);
    put32(12, static_cast<std::uint32_t>(time >> 32));
    put32(16, static_cast<std::uint32_t>(time));
    put32(20, static_cast<std::uint32_t>(captured));  // captured
    put32(24, static_cast<std::uint32_t>(captured));  // on the wire
    block[28] = static_cast<char>(header.byte());
    std::copy(bytes.begin(), bytes.end(), block + 29);
    const std::size_t options = 28 + padded;
    put32(options, kEpbFlags | 4u << 16);  // code and length
    put32(options + 4, header.sent ? kOutbound : kInbound);
    put32(options + 8, kEndOfOptions);
    put32(options + 12, static_cast<std::uint32_t>(total));
    output_.written();
}

}  // namespace qrt::link
