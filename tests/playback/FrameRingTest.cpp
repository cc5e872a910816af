#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/fsound/FrameRing.h"

namespace {

std::vector<float> Frames(float first, size_t count) {
    std::vector<float> samples;
    for (size_t i = 0; i < count; ++i) {
        samples.push_back(first + static_cast<float>(i));
        samples.push_back(-(first + static_cast<float>(i)));
    }
    return samples;
}

}  // namespace

TEST(FrameRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    FrameRing ring(8);
    std::vector<float> out(2 * 8);
    EXPECT_EQ(ring.Write(Frames(0, 6).data(), 6), 6u);
    EXPECT_EQ(ring.Read(out.data(), 4), 4u);
    // 2 left; 6 more fit, the 7th does not.
    EXPECT_EQ(ring.Write(Frames(6, 7).data(), 7), 6u);
    EXPECT_EQ(ring.Space(), 0u);
    ASSERT_EQ(ring.Read(out.data(), 8), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(out[2 * i], static_cast<float>(4 + i));
        EXPECT_EQ(out[2 * i + 1], -static_cast<float>(4 + i));
    }
    EXPECT_EQ(ring.Read(out.data(), 1), 0u);
}

TEST(FrameRing, DiscardEmptiesAndLeavesRoomForAFullRing) {
    FrameRing ring(5);  // rounded up to 8
    ring.Write(Frames(0, 8).data(), 8);
    ring.Discard();
    EXPECT_EQ(ring.Available(), 0u);
    EXPECT_EQ(ring.Space(), 8u);
    ring.Write(Frames(100, 1).data(), 1);
    std::vector<float> out(2);
    ASSERT_EQ(ring.Read(out.data(), 1), 1u);
    EXPECT_EQ(out[0], 100.0f);
}

TEST(FrameRing, HandsOverASequenceIntactBetweenTwoThreads) {
    FrameRing ring(64);
    constexpr size_t kTotal = 200000;
    std::thread producer([&] {
        size_t sent = 0;
        while (sent < kTotal) {
            const auto chunk =
                Frames(static_cast<float>(sent % 1000), std::min<size_t>(37, kTotal - sent));
            size_t done = 0;
            while (done < chunk.size() / 2)
                done += ring.Write(chunk.data() + 2 * done, chunk.size() / 2 - done);
            sent += done;
        }
    });
    size_t received = 0;
    size_t mismatches = 0;
    std::vector<float> out(2 * 50);
    while (received < kTotal) {
        const size_t got = ring.Read(out.data(), 50);
        for (size_t i = 0; i < got; ++i) {
            // Each 37-frame chunk counts up from its start frame modulo 1000.
            const size_t index = received + i;
            const size_t expected = (index - index % 37) % 1000 + index % 37;
            if (out[2 * i] != static_cast<float>(expected) || out[2 * i + 1] != -out[2 * i])
                ++mismatches;
        }
        received += got;
    }
    producer.join();
    EXPECT_EQ(mismatches, 0u);
}
