#include "frames/authenticator.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/fake_clock.h"
#include "support/fake_serial_port.h"
#include "support/hex.h"

using namespace qrt::frames;
using namespace qrt::link;
using qrt::testing::FakeClock;
using qrt::testing::FakeSerialPort;
using qrt::testing::toHex;

namespace {

class AuthenticatorTest : public ::testing::Test {
  protected:
    AuthenticatorTest() {
        auto a = std::make_unique<FakeSerialPort>();
        portA = a.get();
        link =
            std::make_unique<Link>(std::move(a), std::make_unique<FakeSerialPort>(), diagnostics);
        EXPECT_TRUE(link->OpenPort(Port::A, "a", 19200, 0));
        sender = std::make_unique<FrameSender>(*link, protocol, clock);
        protocol.authKey =
            keyFromWords({0x0123, 0x4567, 0x89AB, 0xCDEF, 0xFEDC, 0xBA98, 0x7654, 0x3210});
    }
    // Sends a command as the radio button does, with optional content, and returns the
    // frames written.
    std::vector<std::vector<std::uint8_t>> send(std::uint8_t code, std::uint32_t id,
                                                std::vector<ContentBlock> contents, bool enabled) {
        portA->takeWritten();
        sender->SendCommandFrame(code, id, 0x0102, 0x03, protocol.nextSequence());
        std::optional<ContentBlock> last;
        for (const ContentBlock& block : contents) {
            sender->SendContentFrame(block);
            last = block;
        }
        SendAuthenticator(*sender, enabled, code, last);
        const auto bytes = portA->takeWritten();
        std::vector<std::vector<std::uint8_t>> frames;
        for (std::size_t at = 0; at + 11 <= bytes.size(); at += 11) {
            frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                bytes.begin() + static_cast<std::ptrdiff_t>(at + 11));
        }
        return frames;
    }

    std::ostringstream diagnostics;
    FakeSerialPort* portA = nullptr;
    std::unique_ptr<Link> link;
    ProtocolSettings protocol;
    FakeClock clock;
    std::unique_ptr<FrameSender> sender;
};

TeaBlock expectedAuthenticator(const std::vector<std::uint8_t>& command,
                               const std::optional<ContentBlock>& content) {
    TeaBlock input{};
    for (std::size_t i = 0; i < 8; ++i) {
        input[i] = static_cast<std::uint8_t>(command[1 + i] ^ (content ? (*content)[i] : 0));
    }
    // Key words restated from the fields: field 2 high, field 1 low, and so on.
    return TeaEncipher({0x45670123, 0xCDEF89AB, 0xBA98FEDC, 0x32107654}, input);
}

}  // namespace

TEST_F(AuthenticatorTest, OnlyNvwOprAux1AndDbwAreAuthenticated) {
    for (const std::uint8_t code : {12, 16, 24, 26}) {
        EXPECT_EQ(send(code, 0x500004D2, {}, true).size(), 2u) << int(code);
    }
    for (const std::uint8_t code : {10, 11, 15, 25}) {
        EXPECT_EQ(send(code, 0x500004D2, {}, true).size(), 1u) << int(code);
    }
    EXPECT_EQ(send(12, 0x500004D2, {}, false).size(), 1u);
}

TEST_F(AuthenticatorTest, EnciphersCommandBytesXorTheLastContentBlock) {
    const ContentBlock first{1, 2, 3, 4, 5, 6, 7, 8};
    const ContentBlock second{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
    const auto frames = send(16, 0x500004D2, {first, second}, true);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[3][0], 5);
    const TeaBlock expected = expectedAuthenticator(frames[0], second);
    EXPECT_EQ(toHex(std::span(frames[3]).subspan(1, 8)), toHex(expected));
    EXPECT_EQ(protocol.authKey, (TeaKey{0x45670123, 0xCDEF89AB, 0xBA98FEDC, 0x32107654}));
}

TEST_F(AuthenticatorTest, BroadcastUsesFfIdBytesAndSequenceMakesEachOneDiffer) {
    const auto one = send(12, kBroadcastId, {}, true);
    const auto two = send(12, kBroadcastId, {}, true);
    EXPECT_EQ(toHex(std::span(one[0]).subspan(1, 4)), "FF FF FF FF");
    EXPECT_EQ(toHex(std::span(one[1]).subspan(1, 8)), toHex(expectedAuthenticator(one[0], {})));
    EXPECT_NE(toHex(one[1]), toHex(two[1]));
}
