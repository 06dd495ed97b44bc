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

// The cipher's published test vectors, with non-zero keys and blocks. The key bytes are
// read as four little-endian words, as the block's halves are.
static_assert(TeaEncipher({0x6805022B, 0x76491406, 0x260E5D77, 0x4378286C},
                          {0x74, 0x65, 0x73, 0x74, 0x20, 0x6D, 0x65, 0x2E}) ==
              TeaBlock{0x77, 0x5D, 0x2A, 0x6A, 0xF6, 0xCE, 0x92, 0x09});
static_assert(TeaEncipher({0x11436509, 0x25394466, 0x10163A51, 0x6E12080A},
                          {0x6C, 0x6F, 0x6E, 0x67, 0x65, 0x72, 0x5F, 0x74}) ==
              TeaBlock{0xBE, 0x7A, 0xBB, 0x81, 0x95, 0x2D, 0x1F, 0x1E});
static_assert(TeaEncipher({0x11436509, 0x25394466, 0x10163A51, 0x6E12080A},
                          {0x65, 0x73, 0x74, 0x5F, 0x76, 0x65, 0x63, 0x74}) ==
              TeaBlock{0xDD, 0x89, 0xA1, 0x25, 0x04, 0x21, 0xDF, 0x95});
static_assert(TeaEncipher({0x1732764D, 0x2C753F05, 0x3616045D, 0x2F637215},
                          {0x54, 0x65, 0x61, 0x20, 0x69, 0x73, 0x20, 0x67}) ==
              TeaBlock{0xE0, 0x4D, 0x5D, 0x3C, 0xB7, 0x8C, 0x36, 0x47});

}  // namespace

// The key words and the bytes the cipher enciphers are chosen so that the authenticator
// is a published answer of the cipher; the frames are written out whole.
TEST_F(AuthenticatorTest, AuthenticatorFramesOfKnownAnswers) {
    struct Case {
        std::array<std::uint16_t, 8> keyWords;
        std::uint32_t id;
        std::uint16_t wordPar;
        std::uint8_t bytePar;
        std::uint8_t sequence;
        std::optional<ContentBlock> content;
        const char* frames;
    };
    const Case cases[] = {
        // The command's bytes 1 to 8 are the block "test me.".
        {{0x022B, 0x6805, 0x1406, 0x7649, 0x5D77, 0x260E, 0x286C, 0x4378},
         0x74736574,
         0x6D20,
         0x65,
         0x2E,
         std::nullopt,
         "0C 74 65 73 74 20 6D 65 2E 88 EC 05 77 5D 2A 6A F6 CE 92 09 85 15"},
        // The command's bytes XOR its content are the block "longer_t".
        {{0x6509, 0x1143, 0x4466, 0x2539, 0x3A51, 0x1016, 0x080A, 0x6E12},
         0x500004D2,
         0x0102,
         0x03,
         0x07,
         ContentBlock{0xBE, 0x6B, 0x6E, 0x37, 0x67, 0x73, 0x5C, 0x73},
         "0C D2 04 00 50 02 01 03 07 03 4D 05 BE 6B 6E 37 67 73 5C 73 6E 04 "
         "05 BE 7A BB 81 95 2D 1F 1E C7 7C"},
    };
    for (const Case& c : cases) {
        protocol.authKey = keyFromWords(c.keyWords);
        portA->takeWritten();
        sender->SendCommandFrame(12, c.id, c.wordPar, c.bytePar, c.sequence);
        if (c.content) {
            sender->SendContentFrame(*c.content);
        }
        EXPECT_TRUE(SendAuthenticator(*sender, true, 12, c.content));
        EXPECT_EQ(toHex(portA->takeWritten()), c.frames);
    }
}

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
