// Writes the fuzzers' seed corpora with the project's own frame and archive generators.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "link/mux_framing.h"
#include "sim/archive_ring.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void write(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

template <typename Frame>
void append(Bytes& bytes, const Frame& frame) {
    bytes.insert(bytes.end(), frame.begin(), frame.end());
}

Bytes receiverTraffic() {
    using namespace qrt::frames;
    Bytes stream;
    append(stream, buildStandardFrame(0x20, 0x60000010, 0x0866, 0x12, 1, 0));
    append(stream, buildStandardFrame(0x20, 0x50001234, 0x0196, 0x10, 2, 0));
    append(stream, buildTelegramExtension({2, 4, 0}, {0x0866, 20, 0}, 0));
    append(stream, buildShortTelegram(5, 0x0866, 0x96, 1, 0));
    append(stream, buildStandardFrame(0x08, 0x50001234, 100, 4, 3, 0));
    append(stream, buildContinuousSamples({1, 2, 3, 4}, 0));
    append(stream, buildStandardFrame(0x16, 0x60000010, 7, 0, 4, 0));
    LoggerWords words{};
    words.fill(0xFFFF);
    const std::uint16_t record[] = {0x44ED, 0x0097, 0x1EAD, 0x0301, 0x0866, 0x0014};
    std::copy(std::begin(record), std::end(record), words.begin());
    append(stream, buildLoggerBlock(words, 0));
    append(stream, buildStandardFrame(0x12, 0x60000010, 0, 0x81, 5, 0));
    stream.insert(stream.end(), 130, 0x10);
    append(stream, buildStandardFrame(0x02, 0x50001234, 7893, 66, 6, 0));
    return stream;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path root = argc > 1 ? argv[1] : "fuzz-seeds";
    const Bytes traffic = receiverTraffic();
    for (std::uint8_t mode = 0; mode < 4; ++mode) {
        Bytes direct{mode, 127};
        direct.insert(direct.end(), traffic.begin(), traffic.end());
        write(root / "receive", "direct" + std::to_string(mode), direct);
    }
    Bytes mux{1, 16};
    for (std::size_t at = 0; at < traffic.size(); at += 11) {
        const auto frame = qrt::link::wrapMuxFrame(
            0, std::span(traffic).subspan(at, std::min<std::size_t>(11, traffic.size() - at)));
        mux.insert(mux.end(), frame.begin(), frame.end() - 1);
        mux.push_back(0xC0);
        mux.push_back(0x40);
    }
    const Bytes box{0x02, 0x02, 0x01, 0x34, 0x12, 0x10, 0x03};
    mux.insert(mux.end(), box.begin(), box.end());
    write(root / "receive", "multiplexed", mux);

    const std::string ini =
        "; tool\n[Config]\nInterfaceA=/dev/ttyUSB0\nInterfaceB=COM2\nMXL=5\n"
        "binprot=1\n[Settings]\nID=0x0FFFFFFF\nIDh=12\n[Log]\nFile=/tmp/x.log\n"
        "[Calib]\nOffset=-25\n";
    write(root / "settings", "tool.ini", Bytes(ini.begin(), ini.end()));

    for (const auto& [type, tag] : {std::pair{8, "RQW1"}, {7, "HVN "}, {5, "DKM2"}}) {
        Bytes image{static_cast<std::uint8_t>(type), 40};
        image.insert(image.end(), tag, tag + 4);
        image.push_back('\r');
        image.push_back('\n');
        for (int i = 0; i < 40 * 16 - 6; ++i) {
            image.push_back(static_cast<std::uint8_t>(i * 7));
        }
        const Bytes replies{0xD2, 0x04, 0x00, 0x50, 0x02, 0x00, 0x01, 0x01,
                            0xD2, 0x04, 0x00, 0x50, 0xFF, 0xFF, 0x00, 0x01};
        image.insert(image.end(), replies.begin(), replies.end());
        write(root / "firmware", "image" + std::to_string(type), image);
    }

    qrt::sim::ArchiveConfig config;
    config.rows = 600;
    config.rowsPerRecord = 60;
    config.config = 0x0301;
    config.start = std::chrono::sys_days{std::chrono::year(2015) / 5 / 12};
    const qrt::sim::ArchiveRing ring(config);
    Bytes archive{static_cast<std::uint8_t>(ring.writeWord()),
                  static_cast<std::uint8_t>(ring.writeWord() >> 8),
                  0,
                  0,
                  0,
                  0,
                  0,
                  0};
    for (std::uint32_t b = 0; b * 32 < ring.writeWord() + 32u; ++b) {
        for (const std::uint16_t w : ring.block(b)) {
            archive.push_back(static_cast<std::uint8_t>(w));
            archive.push_back(static_cast<std::uint8_t>(w >> 8));
        }
    }
    write(root / "archive", "records", archive);
    return 0;
}
