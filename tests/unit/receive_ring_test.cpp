#include "link/receive_ring.h"

#include <gtest/gtest.h>

#include <vector>

using qrt::link::ReceiveRing;

TEST(ReceiveRing, FullRingKeepsTheNewest1023Bytes) {
    ReceiveRing ring;
    for (int i = 0; i < 1024; ++i) {
        ring.store(static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(ring.held(), 1023u);
    EXPECT_EQ(ring.peek(0), 1);  // byte 0 was lost
    EXPECT_EQ(ring.peek(1022), static_cast<std::uint8_t>(1023));
}

TEST(ReceiveRing, ReadsOldestFirstAcrossTheWrap) {
    ReceiveRing ring;
    for (int i = 0; i < 1000; ++i) {
        ring.store(0);
    }
    std::array<std::uint8_t, 1000> sink{};
    ring.read(sink);
    for (int i = 0; i < 50; ++i) {
        ring.store(static_cast<std::uint8_t>(i));
    }
    EXPECT_EQ(ring.held(), 50u);
    EXPECT_EQ(ring.peek(30), 30);
    EXPECT_EQ(ring.readByte(), 0);
    std::array<std::uint8_t, 3> three{};
    ring.read(three);
    EXPECT_EQ(three, (std::array<std::uint8_t, 3>{1, 2, 3}));
    ring.clear();
    EXPECT_EQ(ring.held(), 0u);
}

TEST(ReceiveRing, StoringARunEqualsStoringItsBytesOneByOne) {
    ReceiveRing bulk;
    ReceiveRing single;
    std::uint32_t seed = 3;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> run(next() % 1500);
        for (auto& byte : run) {
            byte = static_cast<std::uint8_t>(next());
        }
        bulk.store(run);
        for (const std::uint8_t byte : run) {
            single.store(byte);
        }
        std::vector<std::uint8_t> taken(next() % (single.held() + 1));
        bulk.read(taken);
        std::vector<std::uint8_t> expected(taken.size());
        single.read(expected);
        ASSERT_EQ(taken, expected) << round;
        ASSERT_EQ(bulk.held(), single.held()) << round;
    }
}
