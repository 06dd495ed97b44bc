#include "sim/simulator.h"

#include <array>

#include "commands/command_tables.h"
#include "common/replacing_file.h"
#include "common/text_format.h"
#include "frames/byte_order.h"
#include "frames/command_codes.h"
#include "frames/module_address.h"
#include "link/mux_framing.h"

namespace qrt::sim {

using common::format;

namespace {

constexpr std::uint8_t kContentCode = frames::code::kContent;
constexpr std::uint8_t kBlockHeaderCode = frames::code::kFirmwareBlockHeader;
constexpr std::size_t kMaxContentFrames = 3;  // two content blocks and an authenticator

std::string idText(std::uint32_t id) {
    return frames::ModuleAddress::fromId(id).text();
}

std::string hexText(const Bytes& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        common::appendFormat<"%02X">(text, byte);
    }
    return text;
}

std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c > 0x7E) {
            out += format<"\\x%02X">(static_cast<unsigned char>(c));
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string describeFrame(const frames::StandardFrame& frame) {
    return format<"%s id %s wp 0x%04X bp %u seq %u crc %02X%02X">(
        commands::commandName(frame[0]), idText(frames::readLe32(frame, 1)).c_str(),
        frames::readLe16(frame, 5), frame[7], frame[8], frame[9], frame[10]);
}

Simulator::Simulator(SimOptions options, const std::vector<ModuleConfig>& modules, Send send,
                     Log log, std::uint32_t seed)
    : options_(options),
      send_(std::move(send)),
      log_(std::move(log)),
      random_(seed),
      radio_(options.crcStart) {
    for (const ModuleConfig& config : modules) {
        modules_.emplace_back(config, options_.crcStart);
    }
    nextTelegram_.assign(modules_.size(), Clock::time_point{});
}

Module* Simulator::module(std::uint32_t id) {
    for (Module& m : modules_) {
        if (m.id() == id) {
            return &m;
        }
    }
    return nullptr;
}

Module* Simulator::moduleOnHead() {
    if (options_.headModule) {
        return module(options_.headModule->filterId());
    }
    return modules_.empty() ? nullptr : &modules_.front();
}

void Simulator::receiveA(const Bytes& bytes, std::chrono::sys_seconds now) {
    onRadio(radio_.feed(bytes), now);
}

void Simulator::receiveB(const Bytes& bytes, std::chrono::sys_seconds now) {
    onHead(head_.feed(bytes), now);
}

void Simulator::receiveMux(const Bytes& bytes, std::chrono::sys_seconds now) {
    for (const MuxDeframer::Payload& payload : deframer_.feed(bytes)) {
        switch (payload.channel) {
            case 0:
                receiveA(payload.bytes, now);
                break;
            case 1:
                receiveB(payload.bytes, now);
                break;
            default:
                onBox(payload.bytes);
                break;
        }
    }
}

void Simulator::quiet(std::chrono::sys_seconds now) {
    onRadio(radio_.idle(), now);
    dispatch(now);
    onHead(head_.idle(), now);
}

void Simulator::onRadio(const std::vector<RadioEvent>& events, std::chrono::sys_seconds now) {
    for (const RadioEvent& event : events) {
        if (const auto* frame = std::get_if<RadioFrame>(&event)) {
            const std::uint8_t code = frame->frame[0];
            if (code == kContentCode && pending_ && pending_->contents.size() < kMaxContentFrames) {
                frames::ContentBlock block{};
                std::copy_n(frame->frame.begin() + 1, block.size(), block.begin());
                pending_->contents.push_back(block);
                log_("A< content " + hexText({block.begin(), block.end()}) + " crc ok");
                continue;
            }
            dispatch(now);
            if (code == kContentCode) {
                log_("A< content frame without a command: " + describeFrame(frame->frame));
            } else if (code == kBlockHeaderCode) {
                log_("A< " + describeFrame(frame->frame));
                blockHeader_ = BlockHeader{frames::readLe32(frame->frame, 1),
                                           frames::readLe16(frame->frame, 5)};
                if (options_.echoFirmwareBlocks) {
                    const auto echo = frames::buildStandardFrame(
                        kBlockHeaderCode, blockHeader_->id, blockHeader_->index, frame->frame[7],
                        frame->frame[8], options_.crcStart);
                    send_(0, {echo.begin(), echo.end()});
                }
            } else {
                pending_ = PendingCommand{frame->frame, {}};
            }
        } else if (const auto* block = std::get_if<FirmwareBlock>(&event)) {
            dispatch(now);
            firmwareBlock(*block);
        } else if (const auto* text = std::get_if<RadioText>(&event)) {
            dispatch(now);
            if (text->text.starts_with("ER_CMD#C")) {
                log_("A< radio channel " + text->text.substr(8) + " (" + text->text + ")");
            } else if (text->text.starts_with("ER_CMD#p")) {
                log_("A< transmit power " + text->text.substr(8) + " (" + text->text + ")");
            } else {
                log_("A< " + printable(text->text));
            }
        } else if (const auto* junk = std::get_if<Junk>(&event)) {
            log_(format<"A< junk (%zu bytes, no frame): ">(junk->bytes.size()) +
                 hexText(junk->bytes));
        }
    }
}

void Simulator::dispatch(std::chrono::sys_seconds now) {
    if (!pending_) {
        return;
    }
    const PendingCommand command = *pending_;
    pending_.reset();
    const frames::StandardFrame& frame = command.frame;
    const std::uint32_t id = frames::readLe32(frame, 1);
    log_("A< " + describeFrame(frame) + " crc ok" +
         (command.contents.empty() ? "" : format<" +%zu content">(command.contents.size())));
    const Request request{.path = Path::Radio,
                          .code = static_cast<std::uint8_t>(frame[0] & 0x1F),
                          .wordPar = frames::readLe16(frame, 5),
                          .bytePar = frame[7],
                          .sequence = frame[8]};
    bool anyone = false;
    for (Module& m : modules_) {
        if (!m.addressedBy(id)) {
            continue;
        }
        anyone = true;
        if (m.requiresAuthenticator(request.code) &&
            !m.authenticatorValid(frame, command.contents)) {
            log_("module " + idText(m.id()) + " ignores " + commands::commandName(request.code) +
                 ": authenticator does not check");
            continue;
        }
        const auto replies = m.handle(request, now);
        if (request.code == 19 && !options_.firmwareOut.empty() && m.firmware().started()) {
            writeFirmwareImage(m);
        }
        if (replies.empty()) {
            log_("module " + idText(m.id()) + " obeys " + commands::commandName(request.code) +
                 ", no reply");
        }
        transmit(m, replies);
    }
    if (!anyone) {
        log_("no module " + idText(id));
    }
}

void Simulator::writeFirmwareImage(Module& m) {
    // Replaced whole: whoever reads it between two status requests sees one image.
    const Bytes image = m.firmware().image();
    common::ReplacingFile out(options_.firmwareOut);
    out.write({reinterpret_cast<const char*>(image.data()), image.size()});
    if (!out.commit()) {
        log_("module " + idText(m.id()) + " firmware image: " + out.failure());
        return;
    }
    log_(format<"module %s firmware image (%zu bytes) written to ">(idText(m.id()).c_str(),
                                                                    image.size()) +
         options_.firmwareOut);
}

void Simulator::firmwareBlock(const FirmwareBlock& block) {
    if (!blockHeader_) {
        return;
    }
    const BlockHeader header = *blockHeader_;
    blockHeader_.reset();
    log_(format<"A< firmware block %u crc %s">(header.index, block.crcOk ? "ok" : "bad"));
    if (options_.echoFirmwareBlocks) {
        send_(0, block.bytes);
    }
    if (!block.crcOk) {
        return;
    }
    for (Module& m : modules_) {
        if (m.addressedBy(header.id)) {
            m.firmware().block(header.index, std::span(block.bytes).first(128));
        }
    }
}

void Simulator::onHead(const std::vector<HeadEvent>& events, std::chrono::sys_seconds now) {
    for (const HeadEvent& event : events) {
        Module* onHead = moduleOnHead();
        if (const auto* frame = std::get_if<InductiveFrameEvent>(&event)) {
            log_(format<"B< %s wp 0x%04X bp %u crc ok">(commands::commandName(frame->code),
                                                        frame->wordPar, frame->bytePar));
            if (onHead != nullptr) {
                const auto replies = onHead->handle({.path = Path::Inductive,
                                                     .code = frame->code,
                                                     .wordPar = frame->wordPar,
                                                     .bytePar = frame->bytePar},
                                                    now);
                transmit(*onHead, replies);
            }
        } else if (const auto* text = std::get_if<HeadText>(&event)) {
            log_("B< text \\r" + printable(text->text) + "\\r");
            if (onHead != nullptr) {
                transmit(*onHead, onHead->handleText(text->text, now));
            }
        } else if (const auto* junk = std::get_if<Junk>(&event)) {
            log_(format<"B< junk (%zu bytes): ">(junk->bytes.size()) + hexText(junk->bytes));
        }
    }
}

void Simulator::onBox(const Bytes& bytes) {
    for (const std::uint8_t byte : bytes) {
        namespace box = frames::box;
        if (byte == box::kVersion) {
            log_("box< version request");
            sendBoxStatus();
        } else if (byte == box::kBoot) {
            log_("box< boot");
        } else if (byte == box::kEndOfFirmware) {
            log_("box< end of firmware transfer");
        } else if ((byte & 0xF8) == box::kBeep) {
            log_(format<"box< beep %u">(byte & 7u));
        } else if (byte == box::kOffline || byte == box::kOnline) {
            log_(byte == box::kOnline ? "box< online" : "box< offline");
        } else if (byte <= box::kLedMask) {
            log_(format<"box< LED 0x%02X">(byte));
        } else {
            log_(format<"box< unknown byte 0x%02X">(byte));
        }
    }
}

void Simulator::sendBoxStatus() {
    if (!options_.multiplexed) {
        return;
    }
    send_(2, {static_cast<std::uint8_t>(keyState_), static_cast<std::uint8_t>(options_.boxVersion),
              static_cast<std::uint8_t>(options_.boxVersion >> 8)});
    log_(format<"box> key state %d version %04X">(keyState_, options_.boxVersion));
}

void Simulator::transmit(const Module& from, const std::vector<Transmission>& transmissions) {
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    for (const Transmission& t : transmissions) {
        if (options_.dropReplies > 0 && chance(random_) < options_.dropReplies) {
            log_("A> (lost on the radio) " + t.what + " from " + idText(from.id()));
            continue;
        }
        const std::size_t shown = std::min<std::size_t>(t.bytes.size(), 11);
        log_("A> " + t.what + ": " +
             hexText(Bytes(t.bytes.begin(), t.bytes.begin() + static_cast<std::ptrdiff_t>(shown))) +
             (t.bytes.size() > shown ? format<" +%zu bytes">(t.bytes.size() - shown) : ""));
        send_(0, t.bytes);
    }
}

void Simulator::tick(Clock::time_point at) {
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        const double period = modules_[i].config().period;
        if (period <= 0) {
            continue;
        }
        if (nextTelegram_[i] == Clock::time_point{}) {
            // Spread the first telegrams so the modules do not all speak at once.
            nextTelegram_[i] = at + std::chrono::milliseconds(200 * (i + 1));
            continue;
        }
        if (at >= nextTelegram_[i]) {
            nextTelegram_[i] = at + std::chrono::milliseconds(static_cast<long>(period * 1000));
            transmit(modules_[i], modules_[i].nextTelegram());
        }
    }
    if (options_.multiplexed && options_.keyEverySeconds > 0) {
        if (!nextKeyPress_) {
            nextKeyPress_ =
                at + std::chrono::milliseconds(static_cast<long>(options_.keyEverySeconds * 1000));
        } else if (at >= *nextKeyPress_) {
            nextKeyPress_ =
                at + std::chrono::milliseconds(static_cast<long>(options_.keyEverySeconds * 1000));
            keyState_ = static_cast<std::int8_t>(keyState_ ^ 1);
            log_(keyState_ != 0 ? "box key pressed" : "box key released");
            sendBoxStatus();
        }
    }
}

}  // namespace qrt::sim
